#include "FilterTestSupport.h"

#include "Classes/Filters/GMKernelFilter.h"
#include "Classes/Filters/OVAffineTransformFilter.h"
#include "Classes/Framework/KernelResource.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Image/Vector.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace pf;
using namespace filtertest;

namespace {

void expectNear(const std::array<float, 4>& actual, const std::array<float, 4>& expected,
                float tolerance = 1e-5f)
{
    for (size_t i = 0; i < 4; ++i)
        EXPECT_NEAR(actual[i], expected[i], tolerance) << "channel " << i;
}

} // namespace

TEST(GMAffineTransformFilter, ScalesToTheTargetThenTranslates)
{
    FilterPtr filter = Filter::create("GMAffineTransformFilter");
    ASSERT_TRUE(filter);
    filter->setDefaults();
    filter->setValue(QVariant::fromValue(marker(200, 100)), "inputImage");
    EXPECT_EQ(output(filter).extent(), Rect(0, 0, 400, 400));
    filter->setValue(QVariant::fromValue(Point(10, 20)), "inputTranslationVector");
    const Image moved = output(filter);
    EXPECT_EQ(moved.extent(), Rect(10, 20, 400, 400));
    // Output pixel (10 + 2 * 150 .. , 20 + 4 * 20 ..) shows source pixel (150, 20): the translation is not
    // scaled.
    const Pixels p = render(moved, moved.extent());
    expectNear(p.at(10 + 301, 20 + 82), {150.5f / 200, 20.5f / 100, 0.25f, 1}, 2e-3f);

    filter->setValue(QVariant::fromValue(Image::emptyImage()), "inputImage");
    EXPECT_FALSE(filter->value("outputImage").isValid());
}

TEST(GMAlphaBackgroundFilter, TransparentRectangleWithTruncatedOrigin)
{
    FilterPtr filter = Filter::create("GMAlphaBackgroundFilter");
    ASSERT_TRUE(filter);
    filter->setDefaults();
    EXPECT_EQ(output(filter).extent(), Rect(0, 0, 400, 400));
    filter->setValue(QVariant::fromValue(Vector(0.9, -0.9, 640.5, 480)), "inputSize");
    const Image image = output(filter);
    EXPECT_EQ(image.extent(), Rect(0, 0, 640.5, 480));
    expectNear(render(image, Rect(0, 0, 8, 8)).at(3, 3), {0, 0, 0, 0});
    FilterPtr unset = Filter::create("GMAlphaBackgroundFilter");
    EXPECT_EQ(output(unset).extent(), Rect(0, 0, 0, 0));
}

TEST(GMColor2IntensityFilter, IntensityInTheColourChannelsAtTheOrigin)
{
    FilterPtr filter = Filter::create("GMColor2IntensityFilter");
    ASSERT_TRUE(filter);
    const Image colour = floatImage(4, 3, [](int x, int) {
        return x == 0 ? std::array<float, 4>{1, 0, 0, 1} : std::array<float, 4>{0.25f, 0.5f, 0.75f, 1};
    });
    filter->setValue(QVariant::fromValue(colour.imageByApplyingTransform(AffineTransform::translation(5, 7))),
                     "inputImage");
    const Image image = output(filter);
    EXPECT_EQ(image.extent(), Rect(0, 0, 4, 3));
    EXPECT_EQ(image.definition().extent(), Rect(5, 7, 4, 3));
    filter->setValue(QVariant::fromValue(colour), "inputImage");
    const Pixels p = render(output(filter), Rect(0, 0, 4, 3));
    expectNear(p.at(0, 0), {0.2126f, 0.2126f, 0.2126f, 1});
    const float mid = 0.2126f * 0.25f + 0.7152f * 0.5f + 0.0722f * 0.75f;
    expectNear(p.at(2, 1), {mid, mid, mid, 1});
}

TEST(OVAffineTransformFilter, DefaultsMoveTheImageToTheOriginUnlessKept)
{
    FilterPtr filter = Filter::create("OVAffineTransformFilter");
    ASSERT_TRUE(filter);
    const Image image = marker(200, 100).imageByApplyingTransform(AffineTransform::translation(100, 50));
    filter->setValue(QVariant::fromValue(image), "inputImage");
    EXPECT_TRUE(filter->value("inputTransform").value<AffineTransform>().isIdentity());
    EXPECT_EQ(output(filter).extent(), Rect(0, 0, 200, 100));
    filter->setValue(true, "inputKeepExtent");
    EXPECT_EQ(output(filter).extent(), Rect(100, 50, 200, 100));
    // setDefaults leaves the crop inputs as the number NO, which counts as unset.
    filter->setDefaults();
    EXPECT_EQ(output(filter).extent(), Rect(0, 0, 200, 100));
    EXPECT_EQ(filter->inputKeys(), (QStringList{"inputImage", "inputTransform", "inputScale", "inputAngle",
                                                "inputTranslation", "inputCropRect"}));
}

