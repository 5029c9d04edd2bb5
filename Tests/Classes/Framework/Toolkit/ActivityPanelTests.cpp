#include "Classes/Framework/Toolkit/OV3PartImageView.h"
#include "Classes/Framework/Toolkit/OVActivityPanel.h"
#include "Classes/Framework/Toolkit/OVProgressSpinner.h"
#include "Platform/UI/SteppedClock.h"
#include "Platform/UI/Window.h"

#include <gtest/gtest.h>

namespace {

using pf::Rect;

class ActivityPanel : public ::testing::Test
{
protected:
    void SetUp() override
    {
        panel.setXLocation(180);
        panel.setWindow(&window);
    }
    bool isDown() { return panel.panel()->frame().minY() == 0; }
    bool isUp() { return panel.panel()->frame().minY() == panel.view()->bounds().height(); }

    pf::SteppedClock clock;
    pf::Window window{Rect(100, 100, 800, 600)};
    OVActivityPanel panel;
};

TEST_F(ActivityPanel, HangsFromTheTopEdgeHiddenUntilAnActivityStarts)
{
    ASSERT_NE(panel.view(), nullptr);
    EXPECT_EQ(panel.view()->frame(), Rect(180, 560, 320, 40));
    EXPECT_EQ(panel.view()->superview(), window.contentView());
    EXPECT_TRUE(isUp());
    EXPECT_FALSE(panel.progressIndicator()->isAnimating());
}

// The first block waits for the slide-in; later ones run at the next turn. The line shows the latest
// activity still running; stopping a message stops all of its entries.
TEST_F(ActivityPanel, ShowsTheLatestRunningActivityAndSlidesOutAfterTheLast)
{
    QStringList ran;
    panel.startActivity(QStringLiteral("Saving"), [&] { ran << QStringLiteral("saving"); });
    clock.advance(0.3);
    EXPECT_TRUE(ran.isEmpty());
    EXPECT_TRUE(panel.progressIndicator()->isAnimating());
    EXPECT_FALSE(isDown());
    clock.advance(0.35);
    EXPECT_EQ(ran, QStringList{QStringLiteral("saving")});
    EXPECT_TRUE(isDown());

    panel.startActivity(QStringLiteral("Loading"), [&] { ran << QStringLiteral("loading"); });
    EXPECT_EQ(panel.messageTF()->text(), QStringLiteral("Loading"));
    EXPECT_EQ(ran.size(), 1); // never inside the call
    clock.advance(0);
    EXPECT_EQ(ran.last(), QStringLiteral("loading"));

    panel.startActivity(QStringLiteral("Loading"));
    panel.stopActivity(QStringLiteral("Loading"));
    EXPECT_EQ(panel.activities(), QStringList{QStringLiteral("Saving")});
    EXPECT_EQ(panel.messageTF()->text(), QStringLiteral("Saving"));
    panel.stopActivity(QStringLiteral("Saving"));
    clock.advance(0.3);
    EXPECT_FALSE(isUp());
    clock.advance(0.35);
    EXPECT_TRUE(isUp());
    EXPECT_FALSE(panel.progressIndicator()->isAnimating());
}

// A start during the slide-out turns the panel round at once; its spinner keeps turning.
TEST_F(ActivityPanel, AStartDuringTheSlideOutComesBackDown)
{
    panel.startActivity(QStringLiteral("Saving"));
    clock.advance(1);
    panel.stopActivity(QStringLiteral("Saving"));
    clock.advance(0.3);
    bool ran = false;
    panel.startActivity(QStringLiteral("Autosaving"), [&] { ran = true; });
    clock.advance(0.7);
    EXPECT_TRUE(ran);
    EXPECT_TRUE(isDown());
    EXPECT_TRUE(panel.progressIndicator()->isAnimating());
}

TEST(ActivityPanelWithoutWindow, RunsTheBlockLaterAndRecordsNothing)
{
    pf::SteppedClock clock;
    OVActivityPanel panel;
    bool ran = false;
    panel.startActivity(QStringLiteral("Saving"), [&] { ran = true; });
    EXPECT_FALSE(ran);
    clock.advance(0);
    EXPECT_TRUE(ran);
    EXPECT_TRUE(panel.activities().isEmpty());
}

} // namespace
