#include "Classes/Framework/ImageFunctions.h"
#include "Classes/Framework/ImageGMCIImageExtensions.h"
#include "Classes/Framework/ImageORVExtension.h"
#include "Classes/Framework/QImageGMImageExtension.h"
#include "Platform/Foundation/FileSystem.h"
#include "Platform/Foundation/Log.h"
#include "Tests/Classes/Filters/FilterTestSupport.h"
#include "WorkingAreaOverride.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>
#include <thread>

using namespace pf;
using filtertest::floatImage;
using filtertest::marker;
using filtertest::render;

namespace {

const QStringList usedFilters{
    QStringLiteral("OVAffineTransformFilter"), QStringLiteral("GMAlphaBackgroundFilter"),
    QStringLiteral("CIAffineTransform"),       QStringLiteral("CIAffineClamp"),
    QStringLiteral("CILanczosScaleTransform"), QStringLiteral("CICrop"),
    QStringLiteral("CISourceOverCompositing"), QStringLiteral("CIAreaAverage")};

enum class Route
{
    NamedFilters,     // the filters by name
    EngineOperations, // no filter of those names: the image's own operations
};

// Every test runs both ways: through the filters by name and through the fallbacks.
class ImageHelpers : public ::testing::TestWithParam<Route>
{
protected:
    void SetUp() override
    {
        for (const QString& name : usedFilters) {
            Filter::Factory existing = Filter::factory(name);
            m_saved[name] = existing;
            if (GetParam() == Route::EngineOperations)
                Filter::registerFilter(name, {});
            else
                ASSERT_TRUE(existing) << name.toStdString() << " is not registered";
        }
    }
    void TearDown() override
    {
        for (const auto& [name, factory] : m_saved)
            Filter::registerFilter(name, factory);
    }

    std::map<QString, Filter::Factory> m_saved;
};

INSTANTIATE_TEST_SUITE_P(Routes, ImageHelpers,
                         ::testing::Values(Route::NamedFilters, Route::EngineOperations),
                         [](const auto& info) {
                             return info.param == Route::NamedFilters ? "NamedFilters" : "EngineOperations";
                         });

void expectNear(const std::array<float, 4>& actual, const std::array<float, 4>& expected, float tolerance)
{
    for (size_t i = 0; i < 4; ++i)
        EXPECT_NEAR(actual[i], expected[i], tolerance) << "channel " << i;
}

std::array<float, 4> markerAt(int x, int y, int width, int height)
{
    return {(x + 0.5f) / float(width), (y + 0.5f) / float(height), 0.25f, 1.0f};
}

Image solid(int width, int height, std::array<float, 4> colour)
{
    return floatImage(width, height, [colour](int, int) { return colour; });
}

} // namespace

TEST_P(ImageHelpers, CropAndScaleTakesTheNormalisedPartYUp)
{
    const Image input = marker(200, 100);
    const Image quarter = cropAndScaleImage(input, Rect(0.5, 0.5, 0.5, 0.5), 100.7, 50.2);
    EXPECT_EQ(quarter.extent(), Rect(0, 0, 100, 50));
    const auto pixels = render(quarter, Rect(0, 0, 100, 50));
    // The top-right quarter: x from 100, y (upward) from 50.
    for (auto [x, y] : {std::pair{0, 0}, {99, 49}, {37, 12}, {0, 49}})
        expectNear(pixels.at(x, y), markerAt(100 + x, 50 + y, 200, 100), 1e-5f);

    // Halved: each output pixel covers a 2 x 2 block of equal input pixels.
    const Image blocks = floatImage(8, 4, [](int x, int y) {
        return std::array<float, 4>{float(x / 2) / 4, float(y / 2) / 2, 0, 1};
    });
    const auto half = render(cropAndScaleImage(blocks, Rect(0, 0, 1, 1), 4, 2), Rect(0, 0, 4, 2));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            expectNear(half.at(x, y), {float(x) / 4, float(y) / 2, 0, 1}, 1e-5f);

    // The part is a fraction of the extent wherever the extent starts.
    const Image moved = input.imageByApplyingTransform(AffineTransform::translation(10, 20));
    const auto whole = render(cropAndScaleImage(moved, Rect(0, 0, 1, 1), 200, 100), Rect(0, 0, 200, 100));
    expectNear(whole.at(0, 0), markerAt(0, 0, 200, 100), 1e-5f);
    expectNear(whole.at(199, 99), markerAt(199, 99, 200, 100), 1e-5f);
}

