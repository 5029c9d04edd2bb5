#include "Platform/Foundation/Log.h"

#include <gtest/gtest.h>
#include <thread>

TEST(Log, CapturesExactLinesFromEveryThread)
{
    pf::LogCapture capture;
    pf::warning(QStringLiteral("BlueprintCatalog could not load Foo"));
    std::thread([] { pf::error(QStringLiteral("disk full")); }).join();
    pf::log(QStringLiteral("OVGroupedFilter: refused"));
    EXPECT_EQ(capture.lines(),
              (QStringList{QStringLiteral("Warning: BlueprintCatalog could not load Foo"),
                           QStringLiteral("Error: disk full"), QStringLiteral("OVGroupedFilter: refused")}));
}

TEST(LogDeathTest, AssertNamesFileAndLine)
{
    EXPECT_DEATH(
        {
            extern void pfTestTriggerAssert();
            pfTestTriggerAssert();
        },
        "Cannot remove background photo tool.*LogTests.cpp:[0-9]+");
}

#include "Platform/Foundation/Assert.h"
void pfTestTriggerAssert()
{
    PF_ASSERT(false, "Cannot remove background photo tool");
}
