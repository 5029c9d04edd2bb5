#include "Platform/UI/ClipView.h"

#include "Platform/Foundation/NotificationCenter.h"

#include <algorithm>

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
    if (!m_documentView)
        return origin;
    const Rect doc = m_documentView->frame();
    const Size size = bounds().size;
    auto clamp = [](double value, double low, double extent, double shown) {
        return std::clamp(value, low, low + std::max(0.0, extent - shown));
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