TEST_P(ImageHelpers, DegenerateCropsAreGuarded)
{
    LogCapture log;
    const Image input = marker(20, 10);
    EXPECT_TRUE(cropAndScaleImage(Image(), Rect(0, 0, 1, 1), 10, 10).isNull());
    EXPECT_TRUE(cropAndScaleImage(input, Rect(0, 0, 1, 1), 0.9, 10).extent().isEmpty());
    EXPECT_FALSE(log.contains(QStringLiteral("Warning")));
    const Image noPart = cropAndScaleImage(input, Rect(0.5, 0.5, 0, 0.5), 10, 10);
    EXPECT_FALSE(noPart.isNull());
    EXPECT_TRUE(noPart.extent().isEmpty());
    EXPECT_TRUE(log.contains(
        QStringLiteral("Warning: cropAndScaleImage: the part of the image to scale has no area")));
    EXPECT_TRUE(lanczosCropAndScaleImage(Image::emptyImage(), Rect(0, 0, 1, 1), 10, 10).extent().isEmpty());
    const Image unbounded = Image::constantColor(Color(1, 0, 0));
    EXPECT_TRUE(cropAndScaleImage(unbounded, Rect(0, 0, 1, 1), 10, 10).isNull());
    EXPECT_TRUE(scaleImageToSizeAffine(unbounded, 10, 10).isNull());
    EXPECT_TRUE(GMCIImageExtensions::CIImageWithSize(Image::emptyImage(), Size(10, 10)).isNull());
    // Placing into a part without area leaves the transparent image.
    const Image placed = placeImageOnTransparent(input, Rect(0.5, 0.5, 0, 0), 8, 8);
    EXPECT_EQ(placed.extent(), Rect(0, 0, 8, 8));
    expectNear(render(placed, Rect(0, 0, 8, 8)).at(4, 4), {0, 0, 0, 0}, 0);
}

TEST_P(ImageHelpers, LanczosCropMatchesTheAffineCropAtScaleOne)
{
    const Image input = marker(64, 32);
    const Image part = lanczosCropAndScaleImage(input, Rect(0.25, 0.5, 0.5, 0.5), 32, 16);
    EXPECT_EQ(part.extent(), Rect(0, 0, 32, 16));
    const auto pixels = render(part, Rect(0, 0, 32, 16));
    for (auto [x, y] : {std::pair{0, 0}, {31, 15}, {10, 7}})
        expectNear(pixels.at(x, y), markerAt(16 + x, 16 + y, 64, 32), 2e-3f);
}

TEST_P(ImageHelpers, ScaleToSize)
{
    LogCapture log;
    const Image input = marker(640, 480);
    EXPECT_EQ(scaleImageToSizeLanczos(input, 640.9, 480), input);
    EXPECT_TRUE(log.contains(QStringLiteral("Warning: No transform necc.")));
    log.clear();

    for (const Image& scaled :
         {scaleImageToSizeLanczos(input, 1280, 240), scaleImageToSizeAffine(input, 1280, 240)}) {
        EXPECT_EQ(scaled.extent(), Rect(0, 0, 1280, 240));
        // A linear ramp stays linear under resampling: output (X, Y) shows input (X / 2, Y * 2).
        const auto pixels = render(scaled, Rect(600, 100, 8, 8));
        for (auto [x, y] : {std::pair{600, 100}, {607, 107}}) {
            const std::array<float, 4> expected{(x + 0.5f) / 2 / 640, (y + 0.5f) * 2 / 480, 0.25f, 1};
            expectNear(pixels.at(x, y), expected, 2e-3f);
        }
        // Clamped after scaling: nothing outside the extent, however far the crop reaches.
        EXPECT_EQ(render(scaled, Rect(1278, 238, 4, 4)).at(1281, 241)[3], 0.0f);
    }
    EXPECT_FALSE(log.contains(QStringLiteral("necc")));

    const Image sized = GMCIImageExtensions::CIImageWithSize(marker(20, 10), Size(40, 40));
    EXPECT_EQ(sized.extent(), Rect(0, 0, 40, 40));
}

TEST_P(ImageHelpers, PlacingOnTransparentAndOnABackground)
{
    const Image red = solid(10, 10, {1, 0, 0, 1});
    const Image onTransparent = placeImageOnTransparent(red, Rect(0.5, 0.25, 0.5, 0.5), 40, 40);
    EXPECT_EQ(onTransparent.extent(), Rect(0, 0, 40, 40));
    const auto a = render(onTransparent, Rect(0, 0, 40, 40));
    // Inside the part (scaled up, so its edge pixels blend with the transparent surroundings).
    expectNear(a.at(21, 11), {1, 0, 0, 1}, 1e-5f);
    expectNear(a.at(38, 28), {1, 0, 0, 1}, 1e-5f);
    expectNear(a.at(18, 20), {0, 0, 0, 0}, 1e-5f);
    expectNear(a.at(30, 31), {0, 0, 0, 0}, 1e-5f);
    expectNear(a.at(30, 8), {0, 0, 0, 0}, 1e-5f);

    const Image blue = solid(40, 20, {0, 0, 1, 1});
    const Image onBackground = placeImageOnBackground(red, blue, Rect(0.25, 0.5, 0.5, 0.5));
    EXPECT_EQ(onBackground.extent(), Rect(0, 0, 40, 20));
    const auto b = render(onBackground, Rect(0, 0, 40, 20));
    expectNear(b.at(11, 12), {1, 0, 0, 1}, 1e-5f);
    expectNear(b.at(28, 17), {1, 0, 0, 1}, 1e-5f);
    expectNear(b.at(8, 15), {0, 0, 1, 1}, 1e-5f);
    expectNear(b.at(20, 8), {0, 0, 1, 1}, 1e-5f);
}

