#include "LibraryTestSupport.h"

#include "Classes/Filters/GMSegmentMaskFilter.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Image/Vector.h"

#include <gtest/gtest.h>

using namespace pf;
using namespace filtertest;
using namespace librarytest;

namespace {

const char* const SegmentFilters[] = {"GMAutoBrushFilter", "GMAutoBrushHairFilter", "GMAutoBrushSkinFilter",
                                      "GMAutoBrushWhiteEyeFilter", "GMAutoPseudoSegmentationFilter"};

FilterPtr segment(const char* name, const Vector& a, const Vector& b, double size)
{
    FilterPtr filter = Filter::create(name);
    EXPECT_TRUE(filter) << name;
    filter->setDefaults();
    filter->setValue(QVariant::fromValue(a), "inputPoint1");
    filter->setValue(QVariant::fromValue(b), "inputPoint2");
    filter->setValue(size, "inputSize");
    return filter;
}

// Every image input a segment filter reads, set to `image`.
void feed(const FilterPtr& filter, const Image& image)
{
    for (const char* key : {"inputImage", "inputOriginalImage", "inputEdgeImage", "inputBlurredImage"}) {
        if (filter->inputKeys().contains(key))
            setImage(filter, image, key);
    }
}

const Image& portrait()
{
    static const Image image = Image::fromFile(GLIMORA_TESTDATA_DIR "/portrait-512.png");
    return image;
}

// Edges of the portrait as effects feed them to the smart filters: Canny magnitudes of a lightly
// blurred copy, so that skin pores and single hairs are not edges.
const Image& portraitEdges()
{
    static const Image image = [] {
        FilterPtr blur = Filter::create("CIGaussianBlur");
        blur->setValue(1.5, "inputRadius");
        setImage(blur, portrait());
        FilterPtr canny = Filter::create("GMCannyEdgeDetectFilter");
        canny->setDefaults();
        canny->setValue(0.3, "inputEdgeThreshold");
        setImage(canny, output(blur));
        return Image::fromBitmap(
            *context().render(output(canny), Rect(0, 0, 512, 512), Bitmap::Format::RGBAf));
    }();
    return image;
}

const SamplerBinding& samplerArgument(const Image& image, int index)
{
    int seen = 0;
    for (const auto& argument : image.node()->arguments) {
        if (const auto* binding = std::get_if<SamplerBinding>(&argument)) {
            if (seen++ == index)
                return *binding;
        }
    }
    static const SamplerBinding none;
    ADD_FAILURE() << "no sampler " << index;
    return none;
}

} // namespace

TEST(SegmentMaskFilters, OutputLiesOnTheSegmentGrownByTheBrush)
{
    struct Case
    {
        Vector a, b;
        Rect rect, whiteEye;
    };
    const std::vector<Case> cases{
        {Vector(200, 100), Vector(200, 100), Rect(170, 70, 60, 60), Rect(185, 85, 30, 30)},
        {Vector(100, 200), Vector(50, 250), Rect(20, 170, 110, 110), Rect(35, 185, 80, 80)},
    };
    const Image image = randomGrid(300, 300, 2).image();
    for (const Case& c : cases) {
        for (const char* name : SegmentFilters) {
            FilterPtr filter = segment(name, c.a, c.b, 30);
            feed(filter, image);
            const Rect expected = QString(name) == "GMAutoBrushWhiteEyeFilter" ? c.whiteEye : c.rect;
            const Image out = output(filter);
            ASSERT_FALSE(out.isNull()) << name;
            EXPECT_EQ(out.extent(), expected) << name;
            EXPECT_EQ(out.definition().extent(), expected) << name;
            // The first two samplers are asked for the brush's reach around any destination.
            EXPECT_EQ(regionOf(out, 0, Rect(0, 0, 10, 10)), Rect(-30, -30, 70, 70)) << name;
            EXPECT_EQ(regionOf(out, 1, Rect(0, 0, 10, 10)), Rect(-30, -30, 70, 70)) << name;
            EXPECT_EQ(dynamic_cast<GMSegmentMaskFilter&>(*filter).dirtyRectForInput(), expected) << name;
        }
    }
    // No size: the points' bounding box, and a radius of 0 for the kernel.
    FilterPtr unsized = segment("GMAutoBrushFilter", Vector(100, 200), Vector(50, 250), 0);
    unsized->setValue(QVariant(), "inputSize");
    feed(unsized, image);
    EXPECT_EQ(output(unsized).extent(), Rect(50, 200, 50, 50));
    EXPECT_EQ(numberArguments(output(unsized))[4], 0.0f);
}

