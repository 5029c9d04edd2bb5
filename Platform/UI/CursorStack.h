#pragma once

#include <QCursor>
#include <QPointer>
#include <QVariant>
#include <vector>

namespace pf {

class Window;

// A stack of cursors for one window, each under a key of the party that pushed it; the top one is
// the window's cursor and wins over the window's child widgets (the window's cursor rectangles are
// disabled by the first push and stay so). Several views can so change the cursor without fighting.
// Keys are compared by value: strings, numbers, or objects through key(pointer).
class CursorStack
{
public:
    explicit CursorStack(Window* window);

    static QVariant key(const void* object)
    {
        return QVariant::fromValue(reinterpret_cast<quintptr>(object));
    }

    // Puts the cursor on top under `key`, taking out an earlier entry of the same key; shows it.
    void push(const QCursor& cursor, const QVariant& key);
    // Changes the cursor of `key` in place; shows it when it is on top. Nothing for an absent key.
    void replace(const QCursor& cursor, const QVariant& key);
    // Takes out the entry of `key`; when it was on top, the new top (or the arrow) is shown.
    void pop(const QVariant& key);

    bool isEmpty() const { return m_entries.empty(); }
    QVariant topKey() const { return m_entries.empty() ? QVariant() : m_entries.back().key; }
    std::vector<QVariant> keys() const;
    Window* window() const { return m_window; }

private:
    void show(const QCursor& cursor);

    struct Entry
    {
        QCursor cursor;
        QVariant key;
    };
    QPointer<Window> m_window;
    std::vector<Entry> m_entries;
};

} // namespace pf
