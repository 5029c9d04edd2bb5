#include "BuiltinTestSupport.h"

#include "Platform/Foundation/Log.h"
#include "Platform/Image/Vector.h"

#include <gtest/gtest.h>
#include <thread>

using namespace pf;
using namespace pftest;

TEST(BuiltinFilters, RegistrationIsIdempotentFromAnyThreadAndNamesEveryFilter)
{
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([] { registerBuiltinFilters(); });
    for (auto& thread : threads)
        thread.join();
    registerBuiltinFilters();
    const QStringList names{"CIAffineClamp",
                            "CIAffineTile",
                            "CIAffineTransform",
                            "CIAreaAverage",
                            "CIBlendWithMask",
                            "CIColorInvert",
                            "CIConstantColorGenerator",
                            "CICrop",
                            "CIDiscBlur",
                            "CIDisplacementDistortion",
                            "CIGaussianBlur",
                            "CILanczosScaleTransform",
                            "CIMedianFilter",
                            "CIMotionBlur",
                            "CIOverlayBlendMode",
                            "CIRandomGenerator",
                            "CISourceOverCompositing",
                            "CITorusLensDistortion"};
    for (const QString& name : names) {
        FilterPtr filter = Filter::create(name);
        ASSERT_TRUE(filter) << name.toStdString();
        EXPECT_EQ(filter->name(), name);
        // Copies keep their inputs.
        filter->setDefaults();
        FilterPtr copy = filter->copy();
        ASSERT_TRUE(copy);
        EXPECT_EQ(copy->inputKeys(), filter->inputKeys());
    }
    // The defaults blueprints rely on.
    FilterPtr blur = Filter::create("CIGaussianBlur");
    blur->setDefaults();
    EXPECT_EQ(blur->value("inputRadius").toDouble(), 10.0);
    EXPECT_EQ(blur->inputKeys(), (QStringList{"inputImage", "inputRadius"}));
    FilterPtr lanczos = Filter::create("CILanczosScaleTransform");
    lanczos->setDefaults();
    EXPECT_EQ(lanczos->value("inputScale").toDouble(), 1.0);
    EXPECT_EQ(lanczos->value("inputAspectRatio").toDouble(), 1.0);
    FilterPtr torus = Filter::create("CITorusLensDistortion");
    EXPECT_EQ(torus->inputKeys(),
              (QStringList{"inputImage", "inputCenter", "inputRadius", "inputWidth", "inputRefraction"}));
    FilterPtr random = Filter::create("CIRandomGenerator");
    EXPECT_TRUE(random->inputKeys().isEmpty());
}

TEST(MedianFilter, TakesTheMedianOfNineForEachChannel)
{
    // Sizes that leave partial vectors at the ends of rows and rows with no neighbours; 8-bit pixels are
    // taken sixteen values at a time, floats four. Rendered in the bitmap's own format, past its edges
    // (transparent there) and as a part of it.
    struct Case
    {
        int width, height;
        Bitmap::Format format;
        Rect part; // in the picture's pixels
    };
    const Case cases[] = {
        {37, 29, Bitmap::Format::RGBAf, Rect(-2, -2, 41, 33)},
        {37, 29, Bitmap::Format::RGBA8, Rect(-2, -2, 41, 33)},
        {1, 1, Bitmap::Format::RGBA8, Rect(-1, -1, 3, 3)},
        {2, 3, Bitmap::Format::RGBAf, Rect(0, 0, 2, 3)},
        {6, 40, Bitmap::Format::RGBA8, Rect(1, 5, 4, 30)},
        {70, 9, Bitmap::Format::RGBA8, Rect(3, 1, 61, 7)},
        {70, 9, Bitmap::Format::RGBAf, Rect(3, 1, 61, 7)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height
                                        << (c.format == Bitmap::Format::RGBA8 ? ", 8-bit" : ", float"));
        const Bitmap picture = randomBitmap(c.width, c.height, 17).converted(c.format);
        const Plane input = Plane::fromBitmap(picture);
        const Image out = filtered("CIMedianFilter", {{"inputImage", var(Image::fromBitmap(picture))}});
        EXPECT_EQ(out.extent(), Rect(0, 0, c.width, c.height));
        const auto rendered = context().render(out, c.part, c.format);
        ASSERT_TRUE(rendered);
        double worst = 0;
        for (int y = 0; y < int(c.part.height()); ++y)
            for (int x = 0; x < int(c.part.width()); ++x)
                for (int channel = 0; channel < 4; ++channel) {
                    const int px = x + int(c.part.minX()), py = y + int(c.part.minY());
                    std::vector<double> nine;
                    for (int dy = -1; dy <= 1; ++dy)
                        for (int dx = -1; dx <= 1; ++dx)
                            nine.push_back(input.get(px + dx, py + dy, channel));
                    std::nth_element(nine.begin(), nine.begin() + 4, nine.end());
                    const bool inside = px >= 0 && py >= 0 && px < c.width && py < c.height;
                    const double expected = inside ? nine[4] : 0.0;
                    worst = std::max(worst, std::abs(expected - at(*rendered, x, y)[size_t(channel)]));
                }
        EXPECT_LT(worst, 1e-6);
    }
    EXPECT_LT(tiledDifference(filtered("CIMedianFilter",
                                       {{"inputImage", var(Image::fromBitmap(randomBitmap(37, 29, 17)))}}),
                              Rect(0, 0, 37, 29)),
              1e-7);
}

TEST(AreaAverage, AveragesTheRectangleIntoOnePixelAtItsOrigin)
{
    const Bitmap picture = randomBitmap(300, 200, 31);
    const Plane input = Plane::fromBitmap(picture);
    auto reference = [&](double x0, double y0, double x1, double y1, int c) {
        double sum = 0;
        for (int y = int(std::floor(y0)); y < int(std::ceil(y1)); ++y)
            for (int x = int(std::floor(x0)); x < int(std::ceil(x1)); ++x) {
                const double cover = std::max(0.0, std::min(x + 1.0, x1) - std::max(double(x), x0)) *
                                     std::max(0.0, std::min(y + 1.0, y1) - std::max(double(y), y0));
                sum += cover * input.get(x, y, c);
            }
        return sum / ((x1 - x0) * (y1 - y0));
    };
    // Whole pixels, a rectangle reaching past the image (transparent there) and fractional edges.
    for (const Rect& r : {Rect(0, 0, 300, 200), Rect(17, 9, 250, 230), Rect(10.25, 3.5, 100.5, 60.75)}) {
        const Image out =
            filtered("CIAreaAverage", {{"inputImage", var(Image::fromBitmap(picture))},
                                       {"inputExtent", QVariant::fromValue(Vector::fromRect(r))}});
        const Rect pixel(std::floor(r.minX()), std::floor(r.minY()), 1, 1);
        EXPECT_EQ(out.extent(), pixel);
        const auto p = at(renderFloat(out, pixel), 0, 0);
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(p[size_t(c)], reference(r.minX(), r.minY(), r.maxX(), r.maxY(), c), 1e-4) << c;
    }
    LogCapture capture;
    EXPECT_TRUE(filtered("CIAreaAverage", {{"inputImage", var(Image::fromBitmap(picture))},
                                           {"inputExtent", QVariant::fromValue(Vector(0, 0, 0, 5))}})
                    .isNull());
    EXPECT_TRUE(capture.contains("area average"));
}
