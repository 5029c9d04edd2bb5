#pragma once

#include "Platform/UI/Window.h"

// A window that works as a child panel of another window (an overlay attached with addChildWindow):
// the pair behaves as one key window (the parent reports itself key while its child is), a click into
// the parent takes the keyboard back from the child, and with isChildWindow set the close command acts
// on the parent. Without a parent it is a plain window. Main thread only.
class OVChildSupportWindow : public pf::Window
{
    Q_OBJECT

public:
    using pf::Window::Window;

    // The close command, when isChildWindow is set, is enabled exactly when the parent would enable it.
    bool validateMenuItem(const QAction* item) const override;
    // Key itself, or one of its child windows is.
    bool isKeyWindow() const override;
    bool canBecomeMainWindow() const override;
    bool canBecomeKeyWindow() const override { return true; }
    // With isChildWindow set the parent performs the close.
    void performClose() override;
    // A left or right press in a window without a parent whose child is key makes the window key
    // before the press is handled.
    bool sendEvent(const pf::Event& event) override;

    bool isChildWindow() const { return m_isChildWindow; }
    void setIsChildWindow(bool flag) { m_isChildWindow = flag; }

private:
    bool m_isChildWindow = false;
    mutable bool m_checkingKey = false;
};
