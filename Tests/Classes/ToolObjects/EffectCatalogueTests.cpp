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

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

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

INSTANTIATE_TEST_SUITE_P(Catalogue, ProductEffect, testing::ValuesIn(productNames()),
                         [](const testing::TestParamInfo<QString>& info) {
                             return info.param.toStdString();
                         });

// The build renders the icons into the built resources; a second run makes the same pixels.
TEST(EffectCatalogue, IconsAreMadeAgainTheSame)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QProcess sheet;
    sheet.start(QStringLiteral(GLIMORA_EFFECT_SHEET), {QStringLiteral("icons"), folder.path()});
    ASSERT_TRUE(sheet.waitForFinished(300000));
    ASSERT_EQ(sheet.exitCode(), 0) << sheet.readAllStandardError().toStdString();
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
