#include "Classes/Frames/OV3DRenderer.h"
#include "Platform/Foundation/Log.h"
#include "SceneTestSupport.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

using namespace pf;
using namespace scenetest;

namespace {

constexpr int W = 64;
constexpr int H = 48;

const Rgb White{1, 1, 1};
const Rgb Red{0.9, 0.2, 0.1};
const Rgb Green{0.1, 0.7, 0.2};
const Rgb Blue{0.1, 0.2, 0.9};
const Rgb Ground{0.4, 0.4, 0.4};

// What the renderer gives for a colour: encoded to linear light in an 8-bit texture, drawn, read back
// in 8 bits and encoded to sRGB again.
Rgb throughTexture(const Rgb& c)
{
    return {toSRGB(quantised(toLinear(c[0]))), toSRGB(quantised(toLinear(c[1]))),
            toSRGB(quantised(toLinear(c[2])))};
}

// A premultiplied colour c with alpha a over an opaque one, blended in linear light as the renderer does.
Rgb over(const Rgb& c, double a, const Rgb& behind)
{
    Rgb out;
    const double alpha = quantised(a);
    for (size_t i = 0; i < 3; ++i) {
        const double source = quantised(toLinear(c[i]) * a);
        const double destination = quantised(toLinear(behind[i]));
        out[i] = toSRGB(quantised(source + destination * (1 - alpha)));
    }
    return out;
}

Pixels render(OV3DRenderer& renderer, const Image& background, bool isPreview = false)
{
    return rendered(renderer.imageWithSize(Size(W, H), background, isPreview), W, H);
}

// Three sprites over a grey ground: a red one at the image plane whose outer 8 texels have alpha 0.5,
// a green one behind it covering its right edge, and a blue one in front covering its top edge.
void addFeatheredScene(OV3DRenderer& renderer)
{
    const Image feathered = picture(32, 32, [](int x, int y) {
        const bool edge = x < 8 || x >= 24 || y < 8 || y >= 24;
        return std::array<double, 4>{Red[0], Red[1], Red[2], edge ? 0.5 : 1.0};
    });
    renderer.setDepthFactor(3);
    renderer.addSprite(
        sprite(solid(8, 8, Blue),
               {{"location.y", 0.5}, {"location.z", 0.3}, {"size.width", 2.0}, {"size.height", 0.25}}));
    renderer.addSprite(sprite(feathered, {{"size.width", 1.0}, {"size.height", 1.0}}));
    renderer.addSprite(
        sprite(solid(8, 8, Green),
               {{"location.x", 0.75}, {"location.z", -0.5}, {"size.width", 1.0}, {"size.height", 2.0}}));
}

} // namespace

TEST(OV3DRenderer, AFullSizeSpriteAtTheImagePlaneCoversTheOutputAtAnyDepth)
{
    for (double depth : {1.0, 3.0}) {
        SCOPED_TRACE(depth);
        OV3DRenderer renderer;
        renderer.setDepthFactor(depth);
        renderer.addSprite(sprite(solid(W, H, Red), {{"size.width", 2.0}, {"size.height", 2.0 * H / W}}));
        const Pixels pixels = render(renderer, Image());
        ASSERT_FALSE(pixels.isNull());
        double worst = 0;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                worst = std::max(worst, difference(pixels.at(x, y), throughTexture(Red)));
        EXPECT_LE(worst, 1);
    }
}

