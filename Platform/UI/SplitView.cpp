#include "Platform/UI/SplitView.h"

#include "Platform/UI/SplitViewDelegate.h"

#include <QPainter>
#include <algorithm>

namespace pf {

SplitView::SplitView(const Rect& frame, QWidget* parent) : View(frame, parent)
{
    setMouseTracking(true);
}

void SplitView::addPane(View* view)
{
    if (!view)
        return;
    addSubview(view);
    m_panes.append(view);
    // Each pane keeps the width it comes with; the last takes the change once the split view resizes.
    layOutPanes(false);
}

QList<View*> SplitView::panes() const
{
    QList<View*> alive;
    for (const QPointer<View>& pane : m_panes)
        if (pane && pane->superview() == this)
            alive.append(pane);
    return alive;
}

double SplitView::positionOfDivider(int index) const
{
    const QList<View*> all = panes();
    if (index < 0 || index + 1 >= all.size())
        return 0;
    return all[index]->frame().maxX();
}

void SplitView::adjustSubviews()
{
    layOutPanes(true);
}

void SplitView::layOutPanes(bool lastTakesTheRest)
{
    const QList<View*> all = panes();
    const double height = bounds().height();
    double x = 0;
    for (int i = 0; i < all.size(); ++i) {
        const bool last = lastTakesTheRest && i + 1 == all.size();
        const double width =
            last ? std::max(0.0, bounds().width() - x) : std::max(0.0, all[i]->frame().width());
        all[i]->setFrame(Rect(x, 0, width, height));
        x += width + m_thickness;
    }
    update();
}

void SplitView::setPositionOfDivider(double position, int index)
{
    const QList<View*> all = panes();
    if (index < 0 || index + 1 >= all.size())
        return;
    View* left = all[index];
    View* right = all[index + 1];
    // The divider moves between the two panes it separates, never past either's far edge.
    const double low = left->frame().minX();
    const double high = right->frame().maxX() - m_thickness;
    double minimum = low, maximum = high;
    if (m_delegate) {
        minimum = m_delegate->splitViewConstrainMinCoordinate(this, low, index);
        maximum = m_delegate->splitViewConstrainMaxCoordinate(this, high, index);
    }
    // Crossed limits: the minimum wins.
    position = std::max(std::min(position, maximum), minimum);
    position = std::clamp(position, low, std::max(low, high));
    const double height = bounds().height();
    left->setFrame(Rect(low, 0, position - low, height));
    const double rightStart = position + m_thickness;
    right->setFrame(Rect(rightStart, 0, std::max(0.0, right->frame().maxX() - rightStart), height));
    update();
}

void SplitView::resizeSubviewsWithOldSize(Size oldSize)
{
    if (m_delegate && m_delegate->splitViewResizeSubviewsWithOldSize(this, oldSize))
        return;
    adjustSubviews();
}

int SplitView::dividerAt(double x) const
{
    const QList<View*> all = panes();
    for (int i = 0; i + 1 < all.size(); ++i) {
        const double edge = all[i]->frame().maxX();
        if (x >= edge - grabDistance && x <= edge + m_thickness + grabDistance)
            return i;
    }
    return -1;
}

View* SplitView::hitTest(Point pointInSuperview)
{
    // A thin divider is hard to hit: presses a little beside it grab it instead of the pane.
    const Rect f = frame();
    if (!isHidden() && f.contains(pointInSuperview) && dividerAt(pointInSuperview.x - f.minX()) >= 0)
        return this;
    return View::hitTest(pointInSuperview);
}

void SplitView::mouseDown(const Event& event)
{
    const Point p = convertPointFromView(event.locationInWindow(), nullptr);
    m_dragged = dividerAt(p.x);
    if (m_dragged >= 0)
        m_grabOffset = p.x - positionOfDivider(m_dragged);
}

void SplitView::mouseDragged(const Event& event)
{
    if (m_dragged < 0)
        return;
    const Point p = convertPointFromView(event.locationInWindow(), nullptr);
    setPositionOfDivider(p.x - m_grabOffset, m_dragged);
}

void SplitView::mouseUp(const Event& event)
{
    mouseDragged(event);
    m_dragged = -1;
}

void SplitView::drawRect(QPainter& painter, const Rect&)
{
    const QList<View*> all = panes();
    for (int i = 0; i + 1 < all.size(); ++i)
        painter.fillRect(QRectF(all[i]->frame().maxX(), 0, m_thickness, bounds().height()),
                         QColor(0, 0, 0, 90));
}

} // namespace pf