TEST(OVAffineTransformFilter, RotatesAboutTheCentreWithTheRightHandedness)
{
    FilterPtr filter = Filter::create("OVAffineTransformFilter");
    filter->setValue(QVariant::fromValue(marker(200, 100)), "inputImage");
    filter->setValue(90.0, "inputAngle");
    filter->setValue(true, "inputKeepExtent");
    EXPECT_EQ(output(filter).extent(), Rect(50, -50, 100, 200));
    filter->setValue(false, "inputKeepExtent");
    const Image image = output(filter);
    EXPECT_EQ(image.extent(), Rect(0, 0, 100, 200));
    // Counter-clockwise: the source's right edge (high red) ends at the top.
    const Pixels p = render(image, image.extent());
    EXPECT_GT(p.at(50, 195)[0], 0.95f);
    EXPECT_LT(p.at(50, 4)[0], 0.05f);
    // Source y grows toward the left after the turn.
    EXPECT_GT(p.at(2, 100)[1], 0.95f);
}

TEST(OVAffineTransformFilter, StoredTransformWinsAndPreCropGivesTheDefaultCrop)
{
    FilterPtr filter = Filter::create("OVAffineTransformFilter");
    filter->setValue(QVariant::fromValue(marker(40, 40)), "inputImage");
    filter->setValue(QVariant::fromValue(Vector(2, 2)), "inputScale");
    filter->setValue(QVariant::fromValue(Rect(0, 0, 10, 10)), "inputPreCropRect");
    // Scale about the centre (20, 20): source (0, 0, 10, 10) maps to (-20, -20, 20, 20).
    EXPECT_EQ(output(filter).extent(), Rect(0, 0, 20, 20));
    filter->setValue(QVariant::fromValue(AffineTransform::scale(3, 3)), "inputTransform");
    filter->setValue(45.0, "inputAngle");
    EXPECT_EQ(output(filter).extent(), Rect(0, 0, 30, 30));

    // The cut used by the image helpers: scale by 0.5, crop in transformed space.
    FilterPtr crop = Filter::create("OVAffineTransformFilter");
    crop->setValue(QVariant::fromValue(marker(40, 40)), "inputImage");
    crop->setValue(QVariant::fromValue(AffineTransform::scale(0.5, 0.5)), "inputTransform");
    crop->setValue(QVariant::fromValue(Rect(10, 10, 10, 10)), "inputCropRect");
    const Image quarter = output(crop);
    EXPECT_EQ(quarter.extent(), Rect(0, 0, 10, 10));
    const Pixels p = render(quarter, quarter.extent());
    expectNear(p.at(0, 0), {21.0f / 40, 21.0f / 40, 0.25f, 1}, 1e-3f);
}

TEST(OVAffineTransformFilter, NothingToCutGivesNoImage)
{
    FilterPtr filter = Filter::create("OVAffineTransformFilter");
    EXPECT_FALSE(filter->value("outputImage").isValid());
    LogCapture capture;
    filter->setValue(QVariant::fromValue(marker(4, 4).imageByClampingToExtent()), "inputImage");
    EXPECT_FALSE(filter->value("outputImage").isValid());
    EXPECT_TRUE(capture.contains("inputImage extent is infinite when center Point is requested "));
    filter->setValue(QVariant::fromValue(Rect(0, 0, 8, 8)), "inputCropRect");
    EXPECT_EQ(output(filter).extent(), Rect(0, 0, 8, 8));
    EXPECT_LT(tiledDifference(output(filter), Rect(0, 0, 8, 8)), 1e-6f);
}

namespace {

class SlotTestFilter : public GMKernelFilter
{
public:
    SlotTestFilter() : GMKernelFilter(QStringLiteral("TestSlotFilter"))
    {
        loadKernels({{"TestSlotKernels", 0}, {"TestSlotKernels", 1}, {"TestSlotKernels", 2}});
    }
    Kernel slot(size_t i) const { return kernelSlot(i); }
};

} // namespace

TEST(GMKernelFilter, SlotsAreCheckedAgainstTheCompiledList)
{
    QTemporaryDir dir;
    KernelResource::setTestDirectory(dir.path());
    GMKernelFilter::resetForTesting();
    EXPECT_TRUE(SlotTestFilter().slot(0).isNull()); // missing: tried again later
    QFile file(dir.filePath("TestSlotKernels.cikernel"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("kernel vec4 first() { return vec4(1.0); }\nkernel vec4 second() { return vec4(0.0); }\n");
    file.close();
    LogCapture capture;
    SlotTestFilter filter;
    EXPECT_EQ(filter.slot(0).name(), "first");
    EXPECT_EQ(filter.slot(1).name(), "second");
    EXPECT_TRUE(filter.slot(2).isNull());
    EXPECT_EQ(capture.lines(),
              QStringList{
                  "Warning: TestSlotFilter: kernel resource 'TestSlotKernels' has no kernel 2 (it holds 2)"});
    capture.clear();
    SlotTestFilter again; // slots are per class: nothing is compiled or reported again
    EXPECT_TRUE(capture.lines().isEmpty());
    KernelResource::setTestDirectory(QString());
    GMKernelFilter::resetForTesting();
}
