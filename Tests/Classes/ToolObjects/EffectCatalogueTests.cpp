// The effects the application ships: complete for the browser and the settings panel, unchanged at
// intensity 0, in range at intensity 1, and icons that the build makes the same every time.

#include "Classes/Filters/FilterLibrary.h"
#include "Classes/ToolObjects/BundleReader.h"
#include "Classes/ToolObjects/GMBlueprintCatalog.h"
#include "Classes/ToolObjects/GMBlueprintCheck.h"
#include "Classes/ToolObjects/GMEffectBlueprint.h"
#include "Classes/ToolObjects/GMEffectComposer.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/RenderContext.h"
#include "Platform/Image/RenderStatistics.h"
#include "ReferenceGaussian.h"
#include "Tests/ChildProcess.h"

#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSet>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <random>

using namespace pf;

namespace {

GMBlueprintCatalog& products()
{
    static GMBlueprintCatalog* catalog = [] {
        auto* c = new GMBlueprintCatalog;
        BundleReader::loadAllPluginsInPhotoToolCatalog(*c, Bundle::main());
        return c;
    }();
    return *catalog;
}

std::vector<QString> productNames()
{
    QStringList names = products().effectBlueprintNames();
    names.sort();
    return {names.begin(), names.end()};
}

RenderContext& context()
{
    static RenderContext context(QStringLiteral("effect catalogue tests"));
    return context;
}

// The portrait at a quarter of its size, as a plain bitmap.
const Image& portrait()
{
    static const Image image = [] {
        FilterLibrary::registerAll();
        const Image scaled = Image::fromFile(QStringLiteral(GLIMORA_TESTDATA_DIR "/portrait-512.png"))
                                 .imageByApplyingTransform(AffineTransform::scale(0.25, 0.25));
        const auto pixels = context().render(scaled, scaled.extent(), Bitmap::Format::RGBAf);
        return pixels ? Image::fromBitmap(*pixels) : Image();
    }();
    return image;
}

// The largest difference of two images' 8-bit pixels, in levels.
int largestDifference(const Image& a, const Image& b, const Rect& rect)
{
    const auto p = context().render(a, rect, Bitmap::Format::RGBA8);
    const auto q = context().render(b, rect, Bitmap::Format::RGBA8);
    if (!p || !q)
        return 256;
    int worst = 0;
    for (size_t i = 0; i < p->byteCount(); ++i)
        worst = std::max(worst, std::abs(int(p->data()[i]) - int(q->data()[i])));
    return worst;
}

class ProductEffect : public testing::TestWithParam<QString>
{};

} // namespace

TEST(EffectCatalogue, EveryEffectIsCompleteAndEveryBrushListIsUsed)
{
    const std::vector<QString> names = productNames();
    EXPECT_GE(names.size(), 25u);
    QSet<QString> brushLists, groups;
    for (const QString& name : names) {
        const auto effect = products().effectBlueprintWithName(name);
        ASSERT_TRUE(effect) << name.toStdString();
        for (const QString& text : {effect->displayName(), effect->toolDescription(),
                                    effect->howToDescription(), effect->category()})
            EXPECT_FALSE(text.isEmpty()) << name.toStdString();
        EXPECT_TRUE(effect->hasInputForInputKey(QStringLiteral("intensity"))) << name.toStdString();
        EXPECT_FALSE(effect->beforeIcon().isNull()) << name.toStdString();
        EXPECT_FALSE(effect->afterIcon().isNull()) << name.toStdString();
        brushLists << effect->brushTypes().join(QLatin1Char(','));
        groups << effect->category().section(QLatin1Char('.'), 0, 0);
        if (effect->brushTypes().contains(QStringLiteral("smartBrush"))) {
            EXPECT_FALSE(
                effect->defaultBrushValueForKey(QStringLiteral("smartBrushType")).toString().isEmpty())
                << name.toStdString();
        }
    }
    for (const char* list :
         {"brush,eraser", "smartBrush,brush,eraser", "click,brush,eraser", "click,smartBrush,brush,eraser"})
        EXPECT_TRUE(brushLists.contains(QString::fromLatin1(list))) << list;
    EXPECT_EQ(groups, (QSet<QString>{"Skin", "Eyes", "Hair & Face", "Light & Colour"}));
}

