#include "Classes/Help/OVHoverSupportView.h"

#include "Platform/UI/Event.h"
#include "Platform/UI/Timer.h"
#include "Platform/UI/TrackingArea.h"
#include "Platform/UI/ViewAnimator.h"

OVHoverSupportView::OVHoverSupportView(const pf::Rect& frame, QWidget* parent) : pf::View(frame, parent) {}

OVHoverSupportView::~OVHoverSupportView()
{
    cancelHideTimer();
}

void OVHoverSupportView::setHoverView(pf::View* view)
{
    if (m_hoverView == view)
        return;
    if (m_hoverView && m_hoverView->superview() == this)
        m_hoverView->removeFromSuperview();
    m_hoverView = view;
    if (view) {
        addSubview(view);
        m_hoverAlpha = view->alphaValue();
    }
}

void OVHoverSupportView::cancelHideTimer()
{
    if (m_hideTimer)
        m_hideTimer->invalidate();
    m_hideTimer.reset();
}

bool OVHoverSupportView::hideTimerPending() const
{
    return m_hideTimer && m_hideTimer->isValid();
}

void OVHoverSupportView::showHover()
{
    if (!m_hoverView)
        return;
    m_hoverAlpha = 1;
    pf::ViewAnimator::runGroup(kShowDuration, [this] { pf::ViewAnimator::animateAlpha(m_hoverView, 1.0); });
}

void OVHoverSupportView::hideHover()
{
    cancelHideTimer();
    if (!m_hoverView)
        return;
    m_hoverAlpha = 0;
    pf::ViewAnimator::runGroup(kHideDuration, [this] { pf::ViewAnimator::animateAlpha(m_hoverView, 0.0); });
}

void OVHoverSupportView::startHideTimer(double seconds)
{
    cancelHideTimer();
    if (!window() || !m_hoverView || m_hoverAlpha <= 0)
        return;
    m_hideTimer = pf::Timer::scheduled(
        seconds, false, [this](pf::Timer&) { hideHover(); }, this);
}

void OVHoverSupportView::updateTrackingAreas()
{
    if (m_trackingArea)
        removeTrackingArea(m_trackingArea);
    m_trackingArea = nullptr;
    if (window())
        m_trackingArea = addTrackingArea(std::make_unique<pf::TrackingArea>(
            bounds(), pf::TrackingArea::MouseMoved | pf::TrackingArea::ActiveAlways, this));
}

void OVHoverSupportView::mouseMoved(const pf::Event& event)
{
    if (!m_hoverView)
        return;
    if (m_hoverAlpha < 1)
        showHover();
    const pf::Point point = convertPointFromView(event.locationInWindow(), nullptr);
    if (m_hoverView->frame().contains(point))
        cancelHideTimer();
    else
        startHideTimer(kRestBeforeHiding);
}

void OVHoverSupportView::mouseDown(const pf::Event&)
{
    // Taken, so a press over the movie never reaches the views below.
}

void OVHoverSupportView::mouseUp(const pf::Event& event)
{
    if (event.clickCount() != 1 || !m_hoverView)
        return;
    cancelHideTimer();
    if (m_hoverAlpha <= 0) {
        showHover();
        startHideTimer(kHideAfterClick);
    } else {
        hideHover();
    }
}

pf::View* OVHoverSupportView::hitTest(pf::Point pointInSuperview)
{
    if (isHidden() || !frame().contains(pointInSuperview))
        return nullptr;
    if (m_hoverView) {
        const pf::Point inside =
            superview() ? convertPointFromView(pointInSuperview, superview()) : pointInSuperview;
        if (pf::View* hit = m_hoverView->hitTest(inside))
            return hit;
    }
    return this;
}
