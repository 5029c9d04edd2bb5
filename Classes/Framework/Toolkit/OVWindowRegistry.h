#pragma once

#include "Platform/UI/Window.h"

#include <QObject>
#include <algorithm>
#include <memory>
#include <vector>

// Per-window objects of the process (cursor stacks, hint lines), in the order windows were registered.
// Windows are held weakly: a window destroyed without ever closing takes its entry with it, so no entry
// outlives its window. Main thread only.
template <typename T> class OVWindowRegistry
{
public:
    OVWindowRegistry() = default;
    OVWindowRegistry(const OVWindowRegistry&) = delete;
    OVWindowRegistry& operator=(const OVWindowRegistry&) = delete;
    ~OVWindowRegistry()
    {
        for (Entry& entry : m_entries)
            QObject::disconnect(entry.destroyed);
    }

    T* find(const pf::Window* window) const
    {
        auto it = position(window);
        return it == m_entries.end() ? nullptr : it->object.get();
    }
    // The object of the window, else of its nearest registered parent window.
    T* findUpParents(const pf::Window* window) const
    {
        for (const pf::Window* w = window; w; w = w->parentWindow())
            if (T* object = find(w))
                return object;
        return nullptr;
    }
    // Registers the window's object, replacing an earlier one.
    T* insert(pf::Window* window, std::unique_ptr<T> object)
    {
        T* result = object.get();
        auto it = position(window);
        if (it != m_entries.end()) {
            std::unique_ptr<T> previous = std::exchange(it->object, std::move(object));
            return result;
        }
        const pf::Window* address = window;
        QMetaObject::Connection destroyed =
            QObject::connect(window, &QObject::destroyed, [this, address] { remove(address); });
        m_entries.push_back({address, std::move(object), destroyed});
        return result;
    }
    void remove(const pf::Window* window)
    {
        auto it = position(window);
        if (it == m_entries.end())
            return;
        QObject::disconnect(it->destroyed);
        // Out of the registry before it goes, so that its destruction does not find itself registered.
        std::unique_ptr<T> object = std::move(it->object);
        m_entries.erase(it);
    }
    int count() const { return int(m_entries.size()); }

private:
    struct Entry
    {
        const pf::Window* window;
        std::unique_ptr<T> object;
        QMetaObject::Connection destroyed;
    };
    auto position(const pf::Window* window) const
    {
        return std::find_if(m_entries.begin(), m_entries.end(),
                            [&](const Entry& entry) { return entry.window == window; });
    }
    auto position(const pf::Window* window)
    {
        return std::find_if(m_entries.begin(), m_entries.end(),
                            [&](const Entry& entry) { return entry.window == window; });
    }

    std::vector<Entry> m_entries;
};
