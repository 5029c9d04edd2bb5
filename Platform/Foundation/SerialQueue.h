#pragma once

#include <QString>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace pf {

// Runs tasks one at a time, in the order they were submitted, on a worker thread of its own.
//
// An exception escaping an async() task is logged as an error and the queue carries on; one escaping
// a sync() task is rethrown to the caller of sync().
class SerialQueue
{
public:
    explicit SerialQueue(QString label);
    // Runs every task already submitted, then stops the worker. Must not be called from a task.
    ~SerialQueue();
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    QString label() const { return m_label; }

    void async(std::function<void()> task);

    // Runs `task` on the queue after the tasks already submitted, and returns once it has run. Called
    // from one of this queue's own tasks, it runs `task` at once instead: waiting for the queue would
    // wait for the calling task itself.
    void sync(std::function<void()> task);

    // Returns once no task is queued or running. Calling it from one of the queue's own tasks is a
    // programmer error (it could never return).
    void waitUntilEmpty();

    // True on the queue's worker thread.
    bool isCurrent() const;

private:
    void run();

    const QString m_label;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<std::function<void()>> m_tasks;
    bool m_busy = false;
    bool m_stopping = false;
    std::thread m_worker;
};

} // namespace pf
