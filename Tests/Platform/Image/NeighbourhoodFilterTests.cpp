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
    const Bitmap picture = randomBitmap(37, 29, 17);
    const Plane input = Plane::fromBitmap(picture);
    const Image out = filtered("CIMedianFilter", {{"inputImage", var(Image::fromBitmap(picture))}});
    EXPECT_EQ(out.extent(), Rect(0, 0, 37, 29));
    const Bitmap rendered = renderFloat(out, out.extent());
    double worst = 0;
    for (int y = 0; y < 29; ++y)
        for (int x = 0; x < 37; ++x)
            for (int c = 0; c < 4; ++c) {
                std::vector<double> nine;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        nine.push_back(input.get(x + dx, y + dy, c));
                std::nth_element(nine.begin(), nine.begin() + 4, nine.end());
                worst = std::max(worst, std::abs(nine[4] - at(rendered, x, y)[size_t(c)]));
            }
    EXPECT_LT(worst, 1e-6);
    EXPECT_LT(tiledDifference(out, Rect(0, 0, 37, 29)), 1e-7);
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
