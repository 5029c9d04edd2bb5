#include "Classes/Framework/Toolkit/OVColorView.h"
#include "ControlsTestSupport.h"

#include <gtest/gtest.h>

namespace {

using pf::PaintColor;
using pf::Point;
using pf::Rect;

QImage picture(OVColorView& view)
{
    return view.snapshot(1).convertToFormat(QImage::Format_ARGB32);
}

TEST(OVColorView, PaintsNothingWithoutColourGradientOrBorder)
{
    OVColorView view(Rect(0, 0, 40, 30));
    view.setCornerRadius(6);
    const QImage image = picture(view);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ASSERT_EQ(qAlpha(image.pixel(x, y)), 0) << x << "," << y;
}

TEST(OVColorView, TheBorderLiesInsideTheBounds)
{
    OVColorView view(Rect(0, 0, 40, 30));
    view.setBorderColorName(QStringLiteral("1 0 0"));
    view.setBorderWidth(4);
    EXPECT_EQ(view.path().boundingRect(), QRectF(2, 2, 36, 26));
    const QImage image = picture(view);
    EXPECT_EQ(image.pixel(0, 15), qRgba(255, 0, 0, 255)) << "the stroke reaches the edge";
    EXPECT_EQ(image.pixel(3, 15), qRgba(255, 0, 0, 255));
    EXPECT_EQ(qAlpha(image.pixel(5, 15)), 0) << "and no further in";
}

TEST(OVColorView, GradientRunsAtItsAngleOverTheColour)
{
    OVColorView view(Rect(0, 0, 40, 40));
    EXPECT_EQ(view.angle(), 270) << "made in code, top to bottom";
    EXPECT_EQ(OVColorView().angle(), 0) << "made without a frame";
    view.setColorName(QStringLiteral("0 1 0"));
    // Red at 0 to transparent blue at 1: the green fill shows through towards the bottom.
    view.setGradientName(QStringLiteral("0 1 0 0 1 1 0 0 1 0"));
    const QImage image = picture(view);
    const QColor top = image.pixelColor(20, 0), bottom = image.pixelColor(20, 39);
    EXPECT_GT(top.red(), 240);
    EXPECT_LT(top.green(), 20);
    EXPECT_LT(bottom.red(), 20);
    EXPECT_GT(bottom.green(), 230);
    view.setAngle(0);
    const QImage across = picture(view);
    EXPECT_GT(across.pixelColor(0, 20).red(), 240);
    EXPECT_GT(across.pixelColor(39, 20).green(), 230);
}

TEST(OVColorView, PatternsTile)
{
    QImage tile(2, 2, QImage::Format_ARGB32);
    tile.fill(Qt::blue);
    tile.setPixel(0, 0, qRgb(255, 0, 0));
    tile.setPixel(1, 1, qRgb(255, 0, 0));
    OVColorView view(Rect(0, 0, 10, 10));
    view.setPattern(tile);
    ASSERT_TRUE(view.color() && view.color()->isPattern());
    const QImage image = picture(view);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            ASSERT_EQ(image.pixel(x, y), image.pixel(x % 2, y % 2)) << x << "," << y;
    EXPECT_NE(image.pixel(0, 0), image.pixel(1, 0));
}

class PressRecorder : public pf::View
{
public:
    using View::View;
    int presses = 0;
    void mouseDown(const pf::Event&) override { ++presses; }
    void mouseDragged(const pf::Event&) override { ++presses; }
    void mouseUp(const pf::Event&) override { ++presses; }
};

TEST(OVColorView, BlockInputKeepsTheMouseFromTheSuperview)
{
    for (const bool block : {false, true}) {
        ControlsWindow w;
        auto* below = new PressRecorder(Rect(0, 0, 200, 200));
        auto* view = new OVColorView(Rect(20, 20, 50, 50));
        below->addSubview(view);
        w.add(below);
        view->setBlockInput(block);
        w.drag(view, Point(10, 10), Point(12, 10));
        EXPECT_EQ(below->presses, block ? 0 : 3) << (block ? "blocked" : "passed on");
    }
}

} // namespace
