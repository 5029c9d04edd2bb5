#pragma once

#include "Classes/Editor/GMWindowRole.h"
#include "Platform/Foundation/Rect.h"

#include <memory>

// The editor window's switch between the flat canvas and the layers fanned out in 3D: it turns the
// layer browser and the 2D/3D switch, hides the canvas and fills the layers' cards, widens the window
// background, lets the zoom slider's panel leave and come back, and shows the settings panel through a
// mirror that shrinks with the switch (the panel itself hidden meanwhile). It knows whether a switch
// towards 3D is under way, which the settings panel's contents follow. Main thread only; part of the
// window controller, which forwards the switch's and the layer browser's announcements to it.
class GMWindowLayers3D : private GMWindowRole
{
public:
    explicit GMWindowLayers3D(GMWindowController& hub);
    ~GMWindowLayers3D();

    // Between the announcements of a switch to 3D and back to 2D.
    bool isTowards3D() const { return m_towards3D; }

    // Fans the layers out in 3D, or folds them back, as the switch does.
    void toggle();
    void switchDidChangeState(bool state);
    void willSwitchTo3DView();
    void willSwitchTo2DView();
    void didSwitchTo2DView();
    // The settings panel shown again in its place (also when the window closes).
    void endPanelMirror();

private:
    class PanelMirror;

    void startPanelMirror();
    // Opens the animation of a switch (slow with Shift held) and gives its duration.
    static double beginSwitchAnimation();
    // Closes it: the layers' cards show `cardContents` of their pictures, the switch and the settings
    // panel follow.
    void commitSwitchAnimation(bool to3D, const pf::Rect& cardContents);

    bool m_towards3D = false;
    std::shared_ptr<PanelMirror> m_panelMirror;
};