TEST(SegmentMaskFilters, CircleModeOnlyAtExactlyOne)
{
    const Image image = randomGrid(64, 64, 3).image();
    const std::vector<std::pair<QVariant, QString>> cases{
        {1.0, "autoBrushCircle"}, {0.999, "autoBrush"}, {2.0, "autoBrush"}, {QVariant(), "autoBrush"}};
    for (const auto& [mode, kernel] : cases) {
        FilterPtr filter = segment("GMAutoBrushFilter", Vector(30, 30), Vector(40, 30), 10);
        feed(filter, image);
        filter->setValue(mode, "inputCircleMode");
        const Image out = output(filter);
        EXPECT_EQ(kernelChain(out).value(0), kernel) << mode.toDouble();
        // The circle kernel gets one point, the segment kernel two, then the radius.
        EXPECT_EQ(numberArguments(out)[kernel == "autoBrush" ? 4 : 2], 10.0f);
    }
}

TEST(SegmentMaskFilters, ReferenceMaskIsScaledOntoTheImage)
{
    const Image image = randomGrid(1000, 1000, 4).image();
    const Image reference = randomGrid(500, 400, 5).image();
    for (const char* name :
         {"GMAutoBrushHairFilter", "GMAutoBrushSkinFilter", "GMAutoPseudoSegmentationFilter"}) {
        SCOPED_TRACE(name);
        FilterPtr filter = segment(name, Vector(500, 500), Vector(520, 510), 30);
        feed(filter, image);
        for (const char* key : {"inputReferenceMask", "inputRefEdgeImage", "inputRefImage"}) {
            if (filter->inputKeys().contains(key))
                setImage(filter, reference, key);
        }
        filter->setValue(true, "inputBoolUseRefMask");
        const Image out = output(filter);
        ASSERT_FALSE(out.isNull());
        EXPECT_TRUE(kernelChain(out).value(0).endsWith("RefMask"));
        const AffineTransform scale = AffineTransform::scale(2, 2.5);
        EXPECT_EQ(samplerArgument(out, 2).matrix, scale);
        // A scaled sampler is read at the destination's own pixels: asked for them in its own space.
        EXPECT_EQ(regionOf(out, 2, Rect(0, 0, 10, 10)), Rect(0, 0, 5, 4));
        if (QString(name) == "GMAutoBrushSkinFilter") {
            EXPECT_EQ(samplerArgument(out, 4).matrix, scale);
        }
        if (QString(name) == "GMAutoBrushHairFilter") {
            EXPECT_EQ(samplerArgument(out, 4).matrix, AffineTransform());
            EXPECT_EQ(regionOf(out, 4, Rect(0, 0, 10, 10)), Rect(0, 0, 10, 10));
        }

        // An empty reference mask has no scale: the mask is made without it, and the log says so.
        LogCapture capture;
        setImage(filter, Image::emptyImage(), "inputReferenceMask");
        const Image fallback = output(filter);
        ASSERT_FALSE(fallback.isNull());
        EXPECT_FALSE(kernelChain(fallback).value(0).endsWith("RefMask"));
        EXPECT_TRUE(capture.contains("reference mask"));
    }
}

