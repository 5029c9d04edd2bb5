#include "Platform/UI/ScrollView.h"

#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UI/ClipView.h"

#include <QScrollBar>
#include <algorithm>
#include <climits>
#include <cmath>

namespace pf {

ScrollView::ScrollView(const Rect& frame, QWidget* parent)
    : View(frame, parent), m_clip(new ClipView(bounds()))
{
    addSubview(m_clip);
    // The clip view's own notification keeps the scroller in step, whoever scrolled it.
    m_observer = NotificationCenter::defaultCenter().addObserver(
        QString::fromLatin1(ClipView::boundsDidChangeNotification), m_clip,
        [guard = QPointer<ScrollView>(this)](const Notification&) {
            if (guard)
                guard->reflectScrolledClipView();
        });
    tile();
}

View* ScrollView::documentView() const
{
    return m_clip->documentView();
}

void ScrollView::setDocumentView(View* view)
{
    m_clip->setDocumentView(view);
    reflectScrolledClipView();
}

Rect ScrollView::documentVisibleRect() const
{
    return m_clip->documentVisibleRect();
}

void ScrollView::setVerticalScroller(QScrollBar* scroller)
{
    if (scroller == m_scroller)
        return;
    delete m_scroller.data();
    m_scroller = scroller;
    if (scroller) {
        scroller->setParent(this);
        scroller->setOrientation(Qt::Vertical);
        connect(scroller, &QScrollBar::valueChanged, this, &ScrollView::scrollerMoved);
        scroller->show();
    }
    tile();
}

void ScrollView::setScrollerIsOverlay(bool overlay)
{
    m_overlay = overlay;
    tile();
}

double ScrollView::verticalScrollerWidth() const
{
    return m_scroller && !m_overlay ? scrollerWidth : 0;
}

void ScrollView::tile()
{
    const Rect b = bounds();
    const double s = verticalScrollerWidth();
    m_clip->setFrame(Rect(0, 0, std::max(0.0, b.width() - s), b.height()));
    if (m_scroller) {
        // Qt's geometry is y-down from the widget's top left; the slot runs the full height.
        m_scroller->setGeometry(QRect(int(std::lround(b.width() - scrollerWidth)), 0, int(scrollerWidth),
                                      int(std::lround(b.height()))));
        m_scroller->raise();
    }
    reflectScrolledClipView();
}

void ScrollView::reflectScrolledClipView()
{
    if (m_reflecting)
        return;
    // The clip view announces the scroll below, which comes back here: once is enough.
    m_reflecting = true;
    // A document that shrank may leave the clip view showing nothing beyond its end.
    m_clip->scrollToPoint(m_clip->bounds().origin);
    if (!m_scroller) {
        m_reflecting = false;
        return;
    }
    View* document = documentView();
    // A scroller counts in ints: a document of no finite height, or a taller one, fills its range.
    auto steps = [](double points) {
        return std::isfinite(points) ? int(std::lround(std::clamp(points, 0.0, double(INT_MAX / 2)))) : 0;
    };
    const double shown = m_clip->bounds().height();
    const double extent = document ? document->frame().height() : 0;
    const double hidden = std::isnan(extent - shown) ? 0 : std::max(0.0, extent - shown);
    const int range = std::isinf(hidden) ? INT_MAX / 2 : steps(hidden);
    m_scroller->setRange(0, range);
    m_scroller->setPageStep(std::max(1, steps(shown)));
    // The scroller counts from the top, the clip view's origin from the bottom.
    const double fromTop = document ? document->frame().maxY() - m_clip->bounds().maxY() : 0;
    m_scroller->setValue(std::min(steps(fromTop), range));
    m_scroller->setEnabled(range > 0);
    m_reflecting = false;
}

void ScrollView::scrollerMoved(int value)
{
    if (m_reflecting)
        return;
    View* document = documentView();
    if (!document)
        return;
    const Rect b = m_clip->bounds();
    m_reflecting = true;
    m_clip->scrollToPoint(Point(b.minX(), document->frame().maxY() - b.height() - value));
    m_reflecting = false;
}

void ScrollView::resizeSubviewsWithOldSize(Size oldSize)
{
    // Keep the top of the part shown in place when the view grows or shrinks: in a y-up clip view that
    // is measured from the document's top, not from the clip view's origin.
    View* document = documentView();
    const double fromTop = document ? document->frame().maxY() - m_clip->bounds().maxY() : 0;
    View::resizeSubviewsWithOldSize(oldSize);
    tile();
    const Rect b = m_clip->bounds();
    if (document)
        m_clip->scrollToPoint(Point(b.minX(), document->frame().maxY() - fromTop - b.height()));
    else
        m_clip->scrollToPoint(b.origin);
}

void ScrollView::scrollWheel(const Event& event)
{
    if (!documentView()) {
        View::scrollWheel(event);
        return;
    }
    const double dx =
        event.hasPreciseScrollingDeltas() ? event.scrollingDeltaX() : event.deltaX() * lineScroll;
    const double dy =
        event.hasPreciseScrollingDeltas() ? event.scrollingDeltaY() : event.deltaY() * lineScroll;
    const Point origin = m_clip->bounds().origin;
    // Positive deltas turn the wheel up (or left): the document moves down, showing what lies above.
    m_clip->scrollToPoint(Point(origin.x - dx, origin.y + dy));
}

} // namespace pf
