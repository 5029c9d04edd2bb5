#include "Classes/ToolObjects/BundleReader.h"
#include "Classes/ToolObjects/GMBlueprintCatalog.h"
#include "Classes/ToolObjects/GMBlueprintCheck.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/MainThread.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/RenderContext.h"

#include <QFile>
#include <gtest/gtest.h>
#include <mutex>

using namespace pf;

namespace {

const Bundle& testBundle()
{
    static const Bundle bundle(QStringLiteral(GLIMORA_TESTS_DATA_DIR "/Blueprints"));
    return bundle;
}

Image testPhoto()
{
    const QString path = QStringLiteral(GLIMORA_TESTDATA_DIR "/portrait-512.png");
    if (QFile::exists(path))
        return Image::fromFile(path).imageByApplyingTransform(AffineTransform::scale(0.25, 0.25));
    return Image::constantColor(Color(0.8, 0.6, 0.5)).imageByCroppingToRect(Rect(0, 0, 128, 128));
}

RenderContext& context()
{
    static RenderContext context(QStringLiteral("blueprint tests"));
    return context;
}

} // namespace

TEST(GMBlueprintCatalog, LoadsByNameAndCategoryAndParsesOnce)
{
    GMBlueprintCatalog catalog;
    BundleReader::loadAllPluginsInPhotoToolCatalog(catalog, testBundle());
    QStringList names = catalog.effectBlueprintNames();
    names.sort();
    EXPECT_EQ(names, (QStringList{"TestGrey", "TestTint"}));
    EXPECT_EQ(catalog.effectBlueprintNamesInCategoryWithPath("Test.Colour"), QStringList{"TestTint"});
    const QVariantMap test = catalog.rootCategory().value("subCategories").toMap().value("Test").toMap();
    EXPECT_EQ(test.value("path").toString(), "Test");
    const QVariantMap sub = test.value("subCategories").toMap();
    EXPECT_EQ(sub.value("Colour").toMap().value("path").toString(), "Test.Colour");
    EXPECT_EQ(sub.value("Geometry").toMap().value("path").toString(), "Test.Geometry");

    auto tint = catalog.effectBlueprintWithName("TestTint");
    ASSERT_TRUE(tint);
    EXPECT_EQ(tint, catalog.effectBlueprintWithName("TestTint"));
    EXPECT_EQ(tint->photoToolName(), "TestTint");
    EXPECT_EQ(tint->brushTypes(), (QStringList{"click", "eraser"}));
    EXPECT_EQ(tint->defaultValueForInputKey("brushSize").toDouble(), 0.3);
    EXPECT_EQ(tint->defaultValueForInputKey("brushHardness").toDouble(), 0.5);
    EXPECT_EQ(tint->defaultSettingsValues().value("color").value<Color>(), Color(1, 0.5, 0, 1));
    auto grey = catalog.effectBlueprintWithName("TestGrey");
    EXPECT_TRUE(grey->brushTypes().isEmpty());
    LogCapture capture;
    EXPECT_FALSE(catalog.effectBlueprintWithName("Nothing"));
    EXPECT_EQ(capture.lines(), QStringList{"Warning: BlueprintCatalog could not load Nothing"});
}

TEST(GMBlueprintCatalog, ReplacingANameKeepsBothTablesConsistent)
{
    GMBlueprintCatalog catalog;
    catalog.registerBlueprint({{"name", "Effect"}, {"category", "Old"}});
    catalog.registerBlueprint({{"name", "Effect"}, {"category", "New"}});
    EXPECT_TRUE(catalog.effectBlueprintNamesInCategoryWithPath("Old").isEmpty());
    EXPECT_EQ(catalog.effectBlueprintNamesInCategoryWithPath("New"), QStringList{"Effect"});
    EXPECT_EQ(catalog.effectBlueprintNames(), QStringList{"Effect"});
}

TEST(GMBlueprintCatalog, BrowserItemsFallBackToThePhotoAndEmptyIcons)
{
    GMBlueprintCatalog catalog;
    BundleReader::loadAllPluginsInPhotoToolCatalog(catalog, testBundle());
    QImage photo(400, 200, QImage::Format_ARGB32);
    photo.fill(Qt::blue);
    const QVariantList items = catalog.collectionViewItemsWithImage(photo);
    ASSERT_EQ(items.size(), 2);
    const QVariantMap first = items[0].toMap();
    EXPECT_EQ(first.value("displayName").toString(), "Grey"); // sorted by display name
    EXPECT_EQ(first.value("previewBeforeIcon").value<QImage>().size(), QSize(120, 60));
    EXPECT_EQ(first.value("previewAfterIcon").value<QImage>().size(), QSize(100, 100));
    EXPECT_TRUE(items[1].toMap().value("best").toBool());
}