// Smart segments on the portrait (y up; the face spans (151, 323) to (300, 472), the left eye is at
// (201, 411)): each grows over what lies under its stroke and stops where that ends.
TEST(SegmentMaskFilters, GrowOverWhatLiesUnderTheStrokeOnThePortrait)
{
    struct Probe
    {
        int x, y;
        bool inside;
    };
    struct Case
    {
        const char* filter;
        Vector a, b;
        double size;
        std::vector<Probe> probes;
    };
    const std::vector<Case> cases{
        // A stroke on the left cheek: the cheek, not the wall beside the face nor the eye.
        {"GMAutoBrushSkinFilter",
         Vector(185, 385),
         Vector(195, 372),
         60,
         {{190, 380, true}, {200, 360, true}, {184, 395, true}, {160, 385, false}, {201, 411, false}}},
        {"GMAutoBrushFilter",
         Vector(185, 385),
         Vector(195, 372),
         30,
         {{190, 380, true}, {200, 362, true}, {162, 385, false}}},
        // A stroke across the top of the hair: the hair, not the wall above it.
        {"GMAutoBrushHairFilter",
         Vector(205, 470),
         Vector(250, 470),
         60,
         {{228, 470, true}, {215, 485, true}, {240, 455, true}, {228, 508, false}}},
        {"GMAutoPseudoSegmentationFilter",
         Vector(185, 385),
         Vector(195, 372),
         30,
         {{190, 380, true}, {162, 385, false}}},
    };
    for (const Case& c : cases) {
        FilterPtr filter = segment(c.filter, c.a, c.b, c.size);
        setImage(filter, portrait());
        if (filter->inputKeys().contains("inputOriginalImage"))
            setImage(filter, portrait(), "inputOriginalImage");
        if (filter->inputKeys().contains("inputEdgeImage"))
            setImage(filter, portraitEdges(), "inputEdgeImage");
        if (filter->inputKeys().contains("inputBlurredImage")) {
            FilterPtr blur = Filter::create("CIGaussianBlur");
            blur->setValue(3.0, "inputRadius");
            setImage(blur, portrait());
            setImage(filter, output(blur), "inputBlurredImage");
        }
        const Image mask = output(filter);
        const Rect rect = mask.extent();
        const Pixels pixels = render(mask, rect);
        for (const Probe& p : c.probes) {
            const float v = pixels.at(p.x, p.y)[0];
            if (p.inside)
                EXPECT_GT(v, 0.8f) << c.filter << " at " << p.x << ", " << p.y;
            else
                EXPECT_LT(v, 0.2f) << c.filter << " at " << p.x << ", " << p.y;
        }
    }
}

