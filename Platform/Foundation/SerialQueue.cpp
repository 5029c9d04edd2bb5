#include "Platform/Foundation/SerialQueue.h"

#include "Platform/Foundation/Assert.h"
#include "Platform/Foundation/Log.h"

#include <exception>
#include <memory>
#include <utility>

namespace pf {

SerialQueue::SerialQueue(QString label) : m_label(std::move(label))
{
    m_worker = std::thread([this] { run(); });
}

SerialQueue::~SerialQueue()
{
    PF_ASSERT(!isCurrent(), "a SerialQueue cannot be destroyed by one of its own tasks");
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_worker.join();
}

bool SerialQueue::isCurrent() const
{
    return std::this_thread::get_id() == m_worker.get_id();
}

void SerialQueue::async(std::function<void()> task)
{
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    m_wake.notify_one();
}

void SerialQueue::sync(std::function<void()> task)
{
    if (isCurrent()) {
        task();
        return;
    }
    struct Completion
    {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        std::exception_ptr exception;
    };
    // Shared, so the worker never touches a completion the caller has already left behind.
    auto completion = std::make_shared<Completion>();
    async([completion, task = std::move(task)] {
        std::exception_ptr exception;
        try {
            task();
        } catch (...) {
            exception = std::current_exception();
        }
        std::lock_guard lock(completion->mutex);
        completion->exception = exception;
        completion->finished = true;
        completion->done.notify_one();
    });
    std::unique_lock lock(completion->mutex);
    completion->done.wait(lock, [&] { return completion->finished; });
    if (completion->exception)
        std::rethrow_exception(completion->exception);
}

void SerialQueue::waitUntilEmpty()
{
    PF_ASSERT(!isCurrent(), "SerialQueue::waitUntilEmpty() called from one of the queue's own tasks");
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_tasks.empty() && !m_busy; });
}

void SerialQueue::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || !m_tasks.empty(); });
        if (m_tasks.empty())
            return;
        std::function<void()> task = std::move(m_tasks.front());
        m_tasks.pop_front();
        m_busy = true;
        lock.unlock();
        try {
            task();
        } catch (const std::exception& exception) {
            error(QStringLiteral("task on queue \"%1\" failed: %2")
                      .arg(m_label, QString::fromLocal8Bit(exception.what())));
        } catch (...) {
            error(QStringLiteral("task on queue \"%1\" failed with an unknown exception").arg(m_label));
        }
        // Destroyed before the queue reports idle: its captures belong to the task.
        task = nullptr;
        lock.lock();
        m_busy = false;
        if (m_tasks.empty())
            m_idle.notify_all();
    }
}

} // namespace pf
