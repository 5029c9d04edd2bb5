#pragma once

#include "Platform/Foundation/ObserverToken.h"
#include "Platform/UI/CursorStack.h"

#include <QCursor>
#include <QVariant>
#include <optional>

namespace pf {
class Window;
}

// Cursors pushed and popped under keys, one stack per window, so that several views of a window change
// the cursor without fighting: the top of the window's stack is shown. Keys are compared by value
// (strings, or objects through pf::CursorStack::key(pointer)). A window's stack is made by its first
// push and dropped when the window closes or is destroyed. Main thread only.
class OVCursorStack
{
public:
    // Pushes on the window's stack (made when it has none); disables the window's cursor rectangles
    // first, also when the push itself is refused. Nothing for no window.
    static void pushCursor(const std::optional<QCursor>& cursor, const QVariant& key, pf::Window* window);
    // On the window's stack when it has one; nothing otherwise.
    static void replaceCursor(const std::optional<QCursor>& cursor, const QVariant& key, pf::Window* window);
    static void popCursorForKey(const QVariant& key, pf::Window* window);
    static OVCursorStack* cursorStackForWindow(const pf::Window* window);
    // Drops the window's stack and enables its cursor rectangles again.
    static void removeCursorStackForWindow(pf::Window* window);
    // Windows that have a stack now.
    static int registeredWindowCount();

    explicit OVCursorStack(pf::Window* window);
    ~OVCursorStack();
    OVCursorStack(const OVCursorStack&) = delete;
    OVCursorStack& operator=(const OVCursorStack&) = delete;

    // Puts the cursor on top under the key (an earlier entry of the key goes) and shows it. A missing
    // cursor or key is refused with a warning.
    void pushCursor(const std::optional<QCursor>& cursor, const QVariant& key);
    // Changes the cursor of a key in place, shown only when it is on top; a missing one is refused.
    void replaceCursor(const std::optional<QCursor>& cursor, const QVariant& key);
    // Takes out the key's entry; when it was on top, the next (or the arrow) is shown.
    void popCursorForKey(const QVariant& key);

    std::vector<QVariant> keys() const { return m_stack.keys(); }
    QString description() const;

private:
    static bool refused(const std::optional<QCursor>& cursor, const QVariant& key);

    pf::CursorStack m_stack;
    pf::ObserverToken m_willCloseObserver;
};