// Every filter that reads around its pixels renders the same whole and in small tiles: its region of
// interest covers what its kernel reads. One row per class (and per kernel where a class has several).
TEST(MaskFilters, TiledEqualsUntiled)
{
    const Grid photo = randomGrid(80, 60, 11);
    const Image image = photo.image();
    const Image mask = Grid::from(80, 60, [](int x, int y) {
                           const double r = std::hypot(x - 40.0, y - 30.0);
                           const float v = r < 6 ? 0.0f : r < 18 ? 1.0f : r < 24 ? float((24 - r) / 6) : 0.0f;
                           return Pixel{v, v, v, 1};
                       }).image();
    const Image edges = Grid::from(80, 60, [](int x, int y) {
                            const float v = (x == 47 || y == 21) ? 1.0f : 0.0f;
                            return Pixel{v, v, v, 1};
                        }).image();
    const Image halfReference = randomGrid(40, 30, 12).image();
    struct Case
    {
        const char* filter;
        std::vector<std::pair<const char*, QVariant>> values;
    };
    auto img = [](const Image& i) { return QVariant::fromValue(i); };
    auto vec = [](double x, double y) { return QVariant::fromValue(Vector(x, y)); };
    const QVariant p1 = vec(30, 25), p2 = vec(52, 38);
    using Values = std::vector<std::pair<const char*, QVariant>>;
    auto with = [](Values values, const Values& more) {
        values.insert(values.end(), more.begin(), more.end());
        return values;
    };
    const Values smart{{"inputImage", img(image)}, {"inputEdgeImage", img(edges)},
                       {"inputPoint1", p1},        {"inputPoint2", p2},
                       {"inputSize", 28.0},        {"inputToleranceHigh", 0.5}};
    const Values reference{{"inputBoolUseRefMask", true}, {"inputReferenceMask", img(halfReference)}};
    const std::vector<Case> cases{
        {"GMAutoBrushFilter",
         {{"inputImage", img(image)},
          {"inputOriginalImage", img(image)},
          {"inputPoint1", p1},
          {"inputPoint2", p2},
          {"inputSize", 14.0},
          {"inputTolerance", 0.3}}},
        {"GMAutoBrushFilter",
         {{"inputImage", img(image)},
          {"inputOriginalImage", img(image)},
          {"inputPoint1", p1},
          {"inputSize", 14.0},
          {"inputTolerance", 0.3},
          {"inputCircleMode", 1.0}}},
        {"GMAutoBrushHairFilter", smart},
        {"GMAutoBrushSkinFilter", smart},
        {"GMAutoBrushSkinFilter", with(with(smart, reference), {{"inputRefEdgeImage", img(halfReference)},
                                                                {"inputRefImage", img(halfReference)}})},
        {"GMAutoBrushWhiteEyeFilter", smart},
        {"GMAutoPseudoSegmentationFilter", with({{"inputImage", img(image)},
                                                 {"inputBlurredImage", img(mask)},
                                                 {"inputPoint1", p1},
                                                 {"inputPoint2", p2},
                                                 {"inputSize", 14.0},
                                                 {"inputTolerance", 0.3}},
                                                reference)},
        {"GMColorMaskDilateCircleFilter", {{"inputImage", img(mask)}}},
        {"GMColorMaskDilateMaxFilter", {{"inputImage", img(mask)}}},
        {"GMColorMaskErodeCircleFilter", {{"inputImage", img(mask)}}},
        {"GMColorMaskErodeMinFilter", {{"inputImage", img(mask)}}},
        {"GMColorMaskFillHolesFilter", {{"inputImage", img(mask)}}},
        {"GMDilateCircleFilter", {{"inputImage", img(image)}}},
        {"GMFillHoles22Filter", {{"inputImage", img(mask)}}},
        {"GMFillHolesBigFilter", {{"inputImage", img(mask)}}},
        {"GMMaskFillHolesAdjustableFilter", {{"inputImage", img(mask)}, {"inputMode", 3.0}}},
        {"GMColorMaskBorderCutFilter", {{"inputImage", img(mask)}, {"inputImageEdges", img(edges)}}},
        {"GMColorAtPointFilter", {{"inputImage", img(image)}, {"inputPoint", vec(0.7, 0.6)}}},
        {"GMFillFromBorderFilter", {{"inputImage", img(image)}, {"inputMask", img(mask)}}},
        {"GMFillSkinFilter", {{"inputImage", img(image)}, {"inputMask", img(mask)}}},
        {"OVGradientSmoother", {{"inputImage", img(image)}, {"inputGradient", img(edges)}}},
        {"OVSmoother", {{"inputImage", img(image)}}},
        {"OVImproveSolution", {{"inputImage", img(image)}, {"inputMask", img(mask)}, {"inputMode", 0.0}}},
        {"OVImproveSolution", {{"inputImage", img(image)}, {"inputMask", img(mask)}, {"inputMode", 1.0}}},
        {"OVImproveSolution",
         {{"inputImage", img(image)},
          {"inputMask", img(mask)},
          {"inputResiduum", img(image)},
          {"inputMode", 2.0}}},
    };
    for (const Case& c : cases) {
        FilterPtr filter = Filter::create(c.filter);
        ASSERT_TRUE(filter) << c.filter;
        filter->setDefaults();
        for (const auto& [key, value] : c.values)
            filter->setValue(value, key);
        const Image out = output(filter);
        ASSERT_FALSE(out.isNull()) << c.filter;
        const Rect area = out.extent().intersected(Rect(0, 0, 80, 60));
        EXPECT_LT(tiledDifference(out, area), 1e-5f) << c.filter;
        // Something was drawn: a blank output would pass trivially.
        float sum = 0;
        const Pixels pixels = render(out, area);
        for (int y = int(area.minY()); y < int(area.maxY()); ++y)
            for (int x = int(area.minX()); x < int(area.maxX()); ++x)
                sum += std::abs(pixels.at(x, y)[0]);
        EXPECT_GT(sum, 1.0f) << c.filter;
    }
}