// Intensity 0 gives the photo back within one level; intensity 1 is strong but stays a picture:
// every value finite and no more than a twentieth outside 0..1 (overshoots of a detail layer at the
// darkest and brightest pixels, which the output clips unseen).
TEST_P(ProductEffect, IntensityZeroIsTheIdentityAndOneStaysInRange)
{
    const auto effect = products().effectBlueprintWithName(GetParam());
    ASSERT_TRUE(effect);
    const Image& photo = portrait();
    const Rect extent = photo.extent();
    const Image mask = Image::constantColor(Color(1, 1, 1, 1)).imageByCroppingToRect(extent);
    const Image additional = GMBlueprintCheck::standInAdditionalImage(*effect, extent);

    const Image none =
        GMEffectComposer::composedImage(*effect, photo, mask, additional, {{"intensity", 0.0}});
    EXPECT_LE(largestDifference(none, photo, extent), 1);

    const Image full =
        GMEffectComposer::composedImage(*effect, photo, mask, additional, {{"intensity", 1.0}});
    EXPECT_GT(largestDifference(full, photo, extent), 4) << "intensity 1 shows";
    const auto pixels = context().render(full, extent, Bitmap::Format::RGBAf);
    ASSERT_TRUE(pixels);
    const float* values = reinterpret_cast<const float*>(pixels->data());
    int outside = 0;
    for (size_t i = 0; i < pixels->byteCount() / 4; ++i)
        outside += !std::isfinite(values[i]) || values[i] < -0.05f || values[i] > 1.05f;
    EXPECT_EQ(outside, 0);
}

// Kernels computed inside the passes of the kernels that read them give what passes of their own give.
TEST_P(ProductEffect, FusedPassesGiveWhatSeparatePassesGive)
{
    const auto effect = products().effectBlueprintWithName(GetParam());
    ASSERT_TRUE(effect);
    const Image& photo = portrait();
    const Rect extent = photo.extent();
    // A mask with an edge across the face, so that both sides of every mask read show.
    const Image mask = Image::constantColor(Color(1, 1, 1, 1))
                           .imageByCroppingToRect(Rect(0, 0, extent.width() * 0.6, extent.height()))
                           .imageByCompositingOverImage(Image::constantColor(Color(0.3, 0.3, 0.3, 1)))
                           .imageByCroppingToRect(extent);
    const Image additional = GMBlueprintCheck::standInAdditionalImage(*effect, extent);
    const Image full =
        GMEffectComposer::composedImage(*effect, photo, mask, additional, {{"intensity", 1.0}});
    uint64_t passes[2] = {0, 0};
    std::optional<Bitmap> pixels[2];
    for (bool fused : {false, true}) {
        RenderStatistics::setFusionEnabled(fused);
        // An earlier large render may still have its paths measured in the background, and those
        // passes count too.
        RenderContext::waitForPathMeasures();
        RenderStatistics::resetPasses();
        pixels[fused] = context().render(full, extent, Bitmap::Format::RGBA8);
        passes[fused] = RenderStatistics::passes();
    }
    RenderStatistics::setFusionEnabled(true);
    ASSERT_TRUE(pixels[0] && pixels[1]);
    int worst = 0;
    for (size_t i = 0; i < pixels[0]->byteCount(); ++i)
        worst = std::max(worst, std::abs(int(pixels[0]->data()[i]) - int(pixels[1]->data()[i])));
    EXPECT_LE(worst, 1);
    EXPECT_LE(passes[1], passes[0]);
}

INSTANTIATE_TEST_SUITE_P(Catalogue, ProductEffect, testing::ValuesIn(productNames()),
                         [](const testing::TestParamInfo<QString>& info) {
                             return info.param.toStdString();
                         });

