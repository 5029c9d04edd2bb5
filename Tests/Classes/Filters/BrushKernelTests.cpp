#include "LibraryTestSupport.h"

#include "Classes/Filters/GMAdjustableBlend.h"
#include "Classes/Filters/GMAutoBrush.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/ImageAccumulator.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

using namespace pf;
using namespace filtertest;
using namespace librarytest;

namespace {

constexpr float Step = 1.0f / 255.0f;

FilterPtr maskTools(const Image& a, int number, const Image& b = Image())
{
    FilterPtr filter = Filter::create("GMBrushMaskTools");
    setImage(filter, a);
    if (!b.isNull())
        setImage(filter, b, "inputBackgroundImage");
    filter->setValue(number, "inputNumber");
    return filter;
}

// A brush filter set up for one step from p1 to p2 over a start canvas.
FilterPtr brushStep(const QString& name, const Image& start, const Image& current, Point p1, Point p2,
                    double size, double smoothness, double pressure)
{
    FilterPtr filter = Filter::create(name);
    setImage(filter, start, "inputCanvasStart");
    if (!current.isNull())
        setImage(filter, current, "inputCanvasCurrent");
    filter->setValue(QVariant::fromValue(Vector(p1.x, p1.y)), "inputPoint1");
    filter->setValue(QVariant::fromValue(Vector(p2.x, p2.y)), "inputPoint2");
    filter->setValue(size, "inputBrushSize");
    filter->setValue(smoothness, "inputBrushSmoothness");
    filter->setValue(pressure, "inputBrushPressure");
    return filter;
}

} // namespace

// The stroke encoding on a grid of start values and pressures, through the 8-bit canvas a stroke is
// painted on: merging the stroke into the mask and compositing the stroke alone onto the start mask give
// the same mask, for draws and erases, and passing a pixel five times never exceeds the pressure.
TEST(StrokeEncoding, IntegrateEqualsExtractOverTheStartMask)
{
    const std::vector<float> starts = {0.0f, 0.2f, 0.5f, 0.8f, 1.0f};
    const Grid start = Grid::from(5, 1, [&](int x, int) {
        return Pixel{starts[x], starts[x], starts[x], 1};
    });
    for (const double pressure : {0.2, 0.6, 1.0}) {
        for (const int mode : {0, 1}) {
            SCOPED_TRACE(QStringLiteral("pressure %1 mode %2").arg(pressure).arg(mode).toStdString());
            ImageAccumulator canvas(Rect(0, 0, 5, 1),
                                    std::shared_ptr<RenderContext>(&context(), [](auto*) {}));
            for (int pass = 0; pass < 5; ++pass) {
                FilterPtr brush = brushStep("GMBasicBrush", start.image(), canvas.image(), Point(0, 0.5),
                                            Point(5, 0.5), 100, 0, pressure);
                brush->setValue(mode, "inputMode");
                ASSERT_TRUE(canvas.setImage(output(brush)));
            }
            const Image painted = canvas.image().imageByCompositingOverImage(start.image());
            const Grid integrated = Grid::rendered(output(maskTools(painted, 1)), 5, 1);
            const Grid extracted = Grid::rendered(output(maskTools(painted, 3)), 5, 1);
            const float c = std::round(float(pressure) * 255) / 255;
            for (int x = 0; x < 5; ++x) {
                const float m = starts[x];
                const Pixel e = extracted.at(x, 0);
                const float over = e[0] + m * (1 - e[3]); // source-over onto the grey start mask
                const float expected = mode == 0 ? m + c * (1 - m) : m * (1 - c);
                EXPECT_NEAR(integrated.at(x, 0)[1], expected, Step) << "m " << m;
                EXPECT_NEAR(integrated.at(x, 0)[0], integrated.at(x, 0)[1], 1e-6);
                EXPECT_NEAR(over, integrated.at(x, 0)[1], Step) << "m " << m;
                EXPECT_NEAR(e[3], c, 1e-5) << "the coverage is exactly the pressure, once";
            }
        }
    }
}