TEST(OV3DRenderer, OpaquePartsHideAndTranslucentPartsBlendInLinearLight)
{
    OV3DRenderer renderer;
    addFeatheredScene(renderer);
    const Pixels pixels = render(renderer, solid(W, H, Ground));
    ASSERT_FALSE(pixels.isNull());
    // Probes worked out from the sprites' places: the red sprite covers 16..48 x 8..40, its soft edge
    // the outer 8 pixels; the green one (farther) x > 39; the blue one (nearer) 37 < y < 46.
    struct Probe
    {
        const char* what;
        int x, y;
        Rgb expected;
    };
    const Probe probes[] = {
        {"ground", 4, 4, throughTexture(Ground)},
        {"opaque middle", 32, 24, throughTexture(Red)},
        {"soft edge over the ground", 20, 24, over(Red, 0.5, Ground)},
        {"soft edge over the farther sprite", 44, 24, over(Red, 0.5, Green)},
        {"the farther sprite beside it", 60, 24, throughTexture(Green)},
        {"soft edge under the nearer opaque sprite", 32, 38, throughTexture(Blue)},
    };
    for (const Probe& probe : probes)
        EXPECT_LE(difference(pixels.at(probe.x, probe.y), probe.expected), 2) << probe.what;
    // Sprites added in another order give the same picture: depth decides, not order.
    OV3DRenderer reversed;
    reversed.setDepthFactor(3);
    for (auto it = renderer.spriteDescriptions().rbegin(); it != renderer.spriteDescriptions().rend(); ++it)
        reversed.addSprite(*it);
    const Pixels again = render(reversed, solid(W, H, Ground));
    for (const Probe& probe : probes)
        EXPECT_LE(difference(again.at(probe.x, probe.y), probe.expected), 2) << probe.what << " (reversed)";
}

TEST(OV3DRenderer, InOnePlaneLaterSpritesLieOverEarlierOnes)
{
    // The feathered red sprite (16..48 x 16..48, soft outer 8 pixels) between two opaque ones in its
    // plane: a blue one added before it under its right edge, a green one added after it over its left.
    // All sit 8 pixels above the middle, so that nothing is symmetric about it.
    OV3DRenderer renderer;
    renderer.setDepthFactor(3);
    renderer.addSprite(
        sprite(solid(8, 8, Blue),
               {{"location.x", 0.625}, {"location.y", 0.25}, {"size.width", 0.5}, {"size.height", 0.5}}));
    renderer.addSprite(
        sprite(picture(32, 32,
                       [](int x, int y) {
                           const bool edge = x < 8 || x >= 24 || y < 8 || y >= 24;
                           return std::array<double, 4>{Red[0], Red[1], Red[2], edge ? 0.5 : 1.0};
                       }),
               {{"location.y", 0.25}, {"size.width", 1.0}, {"size.height", 1.0}}));
    renderer.addSprite(
        sprite(solid(8, 8, Green),
               {{"location.x", -0.625}, {"location.y", 0.25}, {"size.width", 0.5}, {"size.height", 0.5}}));
    const Pixels pixels = render(renderer, solid(W, H, Ground));
    ASSERT_FALSE(pixels.isNull());
    EXPECT_LE(difference(pixels.at(45, 32), over(Red, 0.5, Blue)), 2) << "soft edge over the earlier sprite";
    EXPECT_LE(difference(pixels.at(17, 32), throughTexture(Green)), 2)
        << "the later sprite over the soft edge";
    EXPECT_LE(difference(pixels.at(32, 18), over(Red, 0.5, Ground)), 2) << "the lower soft edge";
    EXPECT_LE(difference(pixels.at(32, 44), over(Red, 0.5, Ground)), 2) << "the upper soft edge";
}

TEST(OV3DRenderer, WhiteWhereNothingIsDrawnAndFlatGreyComesBack)
{
    OV3DRenderer renderer;
    renderer.setDepthFactor(2);
    renderer.addSprite(sprite(solid(8, 8, Red), {{"size.width", 0.25}, {"size.height", 0.25}}));
    Pixels pixels = render(renderer, Image());
    ASSERT_FALSE(pixels.isNull());
    EXPECT_EQ(pixels.at(0, 0), (std::array<int, 4>{255, 255, 255, 255}));
    EXPECT_EQ(pixels.at(W - 1, H - 1), (std::array<int, 4>{255, 255, 255, 255}));
    EXPECT_LE(difference(pixels.at(32, 24), throughTexture(Red)), 1);

    // A background of the output's size fills it; a flat grey of 0.5 survives both conversions.
    OV3DRenderer empty;
    empty.setDepthFactor(5);
    pixels = render(empty, solid(W, H, {0.5, 0.5, 0.5}));
    ASSERT_FALSE(pixels.isNull());
    double worst = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            worst = std::max(worst, difference(pixels.at(x, y), {0.5, 0.5, 0.5}));
    EXPECT_LE(worst, 1);
}

