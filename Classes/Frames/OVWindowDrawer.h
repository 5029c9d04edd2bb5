#pragma once

#include "Classes/Framework/Toolkit/OVWindowController.h"
#include "Platform/Foundation/ObserverToken.h"
#include "Platform/UI/View.h"
#include "Platform/UI/WindowDelegate.h"

#include <QPointer>
#include <memory>

class OVWindowDrawerDelegate;

namespace pf {
class Timer;
}

// A borderless overlay window that slides out of the right edge of a view of another window, over that
// view, showing a content view of its own width and the view's height. It follows the parent window's
// resizes, slides back when hidden (with auto-hide also when it stops being key) and is removed at once
// when the parent closes. The same window serves every showing. Main thread only.
class OVWindowDrawer : public OVWindowController, public pf::WindowDelegate
{
    Q_OBJECT

public:
    OVWindowDrawer();
    ~OVWindowDrawer() override;
    QStringList classChain() const override
    {
        return {QStringLiteral("OVWindowDrawer"), QStringLiteral("OVWindowController")};
    }

    void loadWindow() override;

    // Opens over `view` (which becomes the focus view) and answers the opening animation's duration in
    // seconds; 0 and nothing else for a view that is in no window.
    double showOverView(pf::View* view);
    // Slides back to a sliver at the right edge and closes after the animation; nothing unless open.
    void hideDrawer();
    // Ends a close: gives the keyboard back to the parent, detaches the window and closes it.
    void finishedCloseAnimation();
    // Open from showOverView until hideDrawer.
    bool isOpen() const { return m_open; }
    bool isClosing() const { return m_closeTimer != nullptr; }

    // The time the platform takes to animate a window's frame from one rectangle to another: 0.2 s for
    // every 150 points that the farthest-moving edge travels.
    static double resizeAnimationTime(const pf::Rect& from, const pf::Rect& to);

    pf::View* contentView() const { return m_contentView; }
    void setContentView(pf::View* view) { m_contentView = view; }
    pf::View* focusView() const { return m_focusView; }
    void setFocusView(pf::View* view) { m_focusView = view; }
    bool autohide() const { return m_autohide; }
    void setAutohide(bool flag) { m_autohide = flag; }
    OVWindowDrawerDelegate* delegate() const { return m_delegate; }
    void setDelegate(OVWindowDrawerDelegate* delegate) { m_delegate = delegate; }

    // pf::WindowDelegate of the drawer's own window.
    void windowDidResignKey(pf::Window* window) override;
    // The parent window's notifications.
    void parentWindowDidResize();
    void parentWindowWillClose();

private:
    // The focus view's rectangle on the screen.
    pf::Rect focusRectOnScreen() const;
    void cancelClose();

    QPointer<pf::View> m_contentView;
    QPointer<pf::View> m_focusView;
    OVWindowDrawerDelegate* m_delegate = nullptr;
    std::shared_ptr<pf::Timer> m_closeTimer;
    bool m_autohide = false;
    bool m_open = false;
    pf::ObserverToken m_parentCloseObserver, m_parentResizeObserver;
};
