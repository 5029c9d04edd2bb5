#include "Classes/Framework/Toolkit/OVLineView.h"

#include "Platform/Foundation/Log.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPointer>

namespace {

QPen plainPen()
{
    QPen pen(Qt::black, 1.0);
    pen.setCapStyle(Qt::FlatCap);
    return pen;
}

QPointer<OVLineView> sharedSnapView;

} // namespace

OVLineView::OVLineView(const pf::Rect& frame, QWidget* parent) : View(frame, parent), m_prototype(plainPen())
{}

int OVLineView::addLine(const OVLine& line)
{
    m_lines.push_back(line);
    setNeedsDisplay();
    return int(m_lines.size()) - 1;
}

void OVLineView::removeLineAtIndex(int index)
{
    if (index < 0 || index >= int(m_lines.size())) {
        pf::warning(
            QStringLiteral("Line view has no line at index %1 (it holds %2)").arg(index).arg(m_lines.size()));
        return;
    }
    m_lines.erase(m_lines.begin() + index);
    setNeedsDisplay();
}

void OVLineView::removeAllLines()
{
    m_lines.clear();
    setNeedsDisplay();
}

void OVLineView::setLinePrototype(const std::optional<QPen>& pen)
{
    m_prototype = pen ? *pen : plainPen();
    setNeedsDisplay();
}

void OVLineView::setColor(const QColor& color)
{
    setNeedsDisplay();
    m_color = color;
}

OVLineView* OVLineView::sharedLineSnapView()
{
    if (!sharedSnapView) {
        auto* view = new OVLineView(pf::Rect());
        view->setAutoresizingMask(WidthSizable | HeightSizable);
        view->setTransparentForMouse(true);
        view->setColor(Qt::blue);
        QPen pen = plainPen();
        pen.setDashPattern({4.0, 1.0});
        pen.setDashOffset(0);
        view->setLinePrototype(pen);
        sharedSnapView = view;
        // Post routines run at the start of the application object's destruction, while widgets may
        // still be deleted; a window the view was added to deletes it earlier.
        static bool registered = false;
        if (!registered) {
            registered = true;
            qAddPostRoutine([] { delete sharedSnapView.data(); });
        }
    }
    return sharedSnapView;
}

void OVLineView::drawRect(QPainter& painter, const pf::Rect&)
{
    if (!m_color.isValid() || m_lines.empty())
        return;
    QPen pen = m_prototype;
    pen.setColor(m_color);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const pf::Rect b = bounds();
    for (const OVLine& line : m_lines) {
        const QPointF from(b.minX() + line.startPoint().x * b.width(),
                           b.minY() + line.startPoint().y * b.height());
        const QPointF to(b.minX() + line.endPoint().x * b.width(), b.minY() + line.endPoint().y * b.height());
        painter.drawLine(from, to);
    }
}
