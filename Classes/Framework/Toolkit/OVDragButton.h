#pragma once

#include "Classes/Framework/Toolkit/OVButton.h"

// A grab handle (skin "Grab"): it sends its action on the press, at every drag step and on the release,
// and tells how far the pointer has moved, so that its target can move or reorder something. It keeps
// its hover look while dragged (the button's press states are not used).
class OVDragButton : public OVButton
{
    Q_OBJECT

public:
    enum DragState : int
    {
        Pressed = 0,
        Dragging = 1,
        Released = 2,
    };

    explicit OVDragButton(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);

    int dragState() const { return m_dragState; }
    // Movement since the previous drag step, and since the press, in whole points (y-up).
    pf::Size lastDragDistance() const { return m_lastDragDistance; }
    pf::Size fullDragDistance() const { return m_fullDragDistance; }

    void mouseDown(const pf::Event& event) override;
    void mouseDragged(const pf::Event& event) override;
    void mouseUp(const pf::Event& event) override;

private:
    int m_dragState = Released;
    pf::Point m_startPoint;
    pf::Size m_lastDragDistance;
    pf::Size m_fullDragDistance;
};
