#include "Platform/Foundation/NotificationCenter.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

TEST(NotificationCenter, DeliversInOrderToObserversMatchingNameAndSender)
{
    pf::NotificationCenter center;
    const int first = 0;
    const int second = 0;
    QStringList calls;
    auto record = [&](const QString& who) {
        return [&calls, who](const pf::Notification& n) {
            calls << who + ":" + n.name + ":" + n.userInfo.value("k").toString();
        };
    };
    pf::ObserverToken a = center.addObserver("A", nullptr, record("a"));
    pf::ObserverToken all = center.addObserver({}, nullptr, record("all"));
    pf::ObserverToken fromFirst = center.addObserver("A", &first, record("first"));
    pf::ObserverToken b = center.addObserver("B", nullptr, record("b"));

    center.post("A", &second, {{"k", "1"}});
    center.post("A", &first, {{"k", "2"}});
    all.reset();
    center.post("B");
    EXPECT_EQ(calls, (QStringList{"a:A:1", "all:A:1", "a:A:2", "all:A:2", "first:A:2", "b:B:"}));
}

TEST(NotificationCenter, TokenMayOutliveTheCenter)
{
    auto center = std::make_unique<pf::NotificationCenter>();
    pf::ObserverToken token = center->addObserver("A", nullptr, [](const pf::Notification&) {});
    center.reset();
    token.reset();
}

TEST(NotificationCenter, ObserversMayChangeRegistrationsDuringDelivery)
{
    pf::NotificationCenter center;
    QStringList calls;
    pf::ObserverToken self;
    pf::ObserverToken later;
    pf::ObserverToken added;
    pf::ObserverToken first = center.addObserver("A", nullptr, [&](const pf::Notification&) {
        calls << "first";
        later.reset();
        self.reset();
        if (!added)
            added = center.addObserver("A", nullptr, [&](const pf::Notification&) { calls << "added"; });
        center.post("Nested");
    });
    self = center.addObserver("A", nullptr, [&](const pf::Notification&) { calls << "self"; });
    later = center.addObserver("A", nullptr, [&](const pf::Notification&) { calls << "later"; });
    pf::ObserverToken nested = center.addObserver("Nested", nullptr, [&](const pf::Notification&) {
        calls << "nested";
        self.reset(); // removing twice is harmless
    });

    center.post("A");
    center.post("A");
    EXPECT_EQ(calls, (QStringList{"first", "nested", "first", "nested", "added"}));
}

TEST(NotificationCenter, RemovalWaitsForACallRunningOnAnotherThread)
{
    pf::NotificationCenter center;
    std::atomic<bool> entered = false;
    std::atomic<bool> finished = false;
    pf::ObserverToken token = center.addObserver("A", nullptr, [&](const pf::Notification&) {
        entered = true;
        std::this_thread::sleep_for(50ms);
        finished = true;
    });
    std::thread poster([&] { center.post("A"); });
    while (!entered)
        std::this_thread::yield();
    token.reset();
    EXPECT_TRUE(finished); // what the callback uses may be destroyed now
    poster.join();
}

TEST(NotificationCenter, ObserversRemovingEachOtherOnTwoThreadsDoNotDeadlock)
{
    pf::NotificationCenter center;
    std::atomic<int> entered = 0;
    pf::ObserverToken x;
    pf::ObserverToken y;
    auto removeOther = [&](pf::ObserverToken& other) {
        return [&](const pf::Notification&) {
            ++entered;
            while (entered < 2)
                std::this_thread::yield();
            other.reset();
        };
    };
    x = center.addObserver("X", nullptr, removeOther(y));
    y = center.addObserver("Y", nullptr, removeOther(x));
    std::thread first([&] { center.post("X"); });
    std::thread second([&] { center.post("Y"); });
    first.join();
    second.join();
    EXPECT_EQ(entered, 2);
}

TEST(NotificationCenter, ConcurrentPostsNeverReachRemovedObservers)
{
    pf::NotificationCenter center;
    std::atomic<bool> stop = false;
    std::atomic<int> delivered = 0;
    std::vector<std::thread> posters;
    for (int i = 0; i < 4; ++i) {
        posters.emplace_back([&, i] {
            while (!stop)
                center.post(i % 2 ? "A" : "B", nullptr, {{"thread", i}});
        });
    }
    std::vector<std::thread> churners;
    for (int i = 0; i < 2; ++i) {
        churners.emplace_back([&] {
            // On a busy machine the posters may not run at all during the first rounds: go on until
            // a delivery shows that observers were reached while others were being removed.
            for (int round = 0; round < 300 || (delivered == 0 && round < 200000); ++round) {
                // Freed right after removal: a late call would be a use after free.
                auto* count = new std::atomic<int>(0);
                std::optional<pf::ObserverToken> token = center.addObserver(
                    round % 3 ? "A" : QString(), nullptr, [count, &delivered](const pf::Notification&) {
                        ++*count;
                        ++delivered;
                    });
                std::this_thread::yield();
                token.reset();
                delete count;
            }
        });
    }
    for (auto& thread : churners)
        thread.join();
    stop = true;
    for (auto& thread : posters)
        thread.join();
    EXPECT_GT(delivered, 0);
}

} // namespace
