#include "Classes/Editor/GMTrackingView.h"

#include "Classes/Editor/OVViewState.h"

void GMTrackingView::mouseDown(const pf::Event& event)
{
    if (OVViewState::isVisible(this))
        track(event, true);
    else
        View::mouseDown(event);
}

void GMTrackingView::mouseDragged(const pf::Event& event)
{
    if (OVViewState::isVisible(this))
        track(event, true);
    else
        View::mouseDragged(event);
}

void GMTrackingView::mouseUp(const pf::Event& event)
{
    if (OVViewState::isVisible(this))
        track(event, false);
    else
        View::mouseUp(event);
}
