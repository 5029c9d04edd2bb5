#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/MainThread.h"
#include "Platform/Foundation/OperationQueue.h"
#include "Platform/Foundation/SerialQueue.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

bool processEventsUntil(const std::function<bool()>& done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(1ms);
    }
    return done();
}

TEST(SerialQueue, RunsTasksOneAtATimeInOrderOnItsOwnThread)
{
    pf::SerialQueue queue("test.serial");
    EXPECT_EQ(queue.label(), "test.serial");
    std::vector<int> order; // unguarded: only ever touched by one task at a time
    std::vector<std::thread::id> threads;
    for (int i = 0; i < 100; ++i) {
        queue.async([&, i] {
            order.push_back(i);
            threads.push_back(std::this_thread::get_id());
        });
    }
    int seen = 0;
    queue.sync([&] { seen = static_cast<int>(order.size()); });
    EXPECT_EQ(seen, 100); // sync runs after everything submitted before it
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(order[i], i);
    EXPECT_NE(threads.front(), std::this_thread::get_id());
    EXPECT_EQ(std::count(threads.begin(), threads.end(), threads.front()), 100);
}

TEST(SerialQueue, SyncFromItsOwnTaskRunsInlineAndFailuresReachTheirCaller)
{
    pf::SerialQueue queue("test.sync");
    QStringList steps;
    queue.sync([&] {
        steps << "outer";
        queue.sync([&] { steps << "inner"; });
        steps << "after";
    });
    EXPECT_EQ(steps, (QStringList{"outer", "inner", "after"}));

    EXPECT_THROW(queue.sync([] { throw std::runtime_error("broken"); }), std::runtime_error);

    pf::LogCapture capture;
    std::atomic<bool> ranAfter = false;
    queue.async([] { throw std::runtime_error("disk full"); });
    queue.async([&] { ranAfter = true; });
    queue.waitUntilEmpty();
    EXPECT_TRUE(ranAfter);
    EXPECT_TRUE(capture.contains("Error: task on queue \"test.sync\" failed: disk full"));
}

TEST(SerialQueue, WaitingAndDestructionFinishEveryQueuedTask)
{
    std::atomic<int> done = 0;
    {
        pf::SerialQueue queue("test.wait");
        for (int i = 0; i < 5; ++i) {
            queue.async([&] {
                std::this_thread::sleep_for(2ms);
                ++done;
            });
        }
        queue.waitUntilEmpty();
        EXPECT_EQ(done, 5);
        for (int i = 0; i < 5; ++i) {
            queue.async([&] {
                std::this_thread::sleep_for(2ms);
                ++done;
            });
        }
    }
    EXPECT_EQ(done, 10);
}

TEST(OperationQueue, RunsAtMostTheAllowedNumberAtOnce)
{
    // Operations hold until the test opens the gate, so the peak does not depend on how busy the
    // machine is: the queue must fill every allowed slot and never more.
    pf::OperationQueue queue(3);
    std::atomic<int> running = 0;
    std::atomic<int> peak = 0;
    std::atomic<bool> open = false;
    auto operation = [&] {
        const int now = ++running;
        int previous = peak;
        while (now > previous && !peak.compare_exchange_weak(previous, now)) {
        }
        while (!open)
            std::this_thread::sleep_for(1ms);
        --running;
    };
    const auto runBatch = [&](int count, int allowed) {
        open = false;
        peak = 0;
        for (int i = 0; i < count; ++i)
            queue.addOperation(operation);
        QElapsedTimer timer;
        timer.start();
        while (running < allowed && timer.elapsed() < 10000)
            std::this_thread::sleep_for(1ms);
        std::this_thread::sleep_for(20ms); // room for a queue that wrongly starts one more
        open = true;
        queue.waitUntilAllOperationsAreFinished();
    };
    runBatch(12, 3);
    EXPECT_EQ(peak, 3);
    EXPECT_EQ(queue.operationCount(), 0);

    queue.setMaxConcurrentOperationCount(1);
    runBatch(4, 1);
    EXPECT_EQ(peak, 1);
}

