#include "Classes/Framework/Toolkit/OVCIImageLayer.h"
#include "Classes/Framework/Toolkit/OVFadeoutMaskLayer.h"
#include "Classes/Framework/Toolkit/OVSelectionRectLayer.h"
#include "Classes/Framework/Toolkit/OVVignetteLayer.h"

#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UI/LayerRenderer.h"
#include "Platform/UI/SteppedClock.h"
#include "Platform/UI/Transaction.h"

#include <QPainter>
#include <cmath>
#include <gtest/gtest.h>

using pf::Point;
using pf::Rect;

namespace {

// The pixel under a y-up point of a layer rendered at one pixel per point.
QColor pixelAt(const QImage& image, Point yUp)
{
    return image.pixelColor(int(yUp.x), image.height() - 1 - int(yUp.y));
}

QImage render(pf::Layer& layer)
{
    return pf::LayerRenderer::renderToImage(layer, 1, false);
}

// The vignette's alpha, worked out from its definition: the elliptical radius e in units of half the
// larger side; clear before the start, 0 -> 0.05 over the first tenth of the ramp, 0.05 -> 1 over the rest,
// full beyond the end.
double vignetteAlpha(double e, double start, double end)
{
    if (e < start)
        return 0;
    const double t = (e - start) / (end - start);
    if (t >= 1)
        return 1;
    return t < 0.1 ? 0.05 * t / 0.1 : 0.05 + 0.95 * (t - 0.1) / 0.9;
}

TEST(DrawingLayers, VignetteDarkensAlongEllipsesOfTheLayersProportions)
{
    struct Case
    {
        double start, end;
        double fx, fy; // the pixel's offset from the centre in half-axes
    };
    const Case cases[] = {
        {0.95, 3.0, 0, 0},       {0.95, 3.0, 0.94, 0}, {0.95, 3.0, 0, 0.94},
        {0.95, 3.0, 0.99, 0.99}, {0.0, 1.0, 0.5, 0},   {0.0, 1.0, 0, 0.5},
        {0.0, 1.0, 0.05, 0.0},   {0.0, 1.0, 0.7, 0.7}, {0.0, 0.5, 0.99, 0.99}, // beyond the end
    };
    const double w = 200, h = 100;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.start << ".." << c.end << " at " << c.fx << ", " << c.fy);
        auto layer = OVVignetteLayer::create(Qt::black, c.start, c.end);
        {
            const pf::Transaction::Scope atOnce(true);
            layer->setBounds(Rect(0, 0, w, h));
        }
        const QImage image = render(*layer);
        // The centre of the pixel nearest the wanted offset.
        const double px = std::floor(w / 2 + c.fx * w / 2 - 0.5) + 0.5;
        const double py = std::floor(h / 2 + c.fy * h / 2 - 0.5) + 0.5;
        const double e = std::hypot((px - w / 2) / (w / 2), (py - h / 2) / (h / 2));
        EXPECT_NEAR(pixelAt(image, Point(px, py)).alpha(), 255 * vignetteAlpha(e, c.start, c.end), 3);
    }
}

TEST(DrawingLayers, FadeoutMaskRampsUpFromTheBottomAndDownToTheTopAndRedrawsWhenChanged)
{
    auto mask = OVFadeoutMaskLayer::create();
    {
        const pf::Transaction::Scope atOnce(true);
        mask->setBounds(Rect(0, 0, 10, 60));
        mask->setTopFadeout(30);
        mask->setBottomFadeout(30);
    }
    // 30 and 30 on 60 points: up to full at the middle, down at once; no opaque band.
    const struct
    {
        double y;
        int alpha;
    } ramp[] = {{0.5, 4}, {15.5, 132}, {25.5, 217}, {34.5, 217}, {44.5, 132}, {59.5, 4}};
    QImage image = render(*mask);
    for (const auto& r : ramp)
        EXPECT_NEAR(pixelAt(image, Point(5, r.y)).alpha(), r.alpha, 3) << r.y;

    mask->setTopFadeout(0);
    image = render(*mask);
    EXPECT_EQ(pixelAt(image, Point(5, 0.5)).alpha(), 255);
    EXPECT_NEAR(pixelAt(image, Point(5, 44.5)).alpha(), 132, 3);
}