TEST(OV3DRenderer, RotationsTurnAboutZThenYThenX)
{
    // Worked out by hand. Row vectors, each rotation concatenated onto the one before it, so the
    // rectangle turns about Z first, then about Y, then about X. rx = ry = 90: the sprite's x axis
    // (1, 0, 0) goes by Y to (0, 0, -1) and by X to (0, 1, 0); its y axis (0, 1, 0) stays under Y and
    // goes by X to (0, 0, 1), towards the eye.
    const OVTransform3D m = OV3DRenderer::spriteRotation(90, 90, 0);
    EXPECT_EQ(OVTransform3DApplyToVector(m, 1, 0), OVVector3Make(0, 1, 0));
    EXPECT_EQ(OVTransform3DApplyToVector(m, 0, 1), OVVector3Make(0, 0, 1));
    // rz = 90, ry = 90: x goes by Z to (0, 1, 0), which Y keeps; y goes by Z to (-1, 0, 0), by Y to
    // (0, 0, 1).
    const OVTransform3D n = OV3DRenderer::spriteRotation(0, 90, 90);
    EXPECT_EQ(OVTransform3DApplyToVector(n, 1, 0), OVVector3Make(0, 1, 0));
    EXPECT_EQ(OVTransform3DApplyToVector(n, 0, 1), OVVector3Make(0, 0, 1));

    // The corners: a 2 x 1 half-width sprite (f = 10: 20 x 10) at (0.5, 0, 0.25), anchored at its
    // right edge's middle, turned a quarter about Z. The anchor sits at (5 + 10, 0, 2.5 - 30); the
    // corners relative to it, (-20, -5), (-20, 5), (0, 5), (0, -5), turn to (5, -20), (-5, -20),
    // (-5, 0), (5, 0).
    const QVariantMap s{{"location.x", 0.5},  {"location.z", 0.25},   {"size.width", 2.0},
                        {"size.height", 1.0}, {"anchorPoint.x", 1.0}, {"rotation.z", 90.0}};
    const std::array<OVVector3, 4> corners = OV3DRenderer::spriteCorners(s, 10, 3);
    const OVVector3 expected[4] = {{20, -20, -27.5}, {10, -20, -27.5}, {10, 0, -27.5}, {20, 0, -27.5}};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_NEAR(corners[i].x, expected[i].x, 1e-12) << i;
        EXPECT_NEAR(corners[i].y, expected[i].y, 1e-12) << i;
        EXPECT_NEAR(corners[i].z, expected[i].z, 1e-12) << i;
    }
}

TEST(OV3DRenderer, RendersTurnedAndStretchedSpritesWhereTheyBelong)
{
    // A 32 x 16 sprite turned a quarter about Z and then 60 degrees about Y stands tall and narrow
    // (about 8 x 32 pixels); turned the other way round it would be a square of about 16.
    {
        OV3DRenderer renderer;
        renderer.setDepthFactor(3);
        renderer.addSprite(
            sprite(solid(32, 16, Red),
                   {{"size.width", 1.0}, {"size.height", 0.5}, {"rotation.z", 90.0}, {"rotation.y", 60.0}}));
        const Pixels pixels = render(renderer, Image());
        ASSERT_FALSE(pixels.isNull());
        EXPECT_LE(difference(pixels.at(32, 36), throughTexture(Red)), 1);
        EXPECT_LE(difference(pixels.at(32, 12), throughTexture(Red)), 1);
        EXPECT_EQ(difference(pixels.at(38, 24), White), 0);
        EXPECT_EQ(difference(pixels.at(26, 24), White), 0);
    }
    // Edge on, a quarter turn about Y leaves a line at most.
    {
        OV3DRenderer renderer;
        renderer.setDepthFactor(3);
        renderer.addSprite(
            sprite(solid(32, 32, Red), {{"size.width", 1.0}, {"size.height", 1.0}, {"rotation.y", 90.0}}));
        const Pixels pixels = render(renderer, Image());
        ASSERT_FALSE(pixels.isNull());
        int coloured = 0;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                if (x != 31 && x != 32 && difference(pixels.at(x, y), White) != 0)
                    ++coloured;
        EXPECT_EQ(coloured, 0);
    }
    // An image twice the rectangle's size is shown whole, upright: its four quarters in their corners.
    {
        const Rgb yellow{0.9, 0.8, 0.1};
        const Image quarters = picture(64, 64, [&](int x, int y) {
            const Rgb& c = y >= 32 ? (x < 32 ? Red : Green) : (x < 32 ? Blue : yellow);
            return std::array<double, 4>{c[0], c[1], c[2], 1};
        });
        OV3DRenderer renderer;
        renderer.setDepthFactor(3);
        renderer.addSprite(sprite(quarters, {{"size.width", 1.0}, {"size.height", 1.0}}));
        const Pixels pixels = render(renderer, Image());
        ASSERT_FALSE(pixels.isNull());
        EXPECT_LE(difference(pixels.at(22, 34), throughTexture(Red)), 1);
        EXPECT_LE(difference(pixels.at(42, 34), throughTexture(Green)), 1);
        EXPECT_LE(difference(pixels.at(22, 14), throughTexture(Blue)), 1);
        EXPECT_LE(difference(pixels.at(42, 14), throughTexture(yellow)), 1);
    }
}