TEST_P(ImageHelpers, ConstantAndTransparentImages)
{
    const Image clear = GMCIImageExtensions::imageWithTransparentColorOfSize(Size(30, 20));
    EXPECT_EQ(clear.extent(), Rect(0, 0, 30, 20));
    expectNear(render(clear, Rect(0, 0, 30, 20)).at(15, 10), {0, 0, 0, 0}, 0);
    const Image grey = GMCIImageExtensions::imageWithConstantColor(Color(0.5, 0.5, 0.5, 1), Size(3, 4));
    EXPECT_EQ(grey.extent(), Rect(0, 0, 3, 4));
    expectNear(render(grey, Rect(0, 0, 3, 4)).at(2, 3), {0.5f, 0.5f, 0.5f, 1}, 1e-6f);
}

TEST_P(ImageHelpers, AverageColour)
{
    // Half opaque red, half transparent: premultiplied average (0.5, 0, 0, 0.5), un-premultiplied red.
    const Image half = floatImage(16, 8, [](int x, int) {
        return x < 8 ? std::array<float, 4>{1, 0, 0, 1} : std::array<float, 4>{0, 0, 0, 0};
    });
    const std::optional<Color> red = ORVExtension::averageColor(half);
    ASSERT_TRUE(red);
    EXPECT_NEAR(red->red(), 1.0, 1e-6);
    EXPECT_EQ(red->green(), 0);
    EXPECT_NEAR(red->alpha(), 128 / 255.0, 1e-9);

    const std::optional<Color> clear = ORVExtension::averageColor(solid(5, 5, {0, 0, 0, 0}));
    ASSERT_TRUE(clear);
    EXPECT_EQ(*clear, Color(0, 0, 0, 0));

    // The ramp's mean red is 0.5, its green 0.5, through one 8-bit pixel.
    const std::optional<Color> ramp = ORVExtension::averageColor(marker(300, 200));
    ASSERT_TRUE(ramp);
    EXPECT_NEAR(ramp->red(), 0.5, 0.5 / 255 + 1e-9);
    EXPECT_NEAR(ramp->green(), 0.5, 0.5 / 255 + 1e-9);
    EXPECT_NEAR(ramp->blue(), 64 / 255.0, 1e-9);

    LogCapture log;
    EXPECT_FALSE(ORVExtension::averageColor(Image::constantColor(Color(1, 1, 1))));
    EXPECT_FALSE(ORVExtension::averageColor(Image()));
}

TEST(ImagePixels, FixedImagesKeepTheirPlaceAndShortenedOnesStartAtTheOrigin)
{
    const Image moved = marker(30, 20).imageByApplyingTransform(AffineTransform::translation(10, 20));
    const Image fixed = ORVExtension::fixedImage(moved);
    EXPECT_EQ(fixed.extent(), Rect(10, 20, 30, 20));
    const Image shortened = GMCIImageExtensions::shortenRecipe(moved);
    EXPECT_EQ(shortened.extent(), Rect(0, 0, 30, 20));
    // 8-bit pixels of the same picture, the right way up.
    expectNear(render(fixed, fixed.extent()).at(12, 39), markerAt(2, 19, 30, 20), 0.5f / 255 + 1e-6f);
    expectNear(render(shortened, shortened.extent()).at(2, 19), markerAt(2, 19, 30, 20), 0.5f / 255 + 1e-6f);

    const QImage picture = ORVExtension::nsImage(marker(30, 20));
    ASSERT_EQ(picture.size(), QSize(30, 20));
    // Row 0 of a QImage is the top: the highest green.
    EXPECT_GT(qGreen(picture.pixel(0, 0)), qGreen(picture.pixel(0, 19)));

    LogCapture log;
    EXPECT_TRUE(ORVExtension::newCGImage(Image::constantColor(Color(1, 0, 0))).isNull());
    EXPECT_TRUE(log.contains(QStringLiteral("Warning: Cannot make pixels of an image of infinite extent")));
    EXPECT_TRUE(ORVExtension::fixedImage(Image()).isNull());
}