TEST(BrushKernels, ModesNumbersAndNamesChooseTheirKernels)
{
    const Image a = Image::constantColor(Color(0.5, 0.5, 0.5)).imageByCroppingToRect(Rect(0, 0, 20, 10));
    const Image b = Image::constantColor(Color(1, 0, 0)).imageByCroppingToRect(Rect(5, 5, 30, 40));

    const std::vector<std::pair<int, QString>> modes = {
        {0, "brushDraw"}, {1, "brushErase"}, {2, "brushErase"}, {-1, "brushErase"}};
    for (const auto& [mode, kernel] : modes) {
        FilterPtr brush = brushStep("GMBasicBrush", a, Image(), Point(1, 1), Point(2, 2), 4, 0, 1);
        brush->setValue(mode, "inputMode");
        const Image out = output(brush);
        EXPECT_EQ(kernelChain(out).value(0), kernel) << mode;
        EXPECT_EQ(out.extent(), a.extent());
    }

    struct Tool
    {
        int number;
        QString kernel;
        bool fromB;
    };
    const std::vector<Tool> tools = {{0, "filterDifference", false},  {1, "integrateStroke", false},
                                     {2, "hardMaskWithStroke", true}, {3, "extractStroke", false},
                                     {4, "filterOld", true},          {5, "alphaAnalysis", false},
                                     {6, "greenToWhiteMask", true},   {7, "showDifference", false},
                                     {8, "hardMaskWithAlpha", true},  {-1, "hardMaskWithAlpha", true}};
    for (const Tool& tool : tools) {
        const Image out = output(maskTools(a, tool.number, b));
        EXPECT_EQ(kernelChain(out).value(0), tool.kernel) << tool.number;
        EXPECT_EQ(out.extent(), (tool.fromB ? b : a).extent()) << tool.number;
    }

    // Modes other than 0 and 1 run the resource's last kernel in source order.
    const std::vector<std::pair<int, QString>> blends = {
        {0, "multiplyBlend"}, {1, "colorBlend"}, {2, "defaultBlend"}, {-1, "defaultBlend"}};
    for (const auto& [mode, kernel] : blends) {
        FilterPtr blend = Filter::create("GMAdjustableBlend");
        setImage(blend, a);
        setImage(blend, b, "inputBackgroundImage");
        blend->setValue(mode, "inputBlendMode");
        blend->setValue(1.0, "inputIntensity");
        EXPECT_EQ(kernelChain(output(blend)).value(0), kernel) << mode;
    }
}

TEST(GMAdjustableBlend, ExtentIsTheUnionAndStaysInfinite)
{
    FilterPtr blend = Filter::create("GMAdjustableBlend");
    setImage(blend, Image::constantColor(Color(1, 0, 0)).imageByCroppingToRect(Rect(0, 0, 100, 100)));
    setImage(blend, Image::constantColor(Color(0, 0, 1)).imageByCroppingToRect(Rect(80, 80, 50, 50)),
             "inputBackgroundImage");
    blend->setValue(0.5, "inputIntensity");
    EXPECT_EQ(output(blend).extent(), Rect(0, 0, 130, 130));
    setImage(blend, Image::constantColor(Color(0, 0, 1)), "inputBackgroundImage");
    EXPECT_TRUE(output(blend).extent().isInfinite());

    // The blends on straight colours, mixed by the intensity.
    struct Case
    {
        int mode;
        double intensity;
        Pixel expected;
    };
    const Pixel top{0.5f, 0.4f, 0.2f, 1}, bottom{0.8f, 0.6f, 0.4f, 1};
    const float bottomLum = 0.3f * 0.8f + 0.59f * 0.6f + 0.11f * 0.4f;
    const float topLum = 0.3f * 0.5f + 0.59f * 0.4f + 0.11f * 0.2f;
    const float shift = bottomLum - topLum; // the colour blend keeps the background's lightness
    const std::vector<Case> cases = {{0, 0.5, {0.6f, 0.42f, 0.24f, 1}},
                                     {1, 1.0, {0.5f + shift, 0.4f + shift, 0.2f + shift, 1}},
                                     {2, 0.25, {0.725f, 0.55f, 0.35f, 1}}};
    for (const Case& c : cases) {
        setImage(blend, Grid(2, 2, top).image());
        setImage(blend, Grid(2, 2, bottom).image(), "inputBackgroundImage");
        blend->setValue(c.mode, "inputBlendMode");
        blend->setValue(c.intensity, "inputIntensity");
        const Pixel out = Grid::rendered(output(blend), 2, 2).at(1, 1);
        for (int i = 0; i < 4; ++i)
            EXPECT_NEAR(out[i], c.expected[i], 1e-5) << "mode " << c.mode << " channel " << i;
    }
}

TEST(GMAutoBrush, KernelNamesDefaultAndUnknownNames)
{
    EXPECT_EQ(GMAutoBrush::smartBrushKernelNames(),
              (QStringList{"autoBrush", "skinBrush", "hairBrush", "eyeWhiteBrush", "irisBrush", "lipBrush"}));
    const Image start = Grid(8, 8, {0, 0, 0, 1}).image();
    FilterPtr brush = brushStep("GMAutoBrush", start, Image(), Point(4, 4), Point(4, 4), 4, 0, 1);
    setImage(brush, start);
    EXPECT_FALSE(output(brush).isNull());
    EXPECT_EQ(brush->value("kernelName").toString(), "autoBrush");

    LogCapture capture;
    brush->setValue("glitterBrush", "kernelName");
    EXPECT_TRUE(output(brush).isNull());
    ASSERT_EQ(capture.lines().size(), 1);
    EXPECT_TRUE(capture.contains("Warning: Filter 'GMAutoBrush' has no Kernel named 'glitterBrush'"));
}