TEST(OV3DRenderer, FailuresGiveNoPictureAndSaySo)
{
    struct Case
    {
        double depth;
        Size size;
        const char* forced;
        const char* line;
    };
    const Case cases[] = {
        {0, Size(W, H), "", "Warning: depthFactor must be positive"},
        {-2, Size(W, H), "", "Warning: depthFactor must be positive"},
        {std::nan(""), Size(W, H), "", "Warning: depthFactor must be positive"},
        {INFINITY, Size(W, H), "", "Warning: depthFactor must be positive"},
        {3, Size(0, H), "", "Warning: Unable to allocate buffer for image extraction."},
        {3, Size(W, -5), "", "Warning: Unable to allocate buffer for image extraction."},
        {3, Size(0.5, 0.5), "", "Warning: Unable to allocate buffer for image extraction."},
        {3, Size(std::nan(""), H), "", "Warning: Unable to allocate buffer for image extraction."},
        // Beyond what any driver's render buffers take.
        {3, Size(100000, 1), "", "Warning: Unable to allocate buffer for image extraction."},
        {3, Size(W, H), "context", "Error: Could not Create OpenGL Context"},
        {3, Size(W, H), "color framebuffer",
         "Warning: Problem with OpenGL framebuffer after specifying color render buffer."},
        {3, Size(W, H), "depth framebuffer",
         "Warning: Problem with OpenGL framebuffer after specifying depth render buffer."},
        {3, Size(W, H), "creating depth render buffer", "Error: creating depth render buffer"},
        {3, Size(W, H), "specifying stencil render buffer", "Error: specifying stencil render buffer"},
        {3, Size(W, H), "setting up view/model matrices", "Error: setting up view/model matrices"},
        {3, Size(W, H), "clearing color and depth buffer", "Error: clearing color and depth buffer"},
        {3, Size(W, H), "rendering scene", "Error: rendering scene"},
        {3, Size(W, H), "reading pixels from framebuffer", "Error: reading pixels from framebuffer"},
        {3, Size(W, H), "read buffer", "Warning: Unable to allocate buffer for image extraction."},
        {3, Size(W, H), "flipped buffer", "Warning: Unable to allocate flipped buffer for corrected image."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        SCOPED_TRACE(c.forced);
        OV3DRenderer renderer;
        renderer.setDepthFactor(c.depth);
        renderer.addSprite(sprite(solid(8, 8, Red), {{"size.width", 0.5}, {"size.height", 0.5}}));
        SceneRasterizer::setForcedFailureForTesting(QString::fromLatin1(c.forced));
        LogCapture log;
        const Image image = renderer.imageWithSize(c.size, solid(W, H, Ground), true);
        SceneRasterizer::setForcedFailureForTesting({});
        EXPECT_TRUE(image.isNull());
        EXPECT_EQ(log.lines(), QStringList{QString::fromLatin1(c.line)});
    }
    // Sprites without an image or without a finite extent are left out; the render goes on.
    OV3DRenderer renderer;
    renderer.setDepthFactor(3);
    renderer.addSprite({{"size.width", 2.0}, {"size.height", 2.0}});
    renderer.addSprite(
        sprite(Image::constantColor(Color(1, 0, 0, 1)), {{"size.width", 2.0}, {"size.height", 2.0}}));
    LogCapture log;
    const Pixels pixels = render(renderer, solid(W, H, Ground));
    ASSERT_FALSE(pixels.isNull());
    EXPECT_LE(difference(pixels.at(32, 24), throughTexture(Ground)), 1);
    EXPECT_TRUE(log.lines().isEmpty()) << log.lines().join('\n').toStdString();
}

#if defined(__SANITIZE_THREAD__)
// The checker's allocator (GCC installs its runtime without the interface headers).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

// What the process holds, in kilobytes. Under the thread checker its resident size keeps growing by the
// checker's own bookkeeping: it intercepts every dlopen, which the software rasterizer's shader compiler
// makes on each render, and keeps about a megabyte per call. There the checker's allocator tells what the
// program itself holds; a context, render buffer or texture left behind is held there like any other.
long heldKilobytes()
{
#if defined(__SANITIZE_THREAD__)
    return static_cast<long>(__sanitizer_get_current_allocated_bytes() / 1024);
#else
    FILE* file = std::fopen("/proc/self/statm", "r");
    long pages = 0, resident = 0;
    if (file) {
        if (std::fscanf(file, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(file);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
#endif
}

} // namespace

TEST(OV3DRenderer, FailingRendersLeaveNothingBehind)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "freed memory stays in the address sanitizer's quarantine; its leak check covers this";
#endif
    OV3DRenderer renderer;
    renderer.setDepthFactor(3);
    renderer.addSprite(sprite(solid(16, 16, Red), {{"size.width", 0.5}, {"size.height", 0.5}}));
    const Image ground = solid(W, H, Ground);
    SceneRasterizer::setForcedFailureForTesting(QStringLiteral("rendering scene"));
    LogCapture log;
    auto fail = [&](int times) {
        int failed = 0;
        for (int i = 0; i < times; ++i)
            failed += renderer.imageWithSize(Size(256, 256), ground, i % 2 == 0).isNull();
        return failed;
    };
    EXPECT_EQ(fail(50), 50);
    const long before = heldKilobytes();
    EXPECT_EQ(fail(1000), 1000);
    const long after = heldKilobytes();
    SceneRasterizer::setForcedFailureForTesting({});
    EXPECT_EQ(log.lines().size(), 1050);
    EXPECT_EQ(log.lines().last(), QStringLiteral("Error: rendering scene"));
    // Each render holds a context, two 256 x 256 render buffers and textures: a leak of any of them
    // would add hundreds of megabytes over the loop.
    EXPECT_LT(after - before, 16 * 1024) << before << " kB before, " << after << " kB after";
}

TEST(OV3DRenderer, DevicesAndThreadsAgree)
{
    auto scene = [] {
        auto renderer = std::make_unique<OV3DRenderer>();
        addFeatheredScene(*renderer);
        return renderer;
    };
    const Image ground = solid(W, H, Ground);
    auto finalRenderer = scene();
    const Pixels software = render(*finalRenderer, ground, false);
    auto previewRenderer = scene();
    const Pixels preview = render(*previewRenderer, ground, true);
    ASSERT_FALSE(software.isNull());
    ASSERT_FALSE(preview.isNull());

    // One render on a worker thread while another runs on this one.
    Pixels fromWorker, fromMain;
    std::thread worker([&] {
        auto renderer = scene();
        fromWorker = render(*renderer, ground, false);
    });
    auto renderer = scene();
    fromMain = render(*renderer, ground, false);
    worker.join();
    ASSERT_FALSE(fromWorker.isNull());
    ASSERT_FALSE(fromMain.isNull());

    int worstPreview = 0, worstThreads = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            for (size_t i = 0; i < 4; ++i) {
                worstPreview = std::max(worstPreview, std::abs(software.at(x, y)[i] - preview.at(x, y)[i]));
                worstThreads =
                    std::max(worstThreads, std::abs(software.at(x, y)[i] - fromWorker.at(x, y)[i]));
                worstThreads = std::max(worstThreads, std::abs(software.at(x, y)[i] - fromMain.at(x, y)[i]));
            }
    EXPECT_LE(worstPreview, 2);
    EXPECT_LE(worstThreads, 1);
}