TEST(ImagePixels, ForcedCalculationsGoThroughFilesInTheCache)
{
    QTemporaryDir dir;
    WorkingAreaOverride workingArea(dir.path());
    const Image input = marker(12, 8);

    const Image first = GMCIImageExtensions::forceCalculation(input);
    const Image second = GMCIImageExtensions::forceCalculation(input);
    const QStringList folders =
        QDir(dir.path() + QStringLiteral("/cache")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    ASSERT_EQ(folders.size(), 2);
    for (const QString& folder : folders) {
        EXPECT_EQ(folder.size(), 20);
        EXPECT_TRUE(QFileInfo::exists(dir.path() + QStringLiteral("/cache/") + folder +
                                      QStringLiteral("/image.png")));
    }
    EXPECT_EQ(first.extent(), Rect(0, 0, 12, 8));
    expectNear(render(second, Rect(0, 0, 12, 8)).at(11, 0), markerAt(11, 0, 12, 8), 0.5f / 255 + 1e-6f);

    // A name that is not a single folder name writes nothing; the pixels come from memory.
    LogCapture log;
    const Image kept = GMCIImageExtensions::forceCalculation(input, QStringLiteral("../escaped"));
    EXPECT_EQ(kept.extent(), Rect(0, 0, 12, 8));
    EXPECT_TRUE(log.contains(QStringLiteral("Keeping the calculated image in memory")));
    EXPECT_FALSE(QFileInfo::exists(dir.path() + QStringLiteral("/escaped")));
}

TEST(ImagePixels, HelpersRenderFromManyThreadsAtOnce)
{
    const Image input = marker(64, 48);
    std::vector<std::thread> threads;
    std::atomic<int> failures = 0;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 5; ++i) {
                const Image part = cropAndScaleImage(input, Rect(0.25 * (t % 2), 0, 0.5, 1), 32, 48);
                const std::optional<Color> colour = ORVExtension::averageColor(part);
                const Bitmap bitmap = ORVExtension::newCGImageUnrendered(part);
                if (t == 0 && i == 2)
                    ORVExtension::createContext();
                const double expectedRed = 0.25 * (t % 2) + 0.25;
                if (!colour || std::abs(colour->red() - expectedRed) > 1.0 / 255 || bitmap.width() != 32)
                    ++failures;
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(failures, 0);
}

TEST(QImageHelpers, ProportionalSizesAndCentredFills)
{
    QImage wide(400, 200, QImage::Format_RGB32);
    for (int x = 0; x < 400; ++x)
        for (int y = 0; y < 200; ++y)
            wide.setPixel(x, y, x < 100 ? qRgb(255, 0, 0) : x < 300 ? qRgb(0, 255, 0) : qRgb(0, 0, 255));
    EXPECT_EQ(GMImageExtension::proportionalSizeForTargetSize(wide, Size(100, 100)), Size(100, 50));
    EXPECT_EQ(GMImageExtension::proportionalSizeForTargetSize(wide, Size(400, 200)), Size(400, 200));
    EXPECT_EQ(GMImageExtension::proportionalSizeForTargetSize(QImage(), Size(10, 10)), Size(0, 0));

    // The centred 200 x 200 square (all green) fills the target.
    const QImage square = GMImageExtension::imageByScalingProportionallyToSize(wide, Size(100, 100));
    ASSERT_EQ(square.size(), QSize(100, 100));
    for (auto [x, y] : {std::pair{0, 0}, {99, 99}, {0, 99}, {50, 50}})
        EXPECT_EQ(square.pixel(x, y), qRgb(0, 255, 0)) << x << "," << y;
    const QImage tall = GMImageExtension::imageByScalingProportionallyToSize(wide, Size(50, 200));
    EXPECT_EQ(tall.pixel(25, 0), qRgb(0, 255, 0));
    EXPECT_EQ(GMImageExtension::imageByScalingProportionallyToSize(wide, Size(400, 200)), wide);
    EXPECT_TRUE(GMImageExtension::imageByScalingProportionallyToSize(wide, Size(0, 10)).isNull());

    QImage rgb(2, 1, QImage::Format_RGB888);
    rgb.setPixel(0, 0, qRgb(10, 20, 30));
    const QImage proper = GMImageExtension::properBitmapImageRep(rgb);
    EXPECT_EQ(proper.format(), QImage::Format_RGBA8888_Premultiplied);
    const uchar* bytes = proper.constScanLine(0);
    EXPECT_EQ(bytes[0], 10);
    EXPECT_EQ(bytes[2], 30);
    EXPECT_EQ(bytes[3], 255);
}
