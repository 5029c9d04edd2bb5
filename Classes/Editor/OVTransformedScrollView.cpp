#include "Classes/Editor/OVTransformedScrollView.h"

#include "Classes/Editor/HostedViewGeometry.h"
#include "Classes/Framework/Toolkit/OVScroller.h"
#include "Platform/UI/Layer.h"
#include "Platform/UI/Transaction.h"
#include "Platform/UI/ViewAnimator.h"

#include <algorithm>

using pf::Point;
using pf::Rect;

namespace {

constexpr int kScrollerHeight = 11;
// A classic wheel's notch scrolls this far.
constexpr double kNotchWidth = 60.0;

} // namespace

OVTransformedScrollView::OVTransformedScrollView(const Rect& frame, QWidget* parent) : View(frame, parent)
{
    m_clipView = new pf::View(Rect(0, 0, frame.width(), frame.height()));
    m_clipView->setAutoresizingMask(WidthSizable | HeightSizable);
    addSubview(m_clipView);
    m_scroller = new OVScroller(Qt::Horizontal, this);
    m_scroller->setKnobStyle(OVScroller::KnobStyle::Light);
    m_scroller->setArrowsPosition(OVScroller::ArrowsPosition::None);
    connect(m_scroller, &OVScroller::doubleValueChanged, this,
            [this](double value) { scrollerMoved(value); });
    layOutScroller();
    reflectScrolledClipView();
}

OVTransformedScrollView::~OVTransformedScrollView() = default;

std::shared_ptr<pf::Layer> OVTransformedScrollView::layer() const
{
    return HostedViewGeometry::layerOfView(this);
}

void OVTransformedScrollView::setStoredTransform(const pf::Transform3D& transform)
{
    m_storedTransform = transform;
    if (const auto shown = layer()) {
        const pf::Transaction::Scope atOnce(true);
        shown->setTransform(transform);
    }
}

void OVTransformedScrollView::resizeWithOldSuperviewSize(pf::Size oldSuperviewSize)
{
    // Autoresizing works on the untransformed frame; afterwards the layer shows the stored transform.
    const auto shown = layer();
    const pf::Transaction::Scope atOnce(true);
    if (shown)
        shown->setTransform(pf::Transform3D::identity());
    View::resizeWithOldSuperviewSize(oldSuperviewSize);
    if (shown)
        shown->setTransform(m_storedTransform);
}

void OVTransformedScrollView::resizeSubviewsWithOldSize(pf::Size oldSize)
{
    View::resizeSubviewsWithOldSize(oldSize);
    layOutScroller();
    scrollToPoint(m_clipView->bounds().origin);
}

void OVTransformedScrollView::setDocumentView(pf::View* view)
{
    if (view == m_documentView)
        return;
    delete m_documentView;
    m_documentView = view;
    if (view) {
        view->setFrameOrigin(Point(0, 0));
        m_clipView->addSubview(view);
    }
    scrollToPoint(Point(0, 0));
}

void OVTransformedScrollView::layOutScroller()
{
    const Rect b = bounds();
    m_scroller->setGeometry(0, int(b.height()) - kScrollerHeight, int(b.width()), kScrollerHeight);
    m_scroller->raise();
}

Point OVTransformedScrollView::constrainScrollPoint(Point origin) const
{
    const Rect clip = m_clipView->bounds();
    const Rect document = m_documentView ? m_documentView->frame() : Rect(0, 0, clip.width(), clip.height());
    const double maxX = std::max(document.minX(), document.maxX() - clip.width());
    const double maxY = std::max(document.minY(), document.maxY() - clip.height());
    return Point(std::clamp(origin.x, document.minX(), maxX), std::clamp(origin.y, document.minY(), maxY));
}

void OVTransformedScrollView::scrollToPoint(Point origin)
{
    m_clipView->setBoundsOrigin(constrainScrollPoint(origin));
    reflectScrolledClipView();
}

void OVTransformedScrollView::animateScrollToPoint(Point origin, double duration)
{
    const Point target = constrainScrollPoint(origin);
    pf::ViewAnimator::runGroup(
        duration, [&] { pf::ViewAnimator::animateBoundsOrigin(m_clipView, target); },
        [view = QPointer<OVTransformedScrollView>(this)] {
            if (view)
                view->reflectScrolledClipView();
        });
}

void OVTransformedScrollView::reflectScrolledClipView()
{
    const Rect clip = m_clipView->bounds();
    const double documentWidth = m_documentView ? m_documentView->frame().width() : 0;
    const double hidden = documentWidth - clip.width();
    m_reflecting = true;
    if (hidden <= 0.5) {
        m_scroller->hide();
    } else {
        m_scroller->setKnobProportion(clip.width() / documentWidth);
        m_scroller->setDoubleValue((clip.minX() - (m_documentView ? m_documentView->frame().minX() : 0)) /
                                   hidden);
        m_scroller->show();
    }
    m_reflecting = false;
}

void OVTransformedScrollView::scrollerMoved(double value)
{
    if (m_reflecting || !m_documentView)
        return;
    const Rect clip = m_clipView->bounds();
    const Rect document = m_documentView->frame();
    m_clipView->setBoundsOrigin(constrainScrollPoint(
        Point(document.minX() + value * (document.width() - clip.width()), clip.minY())));
}

void OVTransformedScrollView::scrollWheel(const pf::Event& event)
{
    // Sideways, whichever way the wheel turns.
    const double delta = event.hasPreciseScrollingDeltas() ? event.scrollingDeltaX() + event.scrollingDeltaY()
                                                           : (event.deltaX() + event.deltaY()) * kNotchWidth;
    if (delta == 0 || !m_documentView) {
        View::scrollWheel(event);
        return;
    }
    const Rect clip = m_clipView->bounds();
    scrollToPoint(Point(clip.minX() - delta, clip.minY()));
}
