#pragma once

#include "Classes/Framework/Toolkit/OVScroller.h"
#include "Platform/UI/ScrollView.h"

// A scroll view whose content runs under its scroller: the clip view takes the whole bounds.
class OVOverlayScrollView : public pf::ScrollView
{
    Q_OBJECT

public:
    using ScrollView::ScrollView;

    OVScroller::KnobStyle scrollerKnobStyle() const { return m_knobStyle; }
    void setScrollerKnobStyle(OVScroller::KnobStyle style);

    // The usual layout, then the clip view over the whole bounds; an OVScroller gets a light knob
    // when the scroll view's knob style is light, a dark one otherwise.
    void tile() override;

private:
    OVScroller::KnobStyle m_knobStyle = OVScroller::KnobStyle::Default;
};
