#include "Classes/Framework/Toolkit/OVColorView.h"

#include "Classes/Framework/GradientORVExtension.h"
#include "Classes/Framework/OVColor.h"
#include "Platform/UI/NamedImage.h"

#include <QPainter>
#include <QPainterPath>

OVColorView::OVColorView() : View(pf::Rect()) {}

OVColorView::OVColorView(const pf::Rect& frame, QWidget* parent) : View(frame, parent), m_angle(270) {}

void OVColorView::setColorName(const QString& text)
{
    setColor(OVColor::colorFromDescription(text));
}

void OVColorView::setBorderColorName(const QString& text)
{
    setBorderColor(OVColor::colorFromDescription(text));
}

void OVColorView::setPatternName(const QString& name)
{
    setPattern(pf::NamedImage::image(name));
}

void OVColorView::setPattern(const QImage& image)
{
    setColor(image.isNull() ? std::nullopt : std::optional(pf::PaintColor::pattern(image)));
}

void OVColorView::setGradientName(const QString& text)
{
    setGradient(GradientORVExtension::gradientWithString(text));
}

QPainterPath OVColorView::path() const
{
    const double inset = m_borderWidth / 2;
    QPainterPath path;
    const pf::Rect rect = bounds().insetBy(inset, inset);
    if (rect.isNull())
        return path;
    path.addRoundedRect(rect.toQRectF(), m_cornerRadius, m_cornerRadius);
    return path;
}

void OVColorView::drawRect(QPainter& painter, const pf::Rect&)
{
    const QPainterPath shape = path();
    if (shape.isEmpty())
        return;
    if (m_color)
        painter.fillPath(shape, m_color->brush());
    if (m_gradient) {
        painter.save();
        painter.setClipPath(shape, Qt::IntersectClip);
        m_gradient->drawInRect(painter, shape.boundingRect(), m_angle);
        painter.restore();
    }
    if (m_borderWidth > 0 && m_borderColor) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(m_borderColor->brush(), m_borderWidth));
        painter.drawPath(shape);
    }
}

void OVColorView::mouseDown(const pf::Event& event)
{
    if (!m_blockInput)
        View::mouseDown(event);
}

void OVColorView::mouseDragged(const pf::Event& event)
{
    if (!m_blockInput)
        View::mouseDragged(event);
}

void OVColorView::mouseUp(const pf::Event& event)
{
    if (!m_blockInput)
        View::mouseUp(event);
}