TEST(DrawingLayers, SelectionFramesDrawEachStyleAtItsInsets)
{
    const QColor black(0, 0, 0), white(255, 255, 255), clear(0, 0, 0, 0);
    struct Case
    {
        int style;
        std::vector<std::pair<double, QColor>> column; // along x at mid height, pixel centres
    };
    const Case cases[] = {
        {1, {{0.5, black}, {1.5, white}, {2.5, black}, {3.5, white}, {4.5, black}, {5.5, clear}}},
        {3, {{0.5, black}, {1.5, white}, {2.5, black}, {3.5, clear}}},
        {7, {{0.5, black}, {1.5, white}, {2.5, black}, {3.5, clear}}},
        {2, {{4.5, white}, {5.5, white}, {20.5, clear}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.style);
        auto layer = OVSelectionRectLayer::create();
        layer->setBounds(Rect(0, 0, 100, 60));
        layer->setSelectionStyle(c.style);
        const QImage image = render(*layer);
        for (const auto& [x, colour] : c.column) {
            const QColor seen = pixelAt(image, Point(x, 30));
            if (colour.alpha() == 0)
                EXPECT_EQ(seen.alpha(), 0) << x;
            else
                EXPECT_EQ(seen.rgba(), colour.rgba()) << x;
        }
    }
    // Style 2 glows blue outside its lines; style 0 shows yellow dashes over black.
    auto glow = OVSelectionRectLayer::create();
    glow->setBounds(Rect(0, 0, 100, 60));
    glow->setSelectionStyle(2);
    const QColor halo = pixelAt(render(*glow), Point(2.5, 30));
    EXPECT_GT(halo.alpha(), 0);
    EXPECT_GT(halo.blue(), halo.red());
    auto dashed = OVSelectionRectLayer::create();
    dashed->setBounds(Rect(0, 0, 100, 60));
    const QImage image = render(*dashed);
    EXPECT_EQ(pixelAt(image, Point(0.5, 30)).rgba(), black.rgba());
    int yellow = 0;
    for (int y = 10; y < 50; ++y)
        yellow += pixelAt(image, Point(5.5, y + 0.5)) == QColor(255, 255, 0);
    EXPECT_GT(yellow, 10);
    EXPECT_LT(yellow, 30);
}

TEST(DrawingLayers, SelectionDashesMarchOnOneTimerUntilTheLayerLeavesTheTree)
{
    pf::SteppedClock clock;
    auto parent = pf::Layer::create();
    auto layer = OVSelectionRectLayer::create();
    parent->addSublayer(layer);
    layer->setAnimate(true);
    layer->setAnimate(true);
    clock.advance(OVSelectionRectLayer::kAnimationInterval);
    EXPECT_DOUBLE_EQ(layer->linePhase(), 1); // one timer, one step
    // The phase runs 1..20 and wraps: after 25 steps it is 5.
    clock.advance(24 * OVSelectionRectLayer::kAnimationInterval + 0.001);
    EXPECT_DOUBLE_EQ(layer->linePhase(), 5);
    layer->removeFromSuperlayer();
    EXPECT_FALSE(layer->animate());
    clock.advance(1);
    EXPECT_DOUBLE_EQ(layer->linePhase(), 5);
}

TEST(DrawingLayers, SubtitleComesAndGoesWithItsTextLayer)
{
    auto layer = OVSelectionRectLayer::create();
    layer->setBounds(Rect(0, 0, 200, 100));
    layer->setSubTitle(QStringLiteral("Mask"));
    const auto first = layer->textLayer();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->superlayer(), layer.get());
    EXPECT_EQ(layer->subTitle(), QStringLiteral("Mask"));
    layer->setSubTitle(QString());
    EXPECT_EQ(layer->textLayer(), nullptr);
    EXPECT_EQ(first->superlayer(), nullptr);
    layer->setSubTitle(QStringLiteral("Again"));
    EXPECT_NE(layer->textLayer(), first);
}

TEST(DrawingLayers, ImageLayerScalesToItsWidthTimesEachDrawingAndSkipsImagesWithoutWidth)
{
    int posted = 0;
    auto layer = OVCIImageLayer::create();
    const pf::ObserverToken token = pf::NotificationCenter::defaultCenter().addObserver(
        OVCIImageLayer::kDidDrawNotification, layer.get(), [&](const pf::Notification&) { ++posted; });
    const pf::Transaction::Scope atOnce(true);
    layer->setBounds(Rect(0, 0, 200, 150));
    layer->setBaseDuration(0.25);

    layer->setImage(QImage(0, 40, QImage::Format_ARGB32));
    EXPECT_EQ(render(*layer).pixelColor(100, 100).alpha(), 0);
    EXPECT_EQ(posted, 0);

    QImage image(100, 50, QImage::Format_ARGB32);
    QPainter painter(&image);
    painter.fillRect(0, 0, 50, 50, Qt::red);
    painter.fillRect(50, 0, 50, 50, Qt::blue);
    painter.end();
    layer->setImage(image);
    const QImage shown = render(*layer);
    EXPECT_EQ(pixelAt(shown, Point(50, 50)), QColor(Qt::red)); // twice the size, from the lower left
    EXPECT_EQ(pixelAt(shown, Point(150, 50)), QColor(Qt::blue));
    EXPECT_EQ(pixelAt(shown, Point(50, 120)).alpha(), 0);
    EXPECT_EQ(posted, 1);
    EXPECT_GE(layer->lastRenderDuration(), 0.25);
    EXPECT_EQ(layer->imageSize(), pf::Size(100, 50));
}

} // namespace
