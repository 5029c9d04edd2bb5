#pragma once

#include "Platform/UI/View.h"

class OVImageView;

// What the editor's slide switches share: a knob that slides along a vertical bezel, both in a big or
// a small look, and a mouse that is ignored while the switch is faded out (see OVViewState). A member
// lays out its pictures around the bezel, maps knob positions to its states and handles the presses.
class OVSlideSwitch : public pf::View
{
    Q_OBJECT

public:
    bool smallSize() const { return m_smallSize; }
    // Picks the bezel and knob of that look and lays the switch out again.
    void setSmallSize(bool small);
    // Sizes the frame (keeping its origin) to the member's pictures and the bezel; places the knob.
    virtual void updateFrame() = 0;

    // Places the knob for a position in 0..1 (0 at the bottom).
    void setKnobPosition(double position, bool animated);

    pf::Point bezelOrigin() const { return m_bezelOrigin; }
    pf::Size bezelSize() const { return m_bezelSize; }
    pf::Size knobSize() const { return m_knobSize; }
    OVImageView* knobView() const { return m_knobView; }

    void mouseDown(const pf::Event& event) final;
    void mouseDragged(const pf::Event& event) final;
    void mouseUp(const pf::Event& event) final;

protected:
    // `smallKnobOffset` moves the small knob up (positive) or down from its place on the bezel.
    OVSlideSwitch(const pf::Rect& frame, QWidget* parent, double smallKnobOffset);

    // The bezel picture of each look, and the knob's.
    static QString bezelName(bool small);
    static QString knobName(bool small);

    // The mouse while the switch is visible.
    virtual void pressed(const pf::Event& event) = 0;
    virtual void dragged(const pf::Event&) {}
    virtual void released(const pf::Event&) {}

    pf::Point m_bezelOrigin;

private:
    OVImageView* m_knobView = nullptr;
    pf::Size m_bezelSize, m_knobSize;
    bool m_smallSize = false;
    double m_smallKnobOffset = 0;
};
