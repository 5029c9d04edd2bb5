#include "ImageTestSupport.h"

#include "Platform/Foundation/Log.h"
#include "Platform/Image/Filter.h"

#include <gtest/gtest.h>
#include <limits>

using namespace pf;
using namespace pftest;

namespace {

class TintFilter : public Filter
{
public:
    TintFilter() : Filter(QStringLiteral("TestTintFilter"))
    {
        declareInput(QStringLiteral("inputImage"));
        declareInput(QStringLiteral("inputAmount"), {{FilterAttribute::Class, FilterAttribute::ClassNumber},
                                                     {FilterAttribute::Default, 0.5},
                                                     {FilterAttribute::Min, 0.0},
                                                     {FilterAttribute::SliderMax, 1.0},
                                                     {FilterAttribute::Type, FilterAttribute::TypeScalar}});
        declareInput(QStringLiteral("inputCount"));
    }
    Image outputImage() const override
    {
        const Image input = imageValue(QStringLiteral("inputImage"));
        if (input.isNull())
            return Image();
        static const Kernel k =
            kernel("kernel vec4 tint(sampler s, float a) {\n"
                   "  vec4 c = sample(s, samplerCoord(s)); return vec4(c.r * a, c.gba); }");
        ApplyOptions options;
        options.setDefinition(QVariant::fromValue(input));
        return k.apply({QVariant::fromValue(input), numberValue(QStringLiteral("inputAmount"))}, options);
    }
    int count() const { return intValue(QStringLiteral("inputCount")); }
};

} // namespace

TEST(Filter, RegistryDefaultsValuesAndCopies)
{
    Filter::registerFilter(QStringLiteral("TestTintFilter"), [] { return std::make_shared<TintFilter>(); });
    EXPECT_TRUE(Filter::registeredNames().contains("TestTintFilter"));
    FilterPtr filter = Filter::create(QStringLiteral("TestTintFilter"));
    ASSERT_TRUE(filter);
    EXPECT_EQ(filter->inputKeys(), (QStringList{"inputImage", "inputAmount", "inputCount"}));
    EXPECT_EQ(filter->outputKeys(), QStringList{"outputImage"});
    EXPECT_FALSE(filter->value("inputAmount").isValid());
    filter->setDefaults();
    EXPECT_EQ(filter->value("inputAmount").toDouble(), 0.5);
    EXPECT_FALSE(filter->value("inputImage").isValid());
    EXPECT_EQ(filter->attributesForKey("inputAmount").value(FilterAttribute::Min).toDouble(), 0.0);
    EXPECT_EQ(filter->attributes().value(FilterAttribute::FilterName).toString(), "TestTintFilter");

    // No input image, no output image.
    EXPECT_FALSE(filter->value("outputImage").isValid());
    const Image white = Image::constantColor(Color(1, 1, 1)).imageByCroppingToRect(Rect(0, 0, 2, 2));
    filter->setValue(QVariant::fromValue(white), "inputImage");
    const Image out = filter->value("outputImage").value<Image>();
    EXPECT_EQ(out.extent(), Rect(0, 0, 2, 2));
    EXPECT_FLOAT_EQ(at(renderFloat(out, Rect(0, 0, 2, 2)), 1, 1)[0], 0.5f);

    FilterPtr copy = filter->copy();
    ASSERT_TRUE(copy);
    copy->setValue(0.25, "inputAmount");
    EXPECT_EQ(filter->value("inputAmount").toDouble(), 0.5);
    EXPECT_EQ(copy->value("inputImage").value<Image>(), white);
}

TEST(Filter, UnknownKeysAndNamesAreLoggedAndIgnored)
{
    LogCapture capture;
    EXPECT_FALSE(Filter::create(QStringLiteral("NoSuchFilter")));
    EXPECT_TRUE(capture.contains("No filter is named 'NoSuchFilter'"));
    TintFilter filter;
    filter.setValue(3.0, "inputNothing");
    EXPECT_TRUE(capture.contains("Warning: Filter 'TestTintFilter' has no input 'inputNothing'"));
    EXPECT_FALSE(filter.hasValue("inputNothing"));
}

TEST(Filter, IntegersSaturateAndNaNIsZero)
{
    TintFilter filter;
    filter.setValue(1e300, "inputCount");
    EXPECT_EQ(filter.count(), std::numeric_limits<int>::max());
    filter.setValue(-1e300, "inputCount");
    EXPECT_EQ(filter.count(), std::numeric_limits<int>::min());
    filter.setValue(std::numeric_limits<double>::quiet_NaN(), "inputCount");
    EXPECT_EQ(filter.count(), 0);
    filter.setValue(-2.7, "inputCount");
    EXPECT_EQ(filter.count(), -2);
}
