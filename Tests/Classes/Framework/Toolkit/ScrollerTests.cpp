#include "Classes/Framework/Toolkit/OVScroller.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {

// At most 9 points thick and never thinner than 6 points less than the bar, centred across it.
TEST(OVScroller, TheLightKnobIsSlimAndCentred)
{
    const struct
    {
        double thickness, knob, inset;
    } cases[] = {{15, 9, 3}, {20, 14, 3}, {8, 8, 0}, {12, 9, 1.5}};
    for (const auto& c : cases) {
        const QRectF vertical = OVScroller::slimKnob(QRectF(0, 40, c.thickness, 100), false);
        EXPECT_EQ(vertical, QRectF(c.inset, 40, c.knob, 100)) << c.thickness;
        const QRectF horizontal = OVScroller::slimKnob(QRectF(40, 0, 100, c.thickness), true);
        EXPECT_EQ(horizontal, QRectF(40, c.inset, 100, c.knob)) << c.thickness;
    }
}

// The value and the knob's share map onto the bar: without arrows the knob runs along all of it.
TEST(OVScroller, ValueAndProportionPlaceTheKnob)
{
    OVScroller scroller(Qt::Vertical);
    scroller.resize(15, 200);
    scroller.setKnobProportion(0.25);
    scroller.setDoubleValue(1.0);
    EXPECT_DOUBLE_EQ(scroller.doubleValue(), 1.0);
    EXPECT_EQ(scroller.knobRect(), QRectF(0, 150, 15, 50));
    scroller.setDoubleValue(0.5);
    EXPECT_EQ(scroller.knobRect(), QRectF(0, 75, 15, 50));
    scroller.setKnobProportion(0.5); // keeps the value
    EXPECT_NEAR(scroller.doubleValue(), 0.5, 1e-6);
}

// Mended: a scroll view sets the range in points itself; a light knob then showed, small and at the top,
// over content that fits. It now shows only with something to scroll, as long as the part shown.
TEST(OVScroller, ARangeInPointsSizesTheLightKnobAndNothingToScrollShowsNone)
{
    const struct
    {
        int hidden, shown;
        double knobLength; // 0: no knob drawn
    } cases[] = {{0, 500, 0}, {500, 500, 100}, {1500, 500, 50}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hidden);
        OVScroller scroller(Qt::Vertical);
        scroller.resize(15, 200);
        scroller.setKnobStyle(OVScroller::KnobStyle::Light);
        scroller.setRange(0, c.hidden);
        scroller.setPageStep(c.shown);
        scroller.setValue(0);
        QImage image(scroller.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        scroller.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        int drawn = 0;
        for (int y = 0; y < image.height(); ++y)
            drawn += image.pixelColor(7, y).alpha() > 0;
        EXPECT_NEAR(drawn, c.knobLength, 1.5);
    }
}

// Away from the knob, a light scroller without arrows leaves its area untouched; with arrows the slot
// is drawn behind the knob.
TEST(OVScroller, TheSlotIsDrawnOnlyBehindArrows)
{
    for (const auto arrows : {OVScroller::ArrowsPosition::None, OVScroller::ArrowsPosition::Default}) {
        OVScroller scroller(Qt::Vertical);
        scroller.resize(15, 200);
        scroller.setKnobStyle(OVScroller::KnobStyle::Light);
        scroller.setArrowsPosition(arrows);
        scroller.setKnobProportion(0.2);
        scroller.setDoubleValue(0);
        QImage image(scroller.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        scroller.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        const bool slot = image.pixelColor(7, 150).alpha() > 0;
        EXPECT_EQ(slot, arrows == OVScroller::ArrowsPosition::Default);
        EXPECT_GT(image.pixelColor(7, 20).alpha(), 0); // the knob
        if (arrows == OVScroller::ArrowsPosition::None) {
            EXPECT_EQ(image.pixelColor(1, 20).alpha(), 0); // beside the slim knob
        }
    }
}

} // namespace
