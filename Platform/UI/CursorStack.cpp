#include "Platform/UI/CursorStack.h"

#include "Platform/UI/Cursors.h"
#include "Platform/UI/Window.h"

#include <algorithm>

namespace pf {

CursorStack::CursorStack(Window* window) : m_window(window) {}

void CursorStack::push(const QCursor& cursor, const QVariant& key)
{
    m_entries.erase(
        std::remove_if(m_entries.begin(), m_entries.end(), [&](const Entry& e) { return e.key == key; }),
        m_entries.end());
    m_entries.push_back({cursor, key});
    if (m_window)
        m_window->disableCursorRects();
    show(cursor);
}

void CursorStack::replace(const QCursor& cursor, const QVariant& key)
{
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].key == key) {
            m_entries[i].cursor = cursor;
            if (i + 1 == m_entries.size())
                show(cursor);
            return;
        }
    }
}

void CursorStack::pop(const QVariant& key)
{
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].key == key) {
            const bool wasTop = i + 1 == m_entries.size();
            m_entries.erase(m_entries.begin() + std::ptrdiff_t(i));
            if (wasTop)
                show(m_entries.empty() ? Cursors::arrow() : m_entries.back().cursor);
            return;
        }
    }
}

std::vector<QVariant> CursorStack::keys() const
{
    std::vector<QVariant> keys;
    for (const Entry& entry : m_entries)
        keys.push_back(entry.key);
    return keys;
}

void CursorStack::show(const QCursor& cursor)
{
    if (m_window)
        m_window->setWindowCursor(cursor);
}

} // namespace pf
