#pragma once

#include "Platform/UI/Window.h"

// A borderless, shadowed, transparent window that the user moves by dragging its background (a
// picture shown on its own). It can become key. Main thread only.
class OVFrameLessWindow : public pf::Window
{
    Q_OBJECT

public:
    // `contentRect` in screen coordinates (y-up).
    explicit OVFrameLessWindow(const pf::Rect& contentRect);

    bool canBecomeKeyWindow() const override { return true; }
};
