#include "Platform/UI/SteppedClock.h"
#include "Platform/UI/Timer.h"

#include <QObject>
#include <gtest/gtest.h>

namespace {

TEST(Timer, RepeatingTimerFiresOnItsScheduleAndStopsWhenInvalidated)
{
    pf::SteppedClock clock;
    std::vector<double> firings;
    auto timer = pf::Timer::scheduled(0.1, true, [&](pf::Timer&) { firings.push_back(clock.now()); });
    clock.advance(0.35);
    ASSERT_EQ(firings.size(), 3u);
    EXPECT_NEAR(firings[0], 1000.1, 1e-9);
    EXPECT_NEAR(firings[2], 1000.3, 1e-9);
    timer->invalidate();
    clock.advance(1);
    EXPECT_EQ(firings.size(), 3u);
    EXPECT_EQ(clock.pendingCount(), 0);
}

} // namespace
