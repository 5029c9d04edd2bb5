#include "ArtworkTestSupport.h"
#include "LibraryTestSupport.h"

#include "Classes/Filters/FrameworkFilterSupport.h"
#include "Classes/Filters/OVArtisticExtend.h"
#include "Classes/Filters/OVBlurCompositionFilter.h"
#include "Classes/Filters/OVGaussianBlurFilter.h"
#include "Classes/Filters/OVReflectionFilter.h"
#include "Classes/Filters/OVSimpleShadowFilter.h"
#include "Classes/Filters/OVWatermarkFilter.h"
#include "Platform/Image/Gradient.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace pf;
using namespace librarytest;
using namespace filtertest;

namespace {

QVariant var(const Image& image)
{
    return QVariant::fromValue(image);
}

FilterPtr made(const QString& name, const QVariantMap& inputs)
{
    FilterPtr filter = Filter::create(name);
    filter->setDefaults();
    for (auto it = inputs.begin(); it != inputs.end(); ++it)
        filter->setValue(*it, it.key());
    return filter;
}

struct Layer : Framed
{
    Rect rect;
    explicit Layer(const Rect& r) : rect(r) {}
    Rect frame() const override { return rect; }
};

} // namespace

TEST(OVReflectionFilter, MirroredRowsBelowAGap)
{
    const Grid picture = randomGrid(30, 20, 11);
    const Image placed = picture.image().imageByApplyingTransform(AffineTransform::translation(0, 10));
    FilterPtr defaults = made("OVReflectionFilter", {{"inputImage", var(Grid(400, 300).image())}});
    EXPECT_EQ(output(defaults).extent(), Rect(0, -150, 400, 450));

    // Height 0.5 of 20 rows: a band of 10 rows below a gap of 4 (distance 0.5 x 8 pixels).
    FilterPtr f = made("OVReflectionFilter", {{"inputImage", var(placed)},
                                              {"inputDistance", 0.5},
                                              {"inputProportion", 8.0},
                                              {"inputIntensity", 0.8}});
    const Image out = output(f);
    EXPECT_EQ(out.extent(), Rect(0, -4, 30, 34));
    const Pixels p = render(out, out.extent());
    float worst = 0;
    for (int x = 0; x < 30; ++x) {
        for (int y = 0; y < 20; ++y) // the picture itself
            for (int c = 0; c < 4; ++c)
                worst = std::max(worst, std::abs(p.at(x, 10 + y)[size_t(c)] - picture.at(x, y)[size_t(c)]));
        for (int y = 6; y < 10; ++y) // the gap
            worst = std::max(worst, p.at(x, y)[3]);
        for (int k = 0; k < 10; ++k) // band row k below the gap mirrors picture row k from the bottom
            for (int c = 0; c < 4; ++c) {
                const float expected = picture.at(x, k)[size_t(c)] * 0.8f * (1 - (k + 0.5f) / 10);
                worst = std::max(worst, std::abs(p.at(x, 5 - k)[size_t(c)] - expected));
            }
    }
    EXPECT_LT(worst, 2e-6);
}

TEST(OVReflectionFilter, RegionOfInterest)
{
    // Bottom edge at 100, gap 4 (mirror line 98): above, below and across the edge; mirrored regions
    // grown by a row each way for reads between pixel centres.
    EXPECT_EQ(OVReflectionFilter::regionOfInterest(Rect(0, 100, 50, 20), 100, 4), Rect(0, 100, 50, 20));
    EXPECT_EQ(OVReflectionFilter::regionOfInterest(Rect(0, 60, 50, 20), 100, 4), Rect(0, 116 - 1, 50, 22));
    EXPECT_EQ(OVReflectionFilter::regionOfInterest(Rect(0, 80, 50, 30), 100, 4),
              Rect(0, 100 - 1, 50, 16 + 2));
    // The gap in use when the output was made, whatever the input says later.
    const Image image = Grid(10, 10).image();
    FilterPtr f = made("OVReflectionFilter",
                       {{"inputImage", var(image)}, {"inputDistance", 1.0}, {"inputProportion", 4.0}});
    const Image out = output(f);
    f->setValue(100.0, "inputProportion");
    EXPECT_EQ(regionOf(out, 0, Rect(0, -8, 10, 2)), Rect(0, 2 - 1, 10, 4));
}

