#include "Platform/Foundation/NotificationCenter.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace pf {

namespace {

struct Observer
{
    QString name;
    const void* sender = nullptr;
    NotificationCenter::Callback callback;
    bool removed = false;
    // One entry per call in progress; a thread appears more than once when delivery nests.
    std::vector<std::thread::id> running;

    bool matches(const Notification& notification) const
    {
        return (name.isEmpty() || name == notification.name) && (!sender || sender == notification.sender);
    }
};

} // namespace

struct NotificationCenter::State
{
    std::mutex mutex;
    std::condition_variable callFinished;
    std::vector<std::shared_ptr<Observer>> observers;
    // Threads blocked in remove(), and the observer each is waiting for.
    std::vector<std::pair<std::thread::id, const Observer*>> waiting;

    void remove(const std::shared_ptr<Observer>& observer);

    static bool runningElsewhere(const Observer& observer, std::thread::id self)
    {
        return std::any_of(observer.running.begin(), observer.running.end(),
                           [&](std::thread::id id) { return id != self; });
    }

    // True when a thread running `observer` is, directly or through other waiting threads, waiting
    // for a call running on `self`: waiting for it would never end.
    bool waitWouldDeadlock(std::thread::id self, const Observer& observer) const
    {
        std::vector<std::thread::id> pending;
        std::vector<std::thread::id> seen;
        for (std::thread::id id : observer.running) {
            if (id != self)
                pending.push_back(id);
        }
        while (!pending.empty()) {
            const std::thread::id id = pending.back();
            pending.pop_back();
            if (id == self)
                return true;
            if (std::find(seen.begin(), seen.end(), id) != seen.end())
                continue;
            seen.push_back(id);
            for (const auto& [waiter, target] : waiting) {
                if (waiter != id)
                    continue;
                for (std::thread::id runner : target->running) {
                    if (runner != id)
                        pending.push_back(runner);
                }
            }
        }
        return false;
    }
};

void NotificationCenter::State::remove(const std::shared_ptr<Observer>& observer)
{
    // Declared before the lock so that the callback (and whatever it captured) is destroyed after the
    // lock is released: its destructor may well remove other observers.
    Callback discarded;
    std::unique_lock lock(mutex);
    if (observer->removed)
        return;
    observer->removed = true;
    observers.erase(std::find(observers.begin(), observers.end(), observer));

    const std::thread::id self = std::this_thread::get_id();
    while (runningElsewhere(*observer, self) && !waitWouldDeadlock(self, *observer)) {
        waiting.emplace_back(self, observer.get());
        callFinished.wait(lock);
        waiting.erase(std::find(waiting.begin(), waiting.end(),
                                std::pair<std::thread::id, const Observer*>{self, observer.get()}));
    }
    if (observer->running.empty())
        discarded = std::move(observer->callback);
}

NotificationCenter::NotificationCenter() : m_state(std::make_shared<State>()) {}

NotificationCenter::~NotificationCenter() = default;

NotificationCenter& NotificationCenter::defaultCenter()
{
    static NotificationCenter* const center = new NotificationCenter;
    return *center;
}

ObserverToken NotificationCenter::addObserver(const QString& name, const void* sender, Callback callback)
{
    auto observer = std::make_shared<Observer>();
    observer->name = name;
    observer->sender = sender;
    observer->callback = std::move(callback);
    {
        std::lock_guard lock(m_state->mutex);
        m_state->observers.push_back(observer);
    }
    return ObserverToken([center = std::weak_ptr<State>(m_state), observer] {
        if (const auto state = center.lock())
            state->remove(observer);
    });
}

void NotificationCenter::post(const QString& name, const void* sender, const QVariantMap& userInfo)
{
    post(Notification{name, sender, userInfo});
}

void NotificationCenter::post(const Notification& notification)
{
    const std::shared_ptr<State> state = m_state;
    std::vector<std::shared_ptr<Observer>> targets;
    {
        std::lock_guard lock(state->mutex);
        for (const auto& observer : state->observers) {
            if (observer->matches(notification))
                targets.push_back(observer);
        }
    }

    const std::thread::id self = std::this_thread::get_id();
    for (const auto& observer : targets) {
        {
            // Checking and marking the call as running under one lock is what lets remove() promise
            // that no call starts after it returns.
            std::lock_guard lock(state->mutex);
            if (observer->removed)
                continue;
            observer->running.push_back(self);
        }
        struct Finish
        {
            State& state;
            Observer& observer;
            std::thread::id self;
            ~Finish()
            {
                std::lock_guard lock(state.mutex);
                observer.running.erase(std::find(observer.running.begin(), observer.running.end(), self));
                if (observer.removed)
                    state.callFinished.notify_all();
            }
        } finish{*state, *observer, self};
        observer->callback(notification);
    }
}

} // namespace pf