TEST(GMBlueprintCatalog, TheBrowsersTilesMakeNoBlueprintAndPreparingMakesEachOnceOffTheMainThread)
{
    // Every filter the effect's graph makes is counted, with the thread that made it.
    struct Made
    {
        std::mutex mutex;
        int count = 0;
        int onMainThread = 0;
    };
    static Made made;
    // A repeated run counts afresh.
    made.count = made.onMainThread = 0;
    const Filter::Factory grey = Filter::factory(QStringLiteral("GMColor2IntensityFilter"));
    ASSERT_TRUE(grey);
    Filter::registerFilter(QStringLiteral("CountedFilter"), [grey] {
        std::lock_guard lock(made.mutex);
        ++made.count;
        made.onMainThread += pf::isMainThread() ? 1 : 0;
        return grey();
    });

    LogCapture quiet; // the bare effects have no composition of their own
    GMBlueprintCatalog catalog;
    for (const QString name : {"First", "Second"})
        catalog.registerBlueprint(
            {{"name", name},
             {"displayName", name},
             {"filter", QVariantMap{{"CIFilterName", "CountedFilter"},
                                    {"inputValues", QVariantMap{{"inputImage", "originalImage"}}}}}});
    const QVariantList items = catalog.collectionViewItemsWithImage(QImage());
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0].toMap().value("name").toString(), "First");
    EXPECT_EQ(made.count, 0) << "a tile shows only what the dictionary holds";

    const auto prepared = catalog.prepareAllInBackground();
    EXPECT_EQ(prepared.wait_for(std::chrono::seconds(60)), std::future_status::ready);
    EXPECT_EQ(catalog.prepareAllInBackground().wait_for(std::chrono::seconds(0)), std::future_status::ready)
        << "started once";
    const int afterPreparing = made.count;
    EXPECT_GE(afterPreparing, 2);
    EXPECT_EQ(made.onMainThread, 0);
    // Chosen later, the effects are the ones made then: nothing is parsed again.
    const auto first = catalog.effectBlueprintWithName("First");
    ASSERT_TRUE(first);
    EXPECT_EQ(first, catalog.effectBlueprintWithName("First"));
    EXPECT_EQ(made.count, afterPreparing);
}

TEST(GMBlueprintCheck, TestBlueprintsPassAndRender)
{
    const QStringList problems = GMBlueprintCheck::checkBundle(testBundle(), testPhoto(), context());
    EXPECT_TRUE(problems.isEmpty()) << problems.join("\n").toStdString();
}

TEST(GMBlueprintCheck, EachKindOfBrokenBlueprintIsNamed)
{
    const Bundle broken(QStringLiteral(GLIMORA_TESTS_DATA_DIR "/BrokenBlueprints"));
    const QStringList problems = GMBlueprintCheck::checkBundle(broken, testPhoto(), context());
    auto has = [&](const QString& effect, const QString& fragment) {
        for (const QString& problem : problems) {
            if (problem.startsWith(effect + ": ") && problem.contains(fragment))
                return true;
        }
        return false;
    };
    EXPECT_TRUE(has("UnknownFilter", "unknown filter 'NoSuchFilter'")) << problems.join("\n").toStdString();
    EXPECT_TRUE(has("UnknownKey", "inputNothing"));
    EXPECT_TRUE(has("UnknownReference", "maskk"));
    EXPECT_TRUE(has("ZeroLink", "always receives 0"));
    EXPECT_TRUE(has("NoMask", "does not use the mask"));
    EXPECT_TRUE(has("BadComposition", "does not take \"inputBackgroundImage\""));
    EXPECT_TRUE(has("OutsideTheMask", "pixels of the right half change"));
}

// Every effect the application ships: fails naming the effect and the problem.
TEST(GMBlueprintCheck, ProductBlueprintsPass)
{
    const QStringList problems = GMBlueprintCheck::checkBundle(Bundle::main(), testPhoto(), context());
    EXPECT_TRUE(problems.isEmpty()) << problems.join("\n").toStdString();
}