TEST(OVSimpleShadowFilter, ReachAndOffsets)
{
    const Image square = Grid(20, 20, {1, 0, 0, 1}).image();
    // The blurred silhouette reaches 3 x 5 pixels beyond the picture before it is moved.
    struct Case
    {
        double direction;
        Point offset;
    };
    for (const Case c : {Case{0, {0, 2}}, Case{90, {2, 0}}, Case{135, {std::sqrt(2.0), -std::sqrt(2.0)}}}) {
        const Point d = OVSimpleShadowFilter::offset(2, c.direction);
        EXPECT_NEAR(d.x, c.offset.x, 1e-12) << c.direction;
        EXPECT_NEAR(d.y, c.offset.y, 1e-12) << c.direction;
        const Image out = output(
            made("OVSimpleShadowFilter", {{"inputImage", var(square)}, {"inputDirection", c.direction}}));
        EXPECT_EQ(out.extent(), Rect(-15, -15, 50, 50).offsetBy(d.x, d.y)) << c.direction;
    }
    // Straight up by 10: the shadow shows above the picture, nothing below it; the picture on top.
    const Image up =
        output(made("OVSimpleShadowFilter",
                    {{"inputImage", var(square)}, {"inputDirection", 0.0}, {"inputDistance", 10.0}}));
    const Pixels p = render(up, Rect(-20, -20, 60, 60));
    EXPECT_GT(p.at(10, 22)[3], 0.5f);
    EXPECT_LT(p.at(10, -3)[3], 0.01f);
    EXPECT_EQ(p.at(10, 10), (std::array<float, 4>{1, 0, 0, 1}));
    EXPECT_NEAR(p.at(10, 24)[0], 0.0f, 1e-6); // the shadow colour is black
}

TEST(OVBlurCompositionFilter, RectangleFromTheLayerOrTheImage)
{
    const Grid background = randomGrid(200, 100, 12);
    const Image image = Grid(200, 100).image(); // transparent: the background shows through
    FilterPtr f =
        made("OVBlurCompositionFilter", {{"inputImage", var(image)},
                                         {"inputBackgroundImage", var(background.image())},
                                         {"inputMargin", QVariant::fromValue(Vector(10, 20, 30, 40))}});
    auto composition = std::dynamic_pointer_cast<OVBlurCompositionFilter>(f);
    EXPECT_EQ(composition->compositionRect(), Rect(10, 20, 160, 40));
    {
        auto layer = std::make_shared<Layer>(Rect(50, 10, 100, 80));
        f->setValue(QVariant::fromValue(FramedPtr(layer)), "inputLayer");
        EXPECT_EQ(composition->compositionRect(), Rect(60, 30, 60, 20));
        const Image out = output(f);
        EXPECT_EQ(out.extent(), Rect(0, 0, 200, 100));
        const Grid g = Grid::rendered(out, 200, 100);
        EXPECT_EQ(g.at(5, 5), background.at(5, 5));     // outside: the plain background
        EXPECT_NE(g.at(90, 40), background.at(90, 40)); // inside: blurred
    }
    // Released elsewhere: the image's extent again.
    EXPECT_EQ(composition->compositionRect(), Rect(10, 20, 160, 40));
    EXPECT_TRUE(output(made("OVBlurCompositionFilter", {{"inputImage", var(image)}})).isNull());
}

TEST(OVWatermarkFilter, PlacementTable)
{
    OVWatermarkFilter::Placement p;
    p.minSize = 100;
    p.maxSize = 300;
    p.minRect = Rect(5, 6, 100, 0); // height from the aspect ratio: 200 x 50 gives 25
    p.maxRect = Rect(25, 26, 300, 60);
    struct Case
    {
        Size background;
        unsigned gravity;
        Rect expected;
    };
    const Case cases[] = {
        {{100, 100}, 0, {0, 37.5, 100, 25}},               // at the minimum size, centred
        {{50, 50}, 8 | 4, {5, 6, 100, 25}},                // below it: the minimum, left and bottom
        {{300, 300}, 8 | 2, {25, 300 - 60 - 26, 300, 60}}, // at the maximum, top left
        {{400, 400}, 16 | 4, {400 - 300 - 25, 26, 300, 60}},
        {{200, 200}, 24, {15, 78.75, 200, 42.5}}, // halfway; left wins over right, centred vertically
    };
    for (const Case& c : cases) {
        p.gravity = c.gravity;
        const auto r = OVWatermarkFilter::watermarkRect(c.background, Size(200, 50), p);
        ASSERT_TRUE(r);
        EXPECT_EQ(*r, c.expected) << c.background.width;
    }
    // Equal sizes divide by one, not zero; a watermark without size has no aspect ratio.
    p.maxSize = p.minSize;
    EXPECT_TRUE(OVWatermarkFilter::watermarkRect(Size(500, 500), Size(200, 50), p));
    EXPECT_FALSE(OVWatermarkFilter::watermarkRect(Size(500, 500), Size(0, 50), p));
}

