#pragma once

#include "Platform/UI/View.h"

// A control that follows the pointer from a press to its release while it shows: the press and every
// drag preview the value under the pointer, the release sets it. Faded out (see OVViewState) it passes
// the mouse on as any view does.
class GMTrackingView : public pf::View
{
    Q_OBJECT

public:
    using View::View;

    void mouseDown(const pf::Event& event) override;
    void mouseDragged(const pf::Event& event) override;
    void mouseUp(const pf::Event& event) override;

protected:
    // Takes the value under the event's pointer; `preview` until the release.
    virtual void track(const pf::Event& event, bool preview) = 0;
};
