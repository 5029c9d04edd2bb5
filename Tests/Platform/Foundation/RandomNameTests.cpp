#include "Platform/Foundation/RandomName.h"

#include <QSet>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <vector>

TEST(RandomName, UsesOnlyAlphanumericsAndAllOfThem)
{
    EXPECT_TRUE(pf::randomName(0).isEmpty());
    EXPECT_TRUE(pf::randomName(-3).isEmpty());
    const QString name = pf::randomName(20000);
    ASSERT_EQ(name.size(), 20000);
    QSet<QChar> seen;
    for (QChar c : name) {
        ASSERT_TRUE((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9'))
            << int(c.unicode());
        seen.insert(c);
    }
    // 62 symbols over 20000 draws: a missing one would mean a broken alphabet or range.
    EXPECT_EQ(seen.size(), 62);
}

TEST(RandomName, ConcurrentCallersGetDistinctNames)
{
    std::mutex mutex;
    QSet<QString> names;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 250; ++i) {
                const QString name = pf::randomName(12);
                std::lock_guard lock(mutex);
                names.insert(name);
            }
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(names.size(), 1000);
}
