#include "Platform/Foundation/KeyValueCoding.h"

#include <mutex>
#include <vector>

namespace pf {

struct KeyValueCoding::Observers
{
    struct Entry
    {
        quint64 id;
        QString key;
        std::function<void()> willChange;
        std::function<void()> didChange;
    };
    std::mutex mutex;
    std::vector<Entry> entries;
    quint64 nextId = 1;
};

KeyValueCoding::KeyValueCoding()
    : m_observers(std::make_shared<Observers>()), m_lifetime(std::make_shared<char>(0))
{}

KeyValueCoding::~KeyValueCoding() = default;

void KeyValueCoding::willChangeValueForKey(const QString& key)
{
    tell(key, true);
}

void KeyValueCoding::didChangeValueForKey(const QString& key)
{
    tell(key, false);
}

void KeyValueCoding::tell(const QString& key, bool before)
{
    // Copied first: an observer may add or remove observers, or let the object go, while it is told.
    std::vector<std::pair<quint64, std::function<void()>>> calls;
    const std::shared_ptr<Observers> observers = m_observers;
    {
        std::lock_guard lock(observers->mutex);
        for (const auto& entry : observers->entries)
            if (entry.key == key && (before ? entry.willChange : entry.didChange))
                calls.emplace_back(entry.id, before ? entry.willChange : entry.didChange);
    }
    for (const auto& [id, call] : calls) {
        bool stillThere = false;
        {
            std::lock_guard lock(observers->mutex);
            for (const auto& entry : observers->entries)
                stillThere = stillThere || entry.id == id;
        }
        if (stillThere)
            call();
    }
}

ObserverToken KeyValueCoding::observeValueForKey(const QString& key, std::function<void()> willChange,
                                                 std::function<void()> didChange)
{
    quint64 id;
    {
        std::lock_guard lock(m_observers->mutex);
        id = m_observers->nextId++;
        m_observers->entries.push_back({id, key, std::move(willChange), std::move(didChange)});
    }
    std::weak_ptr<Observers> weak = m_observers;
    return ObserverToken([weak, id] {
        const std::shared_ptr<Observers> observers = weak.lock();
        if (!observers)
            return;
        Observers::Entry removed;
        std::lock_guard lock(observers->mutex);
        for (auto it = observers->entries.begin(); it != observers->entries.end(); ++it) {
            if (it->id == id) {
                removed = std::move(*it);
                observers->entries.erase(it);
                break;
            }
        }
    });
}

} // namespace pf
