#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace pf {

// Runs operations on worker threads, at most maxConcurrentOperationCount() at a time, starting them
// in the order they were added. Workers are started as work arrives, up to that count, and kept
// until the queue is destroyed.
//
// An exception escaping an operation is logged as an error and the queue carries on.
class OperationQueue
{
public:
    // As many operations at a time as the machine has cores.
    static constexpr int DefaultMaxConcurrentOperationCount = -1;

    explicit OperationQueue(int maxConcurrentOperationCount = DefaultMaxConcurrentOperationCount);
    // Finishes every operation added so far. Must not be called from an operation of this queue.
    ~OperationQueue();
    OperationQueue(const OperationQueue&) = delete;
    OperationQueue& operator=(const OperationQueue&) = delete;

    void addOperation(std::function<void()> operation);

    // Returns once no operation is queued or running (operations may add more meanwhile; those are
    // waited for too). Calling it from one of this queue's operations is a programmer error.
    void waitUntilAllOperationsAreFinished();

    // Operations queued or running.
    int operationCount() const;

    int maxConcurrentOperationCount() const;
    // A count of 1 or more, or DefaultMaxConcurrentOperationCount.
    void setMaxConcurrentOperationCount(int count);

private:
    void run();
    void startWorkersIfNeeded();

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<std::function<void()>> m_operations;
    std::vector<std::thread> m_workers;
    int m_maxConcurrent = DefaultMaxConcurrentOperationCount;
    int m_limit = 1;
    int m_running = 0;
    int m_waitingWorkers = 0;
    bool m_stopping = false;
};

} // namespace pf