TEST(OVWatermarkFilter, StampsAndDropsItsCacheWhenThePlacementChanges)
{
    QImage mark(20, 10, QImage::Format_ARGB32);
    mark.fill(QColor(255, 255, 255));
    const Image background =
        Grid(100, 80, {0, 0, 0, 1}).image().imageByApplyingTransform(AffineTransform::translation(7, 3));
    auto f = std::make_shared<OVWatermarkFilter>();
    f->setValue(var(background), "inputBackgroundImage");
    EXPECT_EQ(f->outputImage(), background); // no watermark: the background as it is
    f->setValue(mark, "watermark");
    f->setAdjustment(Rect(4, 2, 20, 10), Size(1000, 1000), Rect(4, 2, 20, 10), Size(10, 10));
    f->setValue(8 | 4, "gravity");
    Image out = f->outputImage();
    EXPECT_EQ(out.extent(), background.extent());
    // Left and bottom margins from the background's own origin.
    Pixels p = render(out, background.extent());
    EXPECT_EQ(p.at(7 + 4, 3 + 2)[0], 1.0f);
    EXPECT_EQ(p.at(7 + 3, 3 + 2)[0], 0.0f);
    EXPECT_EQ(p.at(7 + 23, 3 + 11)[0], 1.0f);
    EXPECT_EQ(p.at(7 + 24, 3 + 11)[0], 0.0f);
    // Top right now: the cached watermark must not stay where it was.
    f->setValue(16 | 2, "gravity");
    p = render(f->outputImage(), background.extent());
    EXPECT_EQ(p.at(7 + 4, 3 + 2)[0], 0.0f);
    EXPECT_EQ(p.at(7 + 100 - 5, 3 + 80 - 3)[0], 1.0f);
    f->setValue(QVariant::fromValue(Rect(0, 0, 0, 0)), "minRect");
    f->setValue(QVariant::fromValue(Rect(0, 0, 0, 0)), "maxRect");
    EXPECT_FALSE(f->value("cachedImage").isValid()); // no size: nothing to stamp
    EXPECT_EQ(f->outputImage(), background);
}