// Each smart kernel paints the content it is made for and stops where the photo turns into what lies
// next to it; a thin edge across similar content stops it too.
TEST(GMAutoBrush, PaintsSimilarContentAndStopsAtEdges)
{
    struct Case
    {
        QString kernel;
        Pixel own, other;
        bool line; // the other side has the own colour, behind a two-pixel dark line
    };
    const std::vector<Case> cases = {
        {"autoBrush", {0.7f, 0.2f, 0.2f, 1}, {0.2f, 0.3f, 0.7f, 1}, false},
        {"autoBrush", {0.7f, 0.2f, 0.2f, 1}, {0.7f, 0.2f, 0.2f, 1}, true},
        {"skinBrush", {0.87f, 0.75f, 0.66f, 1}, {0.38f, 0.31f, 0.15f, 1}, false},
        {"hairBrush", {0.38f, 0.31f, 0.15f, 1}, {0.87f, 0.75f, 0.66f, 1}, false},
        {"eyeWhiteBrush", {0.85f, 0.83f, 0.82f, 1}, {0.45f, 0.3f, 0.18f, 1}, false},
        {"irisBrush", {0.35f, 0.45f, 0.55f, 1}, {0.03f, 0.03f, 0.03f, 1}, false},
        {"lipBrush", {0.75f, 0.4f, 0.42f, 1}, {0.87f, 0.75f, 0.66f, 1}, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE((c.kernel + (c.line ? " behind a line" : "")).toStdString());
        // Own content left of x = 30, the other right of it; the stroke runs down x = 20 with radius 20.
        const Grid photo = Grid::from(60, 40, [&](int x, int) {
            if (c.line && (x == 30 || x == 31))
                return Pixel{0.05f, 0.05f, 0.05f, 1};
            return x < 30 ? c.own : c.other;
        });
        const Image start = Grid(60, 40, {0.3f, 0.3f, 0.3f, 1}).image();
        FilterPtr brush = brushStep("GMAutoBrush", start, Image(), Point(20, 10), Point(20, 30), 40, 0, 0.8);
        // The photo as the stack below a layer is: made by kernels, so a render computes it only where it
        // is asked for.
        FilterPtr invert = Filter::create("CIColorInvert");
        setImage(invert, photo.image());
        setImage(invert, output(invert));
        setImage(brush, output(invert));
        brush->setValue(c.kernel, "kernelName");
        const Grid out = Grid::rendered(output(brush), 60, 40);
        // The kernel reads around the segment's ends and on the way back to it: tiles smaller than the
        // brush give the same picture.
        EXPECT_LT(tiledDifference(output(brush), Rect(0, 0, 60, 40)), 1e-6);
        auto coverage = [&](int x) { return out.at(x, 20)[1] - out.at(x, 20)[0]; };
        EXPECT_NEAR(coverage(10), 0.8f, Step);
        EXPECT_NEAR(coverage(27), 0.8f, Step);
        EXPECT_NEAR(coverage(34), 0.0f, 1e-6);
    }
}

// A dark line two or three pixels wide across even content stops the smart brush along all its length:
// nothing is painted behind it, in no row or column (a walk that stepped over pixels left stripes).
TEST(GMAutoBrush, NoPaintBehindAThinLine)
{
    const Pixel own{0.7f, 0.2f, 0.2f, 1}, line{0.05f, 0.05f, 0.05f, 1};
    struct Case
    {
        const char* name;
        std::function<double(double, double)> across; // signed distance from the line's middle
        double width;
    };
    const Case cases[] = {
        {"upright, 2 pixels", [](double x, double) { return x - 61; }, 2},
        {"upright, 3 pixels", [](double x, double) { return x - 61.5; }, 3},
        {"slanting, 2 pixels", [](double x, double y) { return (x + 0.4 * y - 76) / std::hypot(1, 0.4); }, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Grid photo = Grid::from(120, 80, [&](int x, int y) {
            return std::abs(c.across(x + 0.5, y + 0.5)) < c.width / 2 ? line : own;
        });
        const Image start = Grid(120, 80, {0, 0, 0, 1}).image();
        // A broad stroke down the left, reaching far over the line.
        FilterPtr brush = brushStep("GMAutoBrush", start, Image(), Point(40, 15), Point(40, 65), 90, 0, 1);
        setImage(brush, photo.image());
        const Grid out = Grid::rendered(output(brush), 120, 80);
        int behind = 0, paintedBehind = 0, before = 0, paintedBefore = 0;
        for (int y = 0; y < 80; ++y)
            for (int x = 0; x < 120; ++x) {
                const double d = c.across(x + 0.5, y + 0.5);
                const double fromStroke =
                    std::hypot(x + 0.5 - 40, std::max({0.0, 15 - (y + 0.5), y + 0.5 - 65}));
                if (fromStroke > 40)
                    continue; // out of the brush's full reach
                const float coverage = out.at(x, y)[1] - out.at(x, y)[0];
                if (d > c.width / 2 + 1) {
                    ++behind;
                    paintedBehind += coverage > Step ? 1 : 0;
                } else if (d < -c.width / 2 - 2) { // the pixels next to the line see it in their 2 x 2 mean
                    ++before;
                    paintedBefore += coverage > 0.9f ? 1 : 0;
                }
            }
        ASSERT_GT(behind, 200);
        EXPECT_EQ(paintedBehind, 0) << "of " << behind << " pixels behind the line";
        EXPECT_EQ(paintedBefore, before) << "the content before the line is painted whole";
    }
}
