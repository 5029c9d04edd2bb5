#include "RenderingTestSupport.h"

#include "Classes/Rendering/OVDrawLayerHandler.h"
#include "Platform/Image/Color.h"

#include <QImage>
#include <algorithm>

using namespace renderingtest;
using pf::Point;
using pf::Rect;

namespace {

// The coverage a hard round brush of radius r gives a pixel centre at distance d from the stroke's
// centre line: full inside, fading over the last pixel, in steps of the 8-bit canvas.
double hardBrushCoverage(double d, double r)
{
    const double t = std::clamp((d - (r - 1)) / 1.0, 0.0, 1.0);
    return std::floor((1 - t * t * (3 - 2 * t)) * 255 + 0.5) / 255;
}

double distanceToSegment(double x, double y, double x0, double x1, double y0)
{
    const double cx = std::clamp(x, x0, x1);
    return std::hypot(x - cx, y - y0);
}

int channelDifference(QRgb a, const double b[3])
{
    return std::max({std::abs(qRed(a) - int(std::lround(b[0] * 255))),
                     std::abs(qGreen(a) - int(std::lround(b[1] * 255))),
                     std::abs(qBlue(a) - int(std::lround(b[2] * 255)))});
}

} // namespace

// A stroke painted on the portrait through the renderer, the brush handler, the mask store and the
// chain: the stored mask, the live picture and the composed picture against the brush's geometry and
// the tint's formula worked out here.
TEST(LivePipeline, AStrokeOnThePortraitIsStoredShownAndComposedAsPainted)
{
    pf::SteppedClock clock;
    QImage portrait(QStringLiteral(GLIMORA_TESTDATA_DIR "/portrait-512.png"));
    ASSERT_FALSE(portrait.isNull());
    portrait = portrait.convertToFormat(QImage::Format_ARGB32);
    auto chain = std::make_shared<PhotoToolChain>(pf::Image::fromQImage(portrait));
    chain->insertPhotoToolWithBlueprint(chaintest::tint(), std::nullopt, 1);
    chain->setSettingsForToolAtIndex({{QStringLiteral("intensity"), 0.0}}, 1); // the full tint where painted
    chain->setSelectionIndex(1);
    FakeWindow window;
    chain->setDelegate(&window);
    auto renderer = std::make_unique<GMRealTimeRenderer>(chain);
    renderer->setDelegate(&window);
    window.renderer = renderer.get();
    auto layer = pf::Layer::create();
    layer->setFrame(Rect(0, 0, 384, 384));
    renderer->setLayerForRenderChannel(layer, QStringLiteral("standard"));
    // The middle of the photo at one photo pixel per layer pixel: layer (x, y) is photo (x + 64, y + 64).
    renderer->activateChannel(QStringLiteral("standard"), Rect(0.125, 0.125, 0.75, 0.75));
    settle(renderer.get());
    ASSERT_FALSE(layer->contents().isNull());

    OVBrush brush;
    brush.size = 30;
    brush.pressure = 1;
    GMZoomRenderer& zoom = *renderer->zoomRendererForChannel(QStringLiteral("standard"));
    renderer->brushDownAtPoint(brush, Point(0.25, 0.5), QStringLiteral("standard"));
    layer->displayIfNeeded();
    for (double x : {0.5, 0.75}) {
        renderer->processPoint(Point(x, 0.5));
        layer->displayIfNeeded();
        // Each step draws its own part of the layer, never all of it.
        EXPECT_GT(zoom.lastLiveArea(), 0);
        EXPECT_LE(zoom.lastLiveArea(), 256.0 * 256.0);
    }
    renderer->brushUpAtPoint(Point(0.75, 0.5));
    ASSERT_EQ(window.strokes.size(), 1u);
    const QImage live = layer->contents().convertToFormat(QImage::Format_ARGB32);

    const double orange[3] = {1, 0.5, 0};
    auto coverage = [](int lx, int ly) {
        return hardBrushCoverage(distanceToSegment(lx + 0.5, ly + 0.5, 96, 288, 192), 15);
    };
    auto expected = [&](int lx, int ly, double out[3]) {
        const QRgb p = portrait.pixel(lx + 64, 511 - (ly + 64));
        const double m = coverage(lx, ly);
        const double photo[3] = {qRed(p) / 255.0, qGreen(p) / 255.0, qBlue(p) / 255.0};
        for (int i = 0; i < 3; ++i)
            out[i] = photo[i] * (1 - m) + orange[i] * m;
    };

    // The stored mask, at the photo's size: the stroke where it was painted, nothing elsewhere.
    OVBrushPathImage::waitForPendingWrites();
    const pf::Image mask = chain->brushPathImageAtIndex(1)->contentContainer()->imageContainer()->image();
    static pf::RenderContext context(QStringLiteral("pipeline test"));
    const auto stored = context.render(mask, Rect(0, 0, 512, 512), pf::Bitmap::Format::RGBAf);
    ASSERT_TRUE(stored);
    double worstMask = 0;
    for (int py = 0; py < 512; ++py)
        for (int px = 0; px < 512; ++px) {
            float rgba[4];
            stored->pixel(px, 511 - py, rgba);
            const bool inside = px >= 64 && px < 448 && py >= 64 && py < 448;
            const double want = inside ? coverage(px - 64, py - 64) : 0;
            worstMask = std::max(worstMask, std::abs(rgba[1] - want));
        }
    EXPECT_LE(worstMask, 1.5 / 255);

    // What the channel showed while painting, then the stack composed anew from the stored mask.
    renderer->updateActiveChannels();
    settle(renderer.get());
    const QImage composed = layer->contents().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(composed.size(), QSize(384, 384));
    int worstLive = 0, worstComposed = 0;
    for (int ly = 0; ly < 384; ++ly)
        for (int lx = 0; lx < 384; ++lx) {
            double want[3];
            expected(lx, ly, want);
            worstLive = std::max(worstLive, channelDifference(live.pixel(lx, 383 - ly), want));
            worstComposed = std::max(worstComposed, channelDifference(composed.pixel(lx, 383 - ly), want));
        }
    EXPECT_LE(worstLive, 3);
    EXPECT_LE(worstComposed, 3);

    window.renderer = nullptr;
    renderer.reset();
    settle(nullptr);
    chain->setDelegate(nullptr);
}