// The build renders the icons into the built resources; a second run makes the same pixels.
TEST(EffectCatalogue, IconsAreMadeAgainTheSame)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    ChildProcess sheet;
    ASSERT_TRUE(sheet.start(QStringLiteral(GLIMORA_EFFECT_SHEET), {QStringLiteral("icons"), folder.path()}));
    ASSERT_TRUE(sheet.waitForFinished(300000));
    ASSERT_EQ(sheet.exitCode(), 0) << sheet.errors().toStdString();
    const QStringList made =
        QDir(folder.path()).entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name);
    EXPECT_EQ(made.size(), 2 * qsizetype(productNames().size()));
    const QDir built(qEnvironmentVariable("PF_BUILT_RESOURCES_DIR") + QStringLiteral("/Images"));
    for (const QString& file : made) {
        const QImage a = QImage(QDir(folder.path()).filePath(file)).convertToFormat(QImage::Format_RGBA8888);
        const QImage b = QImage(built.filePath(file)).convertToFormat(QImage::Format_RGBA8888);
        ASSERT_EQ(a.size(), b.size()) << file.toStdString();
        int worst = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width() * 4; ++x)
                worst = std::max(worst, std::abs(int(a.constScanLine(y)[x]) - int(b.constScanLine(y)[x])));
        EXPECT_LE(worst, 1) << file.toStdString();
    }
}

namespace {

// The luma of an image's pixels, rows top-down.
struct Luma
{
    int width = 0, height = 0;
    std::vector<float> values;
    float at(int x, int y) const
    {
        return values[size_t(std::clamp(y, 0, height - 1) * width + std::clamp(x, 0, width - 1))];
    }
};

Luma lumaOf(const Image& image)
{
    Luma l;
    const auto pixels = context().render(image, image.extent(), Bitmap::Format::RGBAf);
    if (!pixels)
        return l;
    l.width = pixels->width(), l.height = pixels->height();
    for (int y = 0; y < l.height; ++y) {
        const float* row = reinterpret_cast<const float*>(pixels->row(y));
        for (int x = 0; x < l.width; ++x)
            l.values.push_back(0.299f * row[4 * x] + 0.587f * row[4 * x + 1] + 0.114f * row[4 * x + 2]);
    }
    return l;
}

// A Gaussian blur of standard deviation sigma, edges repeated.
Luma blurred(const Luma& in, double sigma)
{
    Luma out = in;
    out.values = referenceGaussian(in.values, in.width, in.height, sigma);
    return out;
}

// The mean square of a - b over the pixels where the region's mask is full.
double energy(const Luma& a, const Luma& b, const QImage& region)
{
    double sum = 0;
    int n = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            if (qGray(region.pixel(x, y)) > 240) {
                const double d = a.at(x, y) - (b.values.empty() ? 0.0 : b.at(x, y));
                sum += d * d;
                ++n;
            }
    return n ? sum / n : 0;
}

// The mean squared gradient where the region's mask is set.
double gradientEnergy(const Luma& l, const QImage& region)
{
    double sum = 0;
    int n = 0;
    for (int y = 0; y < l.height; ++y)
        for (int x = 0; x < l.width; ++x)
            if (qGray(region.pixel(x, y)) > 128) {
                const double gx = l.at(x + 1, y) - l.at(x - 1, y), gy = l.at(x, y + 1) - l.at(x, y - 1);
                sum += gx * gx + gy * gy;
                ++n;
            }
    return n ? sum / n : 0;
}

// Skin at a portrait's scale, 800 pixels wide with a face of about 240: an even tone with a gentle
// light gradient, blotches (soft bumps of 5 to 9 pixels), pores (grain of a pixel or so), and two
// features with crisp edges, an eye (a dark ellipse) and lips (a red band).
struct SyntheticSkin
{
    Image image;
    QImage skin;     // plain skin, away from the features
    QImage features; // a band around the features' edges
};

SyntheticSkin syntheticSkin()
{
    const int size = 800;
    std::mt19937 random(7);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::vector<float> blotch(size_t(size * size), 0.0f);
    for (int i = 0; i < 220; ++i) {
        const float cx = unit(random) * size, cy = unit(random) * size, s = 5 + 4 * unit(random);
        const float depth = (unit(random) - 0.4f) * 0.09f;
        for (int y = std::max(0, int(cy - 3 * s)); y < std::min(size, int(cy + 3 * s)); ++y)
            for (int x = std::max(0, int(cx - 3 * s)); x < std::min(size, int(cx + 3 * s)); ++x)
                blotch[size_t(y * size + x)] +=
                    depth * std::exp(-((x - cx) * (x - cx) + (y - cy) * (y - cy)) / (2 * s * s));
    }
    Bitmap bitmap(size, size, Bitmap::Format::RGBAf);
    QImage skin(size, size, QImage::Format_Grayscale8), features(size, size, QImage::Format_Grayscale8);
    for (int y = 0; y < size; ++y) {
        float* row = reinterpret_cast<float*>(bitmap.mutableRow(y));
        for (int x = 0; x < size; ++x) {
            const float eye = std::hypot((x - 250) / 60.0f, (y - 300) / 22.0f);
            const float lip = std::abs(y - 560.0f) / 18.0f + std::abs(x - 400.0f) / 130.0f;
            const float pore = (unit(random) - 0.5f) * 0.05f;
            float r = 0.82f - 0.1f * y / size + blotch[size_t(y * size + x)] + pore;
            float g = r * 0.8f, b = r * 0.68f;
            if (eye < 1) // the eye's dark iris and lashes
                r = 0.15f + pore, g = 0.11f + pore, b = 0.09f + pore;
            if (lip < 1)
                r = 0.72f + pore, g = 0.36f + pore, b = 0.38f + pore;
            row[4 * x] = r, row[4 * x + 1] = g, row[4 * x + 2] = b, row[4 * x + 3] = 1;
            const float nearest = std::min(std::abs(eye - 1) * 22, std::abs(lip - 1) * 18);
            features.scanLine(y)[x] = nearest < 4 ? 255 : 0;
            skin.scanLine(y)[x] =
                eye > 2.2f && lip > 2.2f && x > 40 && y > 40 && x < size - 40 && y < size - 40 ? 255 : 0;
        }
    }
    return {Image::fromBitmap(bitmap), skin, features};
}

} // namespace

