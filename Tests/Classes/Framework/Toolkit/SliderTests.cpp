#include "Classes/Framework/Toolkit/OVSlider.h"
#include "Platform/Foundation/Log.h"

#include <QMouseEvent>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>

namespace {

OVSlider* slider(double min, double max, int curve)
{
    auto* s = new OVSlider;
    s->resize(200, 19);
    s->setMinValue(min);
    s->setMaxValue(max);
    s->setSliderCurve(curve);
    return s;
}

TEST(OVSlider, CurvesReportTheirValueAtTheKnob)
{
    const double e15 = (std::exp(1.5) - 1) / (std::exp(3.0) - 1);
    const struct
    {
        int curve;
        double min, max, knob, value;
    } cases[] = {
        {1, 0, 100, 0.5, 25}, {3, 0, 100, 0.5, 100 * e15}, {3, -20, 20, 0.5, -20 + 40 * e15},
        {4, 10, 30, 0, 10},   {4, 10, 30, 0.5, 20},        {4, 10, 30, 1, 30},
        {2, 0, 8, 0.5, 1},    {5, 0, 4, 0.25, 2},          {0, 0, 4, 0.25, 1},
        {99, 0, 4, 0.25, 1}, // unknown curves are linear
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "curve " << c.curve << " knob " << c.knob);
        std::unique_ptr<OVSlider> s(slider(c.min, c.max, c.curve));
        s->setLinearValue(c.min + (c.max - c.min) * c.knob);
        EXPECT_NEAR(s->doubleValue(), c.value, 1e-12);
        s->setDoubleValue(c.value);
        EXPECT_NEAR(s->knobPosition(), c.knob, 1e-12);
    }
    EXPECT_NEAR(e15, 0.1824, 1e-4);
}

TEST(OVSlider, EveryCurveRoundTripsValueKnobValue)
{
    for (int curve = 0; curve <= 5; ++curve)
        for (const double k : {3.0, -2.0, 1e-9, 40.0, 800.0}) {
            std::unique_ptr<OVSlider> s(slider(-50, 150, curve));
            s->setExpFactor(k);
            for (int i = 0; i <= 100; ++i) {
                const double value = -50 + 2.0 * i;
                s->setDoubleValue(value);
                EXPECT_NEAR(s->doubleValue(), value, 1e-12 * 200)
                    << "curve " << curve << " k " << k << " value " << value;
            }
        }
}

TEST(OVSlider, CurveAndFactorChangesKeepKnobOrValue)
{
    std::unique_ptr<OVSlider> s(slider(0, 100, 3));
    s->setDoubleValue(30);
    const double knob = s->knobPosition();
    s->setExpFactor(6);
    EXPECT_NEAR(s->doubleValue(), 30, 1e-9) << "a new factor keeps the value";
    EXPECT_GT(s->knobPosition(), knob) << "and moves the knob";

    const double kept = s->knobPosition();
    s->setSliderCurve(1);
    EXPECT_DOUBLE_EQ(s->knobPosition(), kept) << "a new curve keeps the knob";
    EXPECT_NEAR(s->doubleValue(), 100 * kept * kept, 1e-9) << "and changes the value";
}

TEST(OVSlider, DegenerateRangesFactorsAndValuesGiveNumbers)
{
    const struct
    {
        const char* name;
        double min, max, k, set, value, knob;
    } cases[] = {
        {"empty range reports min, knob at 0", 5, 5, 3, 7, 5, 0},
        {"k = 0 is linear", 0, 10, 0, 4, 4, 0.4},
        {"a value below the range sits at the left end", 0, 10, 3, -5, 0, 0},
        {"a value above the range sits at the right end", 0, 10, 3, 25, 10, 1},
        {"no number sits at the left end", 0, 10, 3, std::nan(""), 0, 0},
        // Ends that are no finite number are refused: the range stays 0 to 1 from construction.
        {"a minimum of no number is refused", std::nan(""), 10, 0, 4, 4, 0.4},
        {"an infinite maximum is refused", 0, HUGE_VAL, 0, 0.5, 0.5, 0.5},
        {"an infinite minimum is refused", -HUGE_VAL, 10, 0, 4, 4, 0.4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<OVSlider> s(slider(c.min, c.max, 3));
        s->setExpFactor(c.k);
        s->setDoubleValue(c.set);
        EXPECT_FALSE(std::isnan(s->doubleValue()));
        EXPECT_NEAR(s->doubleValue(), c.value, 1e-12);
        EXPECT_NEAR(s->knobPosition(), c.knob, 1e-12);
    }
    // Ends so far apart that the range's width is no finite number (-1e308 to 1e308) are refused: the
    // knob would stick at the left end.
    {
        std::unique_ptr<OVSlider> wide(slider(0, 10, 0));
        wide->setMinValue(-1e308);
        pf::LogCapture log;
        wide->setMaxValue(1e308);
        EXPECT_EQ(wide->maxValue(), 10);
        EXPECT_TRUE(log.contains(QStringLiteral("its width must be finite")));
        wide->setDoubleValue(-5e307);
        EXPECT_NEAR(wide->knobPosition(), 0.5, 1e-9);
    }
    // A stored value outside the range reports the nearer end, never beyond.
    std::unique_ptr<OVSlider> s(slider(0, 10, 1));
    s->setLinearValue(-3);
    EXPECT_EQ(s->doubleValue(), 0);
}

TEST(OVSlider, DraggingSetsTheLinearValueAndSendsTheAction)
{
    std::unique_ptr<OVSlider> s(slider(0, 100, 1));
    int actions = 0;
    s->setAction([&](OVSlider*) { ++actions; });
    s->setDoubleValue(64);
    EXPECT_EQ(actions, 0) << "setting a value is not a user's move";
    const QPoint middle(100, 9);
    QTest::mousePress(s.get(), Qt::LeftButton, {}, middle);
    QTest::mouseRelease(s.get(), Qt::LeftButton, {}, middle);
    EXPECT_EQ(actions, 1);
    EXPECT_NEAR(s->knobPosition(), 0.5, 0.01);
    EXPECT_NEAR(s->doubleValue(), 25, 1);
    EXPECT_NEAR(s->knobCenter().x(), 100, 1);
}

} // namespace
