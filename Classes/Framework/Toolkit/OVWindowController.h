#pragma once

#include "Classes/Framework/Toolkit/OVInterfaceOwner.h"
#include "Platform/Foundation/ObserverToken.h"
#include "Platform/UI/Window.h"

#include <QPointer>
#include <QStringList>

namespace pf {
struct Notification;
}

// A controller of one window that an interface builds (see pf::InterfaceRegistry). The interface is
// found up the controller's class chain: a subclass without an interface of its own uses its nearest
// ancestor's, and "OVWindowController" ends the walk. The window is built when first asked for, its
// title translated through the "Controls" table; hooks run around building and after closing.
class OVWindowController : public OVInterfaceOwner
{
    Q_OBJECT

public:
    explicit OVWindowController(pf::Window* window = nullptr);
    OVWindowController(const QString& nibName, const pf::Bundle* bundle);
    ~OVWindowController() override;

    // The class and its ancestors by name, the class first. Each subclass puts its own name in front of
    // its parent's chain.
    virtual QStringList classChain() const { return {QStringLiteral("OVWindowController")}; }
    QString className() const { return classChain().constFirst(); }

    // The window, built first when none is held (nullptr when building failed; the next call tries again).
    pf::Window* window();
    // Holds `window` and observes its closing; every call releases the interface's other objects, also
    // one that sets the same window again. The controller deletes a window nothing else holds when it
    // lets it go.
    void setWindow(pf::Window* window);
    bool isWindowLoaded() const { return m_window != nullptr; }
    // The held window, never built.
    pf::Window* loadedWindow() const { return m_window; }

    // The stored name, else the first name up the class chain that has an interface.
    QString nibName() const;

    virtual void loadWindow();
    // Hooks: before building, after a successful build, and after the window has closed (on a later turn
    // of the event loop).
    virtual void windowWillLoad() {}
    virtual void windowDidLoad() {}
    virtual void windowDidClose() {}

    // Asks the held window to close (its delegate may refuse); never builds it.
    virtual void close();
    // Closes the window at once, building it first when none is held.
    void forceCloseWindow();
    // Makes the window (built when needed) key and brings it to the front.
    void showWindow();
    // Whether the held window is on screen; never builds it.
    bool isVisible() const;

    // Called when the held window is about to close: schedules windowDidClose() for a later turn.
    virtual void windowWillClose(const pf::Notification& notification);

    // Archives keep the name and the bundle ("WCnibName", "WCnibBundle"); a decoded controller builds
    // its window when first asked.
    void encodeWithCoder(pf::KeyedArchiver& coder) const { encodeInterface(coder); }
    void decodeWithCoder(pf::KeyedUnarchiver& coder);

private:
    QPointer<pf::Window> m_window;
    pf::ObserverToken m_willCloseObserver;
};