TEST(OVArtisticExtend, LayoutAndInputs)
{
    struct Case
    {
        Size canvas, photo;
        OVArtisticExtend::Layout expected;
    };
    const Case cases[] = {
        {{1000, 1000}, {600, 400}, {1, 200, 300, 4, Rect(196, 296, 608, 408), 10, 20, 50, 15, 100}},
        {{200, 200}, {100, 50}, {0.5, 50, 75, 2, Rect(48, 73, 104, 54), 5, 10, 25, 7.5, 50}},
        {{6000, 4000},
         {4000, 2667},
         {std::sqrt(24.0), 1000, 666.5, 20, Rect(980, 646.5, 4040, 2707), 49, 20 * std::sqrt(24.0), 245,
          15 * std::sqrt(24.0), 490}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(OVArtisticExtend::layout(c.canvas, c.photo), c.expected) << c.canvas.width;
    EXPECT_FALSE(OVArtisticExtend::layout(Size(100, 100), Size(0, 50)));

    // Origins a pixel or more away are moved to (0, 0), and stay moved in the inputs; (0.4, 0.4) stays.
    const Image canvas = randomGrid(64, 48, 13).image();
    const Image photo = randomGrid(32, 16, 14).image();
    FilterPtr f = made(
        "OVArtisticExtend",
        {{"inputBackgroundImage", var(canvas.imageByApplyingTransform(AffineTransform::translation(1, 0)))},
         {"inputImage", var(photo.imageByApplyingTransform(AffineTransform::translation(0.4, 0.4)))}});
    EXPECT_EQ(output(f).extent(), Rect(0, 0, 64, 48));
    EXPECT_EQ(f->value("inputBackgroundImage").value<Image>().extent(), Rect(0, 0, 64, 48));
    EXPECT_EQ(f->value("inputImage").value<Image>().extent().origin, Point(0.4, 0.4));
    // The photograph sits in the middle, on top.
    f->setValue(var(photo), "inputImage");
    const Image centred = output(f).imageByApplyingTransform(AffineTransform::translation(-16, -16));
    EXPECT_LT(difference(Grid::rendered(centred, 32, 16), Grid::rendered(photo, 32, 16)), 1e-6);
    f->setValue(var(Image::emptyImage()), "inputImage");
    EXPECT_TRUE(output(f).isNull());
    f->setValue(QVariant(), "inputImage");
    EXPECT_TRUE(output(f).isNull());
}

// The filter blurs on a coarse grid and composes in one pass; the same recipe at full size, of the
// engine's own filters, must look the same. A portrait, not noise: blurred noise would be flat.
TEST(OVArtisticExtend, LooksLikeTheFullSizeRecipe)
{
    using FrameworkFilterSupport::builtin;
    const Image portrait = Image::fromFile(QStringLiteral(GLIMORA_TESTDATA_DIR "/portrait-512.png"));
    ASSERT_FALSE(portrait.isNull());
    const Rect B(0, 0, 1200, 800), I(0, 0, 600, 400);
    auto resized = [&](const Rect& r, bool mirrored) {
        AffineTransform t = AffineTransform::scale(r.width() / 512, r.height() / 512);
        if (mirrored)
            t = AffineTransform::scale(-1, 1)
                    .concatenated(AffineTransform::translation(512, 0))
                    .concatenated(t);
        return portrait.imageByApplyingTransform(t).imageByCroppingToRect(r);
    };
    // Bitmaps in memory, which the filter reduces on the CPU, and the same pixels as recipes, which it
    // reduces in passes.
    auto inMemory = [](const Image& image) {
        return Image::fromBitmap(*context().render(image, image.extent(), Bitmap::Format::RGBA8));
    };
    auto asRecipe = [](const Image& image) {
        return image.imageByCompositingOverImage(
            Image::constantColor(Color(0, 0, 0, 0)).imageByCroppingToRect(image.extent()));
    };
    const Image canvas = inMemory(resized(B, false)), photo = inMemory(resized(I, true));
    const OVArtisticExtend::Layout l = *OVArtisticExtend::layout(B.size, I.size);
    auto blurred = [&](const Image& image, double sigma) {
        return builtin("CIGaussianBlur", {{"inputImage", var(image)}, {"inputRadius", sigma}});
    };
    auto clamped = [&](const Image& image, const AffineTransform& t) {
        return builtin("CIAffineClamp",
                       {{"inputImage", var(image)}, {"inputTransform", QVariant::fromValue(t)}});
    };
    auto over = [&](const Image& top, const Image& bottom) {
        return builtin("CISourceOverCompositing",
                       {{"inputImage", var(top)}, {"inputBackgroundImage", var(bottom)}});
    };
    for (const bool turned : {false, true}) {
        const AffineTransform turn =
            turned ? AffineTransform().translated(B.width(), B.height()).rotated(M_PI) : AffineTransform();
        Image backdrop = blurred(clamped(canvas, turn), l.canvasBlur);
        if (turned)
            backdrop =
                builtin("CIMotionBlur",
                        {{"inputImage", var(backdrop)}, {"inputRadius", l.motionBlur}, {"inputAngle", 0.0}});
        const AffineTransform stretch =
            AffineTransform().translated(B.width(), B.height()).scaled(2, 2).rotated(M_PI);
        FilterPtr burn = made("OVAdjustableBlendFilter",
                              {{"inputImage", var(blurred(clamped(photo, stretch), l.photoBlur))},
                               {"inputBackgroundImage", var(backdrop)},
                               {"inputBlendName", "colorBurn"},
                               {"inputIntensity", 0.7}});
        const Image black = Image::constantColor(Color(0, 0, 0, 1)).imageByCroppingToRect(l.frame);
        Image expected = over(blurred(black, l.shadowBlur), output(burn).imageByCroppingToRect(B));
        expected = over(blurred(clamped(canvas, turn), l.frameBlur).imageByCroppingToRect(l.frame), expected);
        expected = over(photo.imageByApplyingTransform(AffineTransform::translation(l.dx, l.dy)), expected);

        const Grid want = Grid::rendered(expected, 1200, 800);
        for (const bool bitmaps : {false, true}) {
            FilterPtr f =
                made("OVArtisticExtend", {{"inputImage", var(bitmaps ? photo : asRecipe(photo))},
                                          {"inputBackgroundImage", var(bitmaps ? canvas : asRecipe(canvas))},
                                          {"rotate", turned},
                                          {"motionBlur", turned}});
            EXPECT_LT(difference(Grid::rendered(output(f), 1200, 800), want), 2.0 / 255) << turned << bitmaps;
        }
    }
}

TEST(OVGaussianBlurFilter, StaysInBounds)
{
    const Image square = Grid(100, 100, {1, 1, 1, 1}).image();
    FilterPtr f = made("OVGaussianBlurFilter", {{"inputImage", var(square)}});
    auto blur = std::dynamic_pointer_cast<OVGaussianBlurFilter>(f);
    EXPECT_EQ(blur->radius(), 10.0); // unset: the inner blur's default
    EXPECT_EQ(output(f).extent(), Rect(-30, -30, 160, 160));
    f->setValue(2.5, "inputRadius");
    f->setValue(true, "forceInside");
    Image out = output(f);
    EXPECT_EQ(out.extent(), Rect(0, 0, 100, 100));
    EXPECT_NEAR(render(out, Rect(0, 0, 100, 100)).at(0, 0)[0], 1.0f, 1e-6); // the edge blurs against itself
    f->setValue(QVariant(), "inputRadius");
    EXPECT_EQ(blur->radius(), 10.0);
    // A result counted as unbounded is cut to the image grown by exactly three radii.
    f->setValue(false, "forceInside");
    f->setValue(2.5, "inputRadius");
    f->setValue(var(Image::constantColor(Color(1, 1, 1, 1)).imageByCroppingToRect(Rect(0, 0, 60000, 50000))),
                "inputImage");
    EXPECT_EQ(output(f).extent(), Rect(-7.5, -7.5, 60015, 50015));
    f->setValue(var(Image::constantColor(Color(1, 1, 1, 1))), "inputImage");
    EXPECT_TRUE(output(f).extent().isInfinite());
    EXPECT_EQ(f->attributes().value(FilterAttribute::FilterName).toString(), "CIGaussianBlur");
}

TEST(FrameworkFilters, TiledEqualsUntiled)
{
    artworktest::ArtworkBundle artwork;
    const Image photo =
        randomGrid(90, 70, 21, false).image().imageByApplyingTransform(AffineTransform::translation(3, 40));
    const Image canvas = randomGrid(150, 120, 22).image();
    struct Case
    {
        const char* name;
        QVariantMap inputs;
    };
    const Case cases[] = {
        {"OVReflectionFilter",
         {{"inputImage", var(photo)}, {"inputDistance", 0.3}, {"inputProportion", 10.0}}},
        {"OVGradientMapFilter",
         {{"inputImage", var(photo)}, {"inputColor", QVariant::fromValue(Color(0.2, 0.5, 0.9, 1))}}},
        {"OVImageOverlayFilter",
         {{"inputImage", var(randomGrid(23, 17, 23).image())},
          {"inputBackgroundImage", var(canvas)},
          {"inputRotation", 30.0}}},
        {"OVArtisticExtend",
         {{"inputImage", var(randomGrid(60, 40, 24).image())},
          {"inputBackgroundImage", var(canvas)},
          {"rotate", true},
          {"motionBlur", true}}},
        {"OVSimpleShadowFilter", {{"inputImage", var(photo)}, {"inputRadius", 4.0}, {"inputDistance", 5.0}}},
        {"OVBlurCompositionFilter",
         {{"inputImage", var(photo)}, {"inputBackgroundImage", var(canvas)}, {"inputRadius", 6.0}}},
        {"OVPictureFrameFilter", {{"inputImage", var(photo)}, {"inputFrameName", "ORV-F#001#Thin"}}},
        {"OVMaskImageFilter", {{"inputImage", var(photo)}, {"inputMaskName", "ORV-M#001#Oval"}}},
    };
    for (const Case& c : cases) {
        const Image out = output(made(c.name, c.inputs));
        ASSERT_FALSE(out.isNull()) << c.name;
        const Rect area = out.extent().intersected(Rect(-60, -60, 300, 300)).integral();
        EXPECT_LT(tiledDifference(out, area), 1e-5) << c.name;
    }
}
