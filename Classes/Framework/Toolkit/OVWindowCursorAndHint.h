#pragma once

#include <QCursor>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QWidget>

namespace pf {
class Window;
}

// The cursor and hint a view has put up in a window, remembered with that window so both come down
// from it together, even after the view has moved to another window or while it is being destroyed.
// The window is held as a widget: a window being torn down deletes its views from its QWidget
// destructor, when it is no longer a pf::Window and has dropped its stacks already.
class OVWindowCursorAndHint
{
public:
    explicit OVWindowCursorAndHint(const void* owner);

    // The window they were put up in, or null.
    pf::Window* window() const;
    // An empty hint is not sent; the window is remembered either way.
    void sendHint(pf::Window* window, const QString& hint);
    void pushCursor(pf::Window* window, const QCursor& cursor);
    void remove();

private:
    QVariant m_key;
    QPointer<QWidget> m_window;
};
