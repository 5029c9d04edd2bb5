#include "Platform/Foundation/OperationQueue.h"

#include "Platform/Foundation/Assert.h"
#include "Platform/Foundation/Log.h"

#include <QThread>
#include <algorithm>
#include <exception>
#include <utility>

namespace pf {

namespace {
thread_local const OperationQueue* currentQueue = nullptr;
}

OperationQueue::OperationQueue(int maxConcurrentOperationCount)
{
    setMaxConcurrentOperationCount(maxConcurrentOperationCount);
}

OperationQueue::~OperationQueue()
{
    PF_ASSERT(currentQueue != this, "an OperationQueue cannot be destroyed by one of its own operations");
    waitUntilAllOperationsAreFinished();
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    for (std::thread& worker : m_workers)
        worker.join();
}

void OperationQueue::addOperation(std::function<void()> operation)
{
    {
        std::lock_guard lock(m_mutex);
        m_operations.push_back(std::move(operation));
        startWorkersIfNeeded();
    }
    m_wake.notify_one();
}

void OperationQueue::startWorkersIfNeeded()
{
    // A new worker counts as waiting from the start, so that operations added before it first runs
    // do not each start another one.
    while (static_cast<int>(m_operations.size()) > m_waitingWorkers &&
           static_cast<int>(m_workers.size()) < m_limit) {
        m_workers.emplace_back([this] { run(); }); // cannot run before the lock is released
        ++m_waitingWorkers;
    }
}

void OperationQueue::waitUntilAllOperationsAreFinished()
{
    PF_ASSERT(currentQueue != this,
              "OperationQueue::waitUntilAllOperationsAreFinished() called from one of its own operations");
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_operations.empty() && m_running == 0; });
}

int OperationQueue::operationCount() const
{
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_operations.size()) + m_running;
}

int OperationQueue::maxConcurrentOperationCount() const
{
    std::lock_guard lock(m_mutex);
    return m_maxConcurrent;
}

void OperationQueue::setMaxConcurrentOperationCount(int count)
{
    PF_ASSERT(count >= 1 || count == DefaultMaxConcurrentOperationCount,
              "setMaxConcurrentOperationCount() needs 1 or more, or DefaultMaxConcurrentOperationCount");
    {
        std::lock_guard lock(m_mutex);
        m_maxConcurrent = count;
        m_limit =
            count == DefaultMaxConcurrentOperationCount ? std::max(1, QThread::idealThreadCount()) : count;
        startWorkersIfNeeded();
    }
    m_wake.notify_all();
}

void OperationQueue::run()
{
    currentQueue = this;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] {
            return (m_stopping && m_operations.empty()) || (!m_operations.empty() && m_running < m_limit);
        });
        --m_waitingWorkers;
        if (m_operations.empty())
            return;
        std::function<void()> operation = std::move(m_operations.front());
        m_operations.pop_front();
        ++m_running;
        lock.unlock();
        try {
            operation();
        } catch (const std::exception& exception) {
            error(QStringLiteral("operation failed: %1").arg(QString::fromLocal8Bit(exception.what())));
        } catch (...) {
            error(QStringLiteral("operation failed with an unknown exception"));
        }
        operation = nullptr;
        lock.lock();
        --m_running;
        ++m_waitingWorkers;
        if (m_operations.empty() && m_running == 0)
            m_idle.notify_all();
    }
}

} // namespace pf
