#include "Platform/UI/ClipView.h"

#include "Platform/Foundation/NotificationCenter.h"

#include <algorithm>
#include <cmath>

namespace pf {

ClipView::ClipView(const Rect& frame, QWidget* parent) : View(frame, parent) {}

void ClipView::setDocumentView(View* view)
{
    if (view == m_documentView)
        return;
    if (m_documentView) {
        View* old = m_documentView;
        old->removeFromSuperview();
        old->deleteLater();
    }
    m_documentView = view;
    if (view)
        addSubview(view);
    post();
}

Rect ClipView::documentVisibleRect() const
{
    if (!m_documentView)
        return Rect::null();
    const Rect visible = bounds().intersected(m_documentView->frame());
    if (visible.isNull())
        return Rect(m_documentView->bounds().origin, Size(0, 0));
    return convertRectToView(visible, m_documentView);
}

Point ClipView::constrainScrollPoint(Point origin) const
{
    // An origin that is not finite never equals the one before: every scroll to it would announce a
    // change, and a scroll view answering the announcement would scroll again without end. A coordinate
    // that is not finite keeps the current one (0 when that is not finite either), and so does one that a
    // document of no finite size would move out of range.
    const Point now = bounds().origin;
    auto finiteOr = [](double value, double fallback) { return std::isfinite(value) ? value : fallback; };
    origin = Point(finiteOr(origin.x, finiteOr(now.x, 0)), finiteOr(origin.y, finiteOr(now.y, 0)));
    if (!m_documentView)
        return origin;
    const Rect doc = m_documentView->frame();
    const Size size = bounds().size;
    auto clamp = [&](double value, double low, double extent, double shown) {
        return finiteOr(std::clamp(value, low, low + std::max(0.0, extent - shown)), value);
    };
    return Point(clamp(origin.x, doc.minX(), doc.width(), size.width),
                 clamp(origin.y, doc.minY(), doc.height(), size.height));
}

void ClipView::scrollToPoint(Point origin)
{
    setBoundsOrigin(constrainScrollPoint(origin));
}

void ClipView::resizeSubviewsWithOldSize(Size oldSize)
{
    View::resizeSubviewsWithOldSize(oldSize);
    post();
}

void ClipView::boundsOriginDidChange()
{
    post();
}

void ClipView::post()
{
    if (m_posts)
        NotificationCenter::defaultCenter().post(QString::fromLatin1(boundsDidChangeNotification), this);
}

} // namespace pf