// Painted over a face at its default intensity, the smoothing halves the skin's blotches (the band
// from pore size to a tenth of the face) and leaves the edges of eyes and lips within 10 %. (How much
// of the pores it keeps, at full intensity, is held in SmoothSkinEffect.SmoothsSkinAtEveryFaceSize.)
TEST(EffectCatalogue, SmoothingEvensBlotchesAndKeepsPoresAndEdges)
{
    FilterLibrary::registerAll();
    const SyntheticSkin face = syntheticSkin();
    const auto effect = products().effectBlueprintWithName(QStringLiteral("SkinSmoothing"));
    ASSERT_TRUE(effect);
    const Image everywhere =
        Image::constantColor(Color(1, 1, 1, 1)).imageByCroppingToRect(face.image.extent());
    const Luma before = lumaOf(face.image);
    // The face is about 240 pixels wide: the detector's box around it (hair and ears beside the cheeks)
    // about 450.
    const Luma after =
        lumaOf(GMEffectComposer::composedImage(*effect, face.image, everywhere, Image(), {}, nullptr, 450));
    ASSERT_EQ(after.values.size(), before.values.size());

    auto band = [](const Luma& l, double fine, double coarse) {
        return std::pair{blurred(l, fine), blurred(l, coarse)};
    };
    const auto [bb, bbLow] = band(before, 1.5, 12);
    const auto [ba, baLow] = band(after, 1.5, 12);
    const double blotchKept = energy(ba, baLow, face.skin) / energy(bb, bbLow, face.skin);
    EXPECT_LE(blotchKept, 0.5);
    const double edgesKept = gradientEnergy(after, face.features) / gradientEnergy(before, face.features);
    EXPECT_NEAR(edgesKept, 1.0, 0.1);
}