TEST(OVDrawLayerHandler, DrawsTheNewestImageOnceStretchedOverTheLayerThenLetsGo)
{
    auto layer = pf::Layer::create();
    layer->setFrame(Rect(0, 0, 200, 200));
    // 100 x 50: red on the left half, blue on the right.
    const pf::Image image =
        pf::Image::constantColor(pf::Color(1, 0, 0))
            .imageByCroppingToRect(Rect(0, 0, 50, 50))
            .imageByCompositingOverImage(
                pf::Image::constantColor(pf::Color(0, 0, 1)).imageByCroppingToRect(Rect(0, 0, 100, 50)));
    int first = 0, second = 0;
    std::weak_ptr<OVDrawLayerHandler> weak;
    {
        auto handler = std::make_shared<OVDrawLayerHandler>();
        weak = handler;
        handler->draw([&] { return ++first, image; }, layer);
        handler->draw([&] { return ++second, image; }, layer);
    }
    ASSERT_FALSE(weak.expired()) << "a pending drawing keeps its handler";
    layer->displayIfNeeded();
    EXPECT_TRUE(weak.expired());
    EXPECT_EQ(layer->delegate(), nullptr);
    layer->setNeedsDisplay();
    layer->displayIfNeeded();
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 1);

    const QImage drawn = layer->contents();
    ASSERT_EQ(drawn.size(), QSize(200, 200));
    for (const QPoint p : {QPoint(2, 2), QPoint(97, 197)})
        EXPECT_EQ(drawn.pixelColor(p), QColor(Qt::red)) << p.x() << "," << p.y();
    for (const QPoint p : {QPoint(103, 2), QPoint(197, 197)})
        EXPECT_EQ(drawn.pixelColor(p), QColor(Qt::blue)) << p.x() << "," << p.y();
}