TEST(OperationQueue, CountsPendingWorkAndSurvivesFailingOperations)
{
    pf::LogCapture capture;
    std::atomic<bool> release = false;
    std::atomic<int> done = 0;
    {
        pf::OperationQueue queue(1);
        queue.addOperation([&] {
            while (!release)
                std::this_thread::sleep_for(1ms);
        });
        queue.addOperation([] { throw std::runtime_error("no memory"); });
        queue.addOperation([&] { ++done; });
        EXPECT_EQ(queue.operationCount(), 3);
        release = true;
        queue.waitUntilAllOperationsAreFinished();
        EXPECT_EQ(done, 1);
        EXPECT_TRUE(capture.contains("Error: operation failed: no memory"));

        queue.setMaxConcurrentOperationCount(pf::OperationQueue::DefaultMaxConcurrentOperationCount);
        for (int i = 0; i < 20; ++i)
            queue.addOperation([&] { ++done; });
    } // destruction waits for them
    EXPECT_EQ(done, 21);
}

TEST(MainThread, TasksFromWorkerThreadsRunOnTheMainThreadInOrder)
{
    ASSERT_TRUE(pf::isMainThread());
    std::vector<int> order; // only touched on the main thread
    std::atomic<bool> workerIsMain = true;
    std::thread worker([&] {
        workerIsMain = pf::isMainThread();
        for (int i = 0; i < 3; ++i)
            pf::runOnMain([&order, i] { order.push_back(pf::isMainThread() ? i : -1); });
    });
    worker.join();
    EXPECT_FALSE(workerIsMain);
    EXPECT_TRUE(processEventsUntil([&] { return order.size() == 3; }));
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
}

TEST(MainThread, TasksAreQueuedEvenFromTheMainThread)
{
    bool ran = false;
    pf::runOnMain([&] { ran = true; });
    EXPECT_FALSE(ran);
    EXPECT_TRUE(processEventsUntil([&] { return ran; }));

    pf::LogCapture capture;
    pf::runOnMain([] { throw std::runtime_error("bad state"); });
    EXPECT_TRUE(
        processEventsUntil([&] { return capture.contains("Error: main-thread task failed: bad state"); }));
}

// What a task holds is main-thread state as much as the task is: it is let go on the main thread too,
// however soon the main thread runs the task after a worker queued it.
TEST(MainThread, WhatATaskHoldsIsReleasedOnTheMainThread)
{
    struct Probe
    {
        std::atomic<int>* releasedElsewhere;
        ~Probe()
        {
            if (!pf::isMainThread())
                ++*releasedElsewhere;
        }
    };
    constexpr int count = 20000;
    std::atomic<int> releasedElsewhere{0};
    std::atomic<int> ran{0};
    std::thread worker([&] {
        for (int i = 0; i < count; ++i) {
            auto probe = std::make_shared<Probe>(&releasedElsewhere);
            pf::runOnMain([probe = std::move(probe), &ran] { ++ran; });
        }
    });
    // The main thread takes each task as soon as it is queued. How many it runs in a second depends on
    // the machine (under the thread checker on a loaded machine a few hundred): only a main thread that
    // stops running them for seconds fails.
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    for (int seen = 0; ran < count && sinceProgress.elapsed() < 10000;) {
        QCoreApplication::processEvents();
        if (ran != seen) {
            seen = ran;
            sinceProgress.restart();
        }
    }
    worker.join();
    EXPECT_EQ(ran.load(), count);
    EXPECT_EQ(releasedElsewhere.load(), 0);
}

TEST(MainThread, DelayedTasksWaitTheirTimeFromAnyThread)
{
    QElapsedTimer timer;
    timer.start();
    std::atomic<qint64> mainAfter = -1;
    std::atomic<qint64> workerAfter = -1;
    pf::runOnMainAfter(0.05, [&] { mainAfter = timer.elapsed(); });
    std::thread([&] {
        pf::runOnMainAfter(0.05, [&] { workerAfter = pf::isMainThread() ? timer.elapsed() : -2; });
    }).join();
    EXPECT_TRUE(processEventsUntil([&] { return mainAfter >= 0 && workerAfter != -1; }));
    EXPECT_GE(mainAfter, 50);
    EXPECT_GE(workerAfter, 50);
}

} // namespace
