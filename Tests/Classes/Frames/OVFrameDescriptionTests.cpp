#include "Classes/Filters/OVAdjustableBlendFilter.h"
#include "Classes/Frames/OVCombinedShadeDescription.h"
#include "Classes/Frames/OVFrameDescription.h"
#include "Classes/Framework/Toolkit/OVTempCleaner.h"
#include "Classes/Framework/Toolkit/UndoManagerORVExtension.h"
#include "FramesTestSupport.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Foundation/UndoManager.h"
#include "Platform/UI/Event.h"
#include "Platform/UI/SteppedClock.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

using namespace framestest;
using pf::Image;

namespace {

// A bundle with shades of several geometries and masks of every kind.
struct ShadeBundle : TempBundle
{
    ShadeBundle()
    {
        writeSolidPNG(file("Shades", "FRM-S#001#Dark#40-20.png"), 0.2);
        writeSolidPNG(file("Shades", "FRM-S#002#Darker#40-0.png"), 0.4);
        writeSolidPNG(file("Shades", "FRM-S#003#Light#40-20.png"), 0.8);
        writeSolidPNG(file("Shades", "FRM-S#004#Wide#60-20.png"), 0.5);
        writeSolidPNG(file("InternalMasks", "FRM-I#000#Internal-Auto#32-8.png"), 1.0);
        writeSolidPNG(file("InternalMasks", "FRM-I#002#Oval#32-16.png"), 1.0);
        writeSolidPNG(file("ExternalMasks", "FRM-E#001#Scalloped#48-4-3.png"), 1.0);
        writeSolidPNG(file("ExternalMasks", "FRM-E#002#Broken#0-4.png"), 1.0);
        writeSolidPNG(file("Masks", "FRM-M#001#Vignette.png"), 0.5);
        writeSolidPNG(file("Masks", "FRM-M#002#Torn.png"), 0.5);
    }
    QVariantMap shade(const char* name, const char* mode, double intensity) const
    {
        return {{"Shade", QString::fromLatin1(name)},
                {"BlendMode", QString::fromLatin1(mode)},
                {"Intensity", intensity}};
    }
};

// Counts the notifications a frame posts.
struct Posts
{
    explicit Posts(const void* sender)
    {
        token = pf::NotificationCenter::defaultCenter().addObserver(
            QString(), sender, [this](const pf::Notification& n) { names << n.name; });
    }
    QStringList names;
    pf::ObserverToken token;
};

} // namespace

TEST(OVFrameDescription, DictionaryRoundTrip)
{
    ShadeBundle bundle;
    pf::LogCapture log;
    const QVariantMap full{{"Name", "Oak"},
                           {"Texture", "Plain Color"},
                           {"Texture.Color", "0.5 0.25 1 1"},
                           {"TextureFillMode", qint64(4294967295LL)},
                           {"ExternalMask", "FRM-E#001#Scalloped"},
                           {"InternalMask", "FRM-I#002#Oval"},
                           {"ImageMask", "FRM-M#001#Vignette"},
                           {"Inset", 0.25},
                           {"Shades", QVariantList{bundle.shade("FRM-S#001#Dark", "multiply", 0.5),
                                                   bundle.shade("FRM-S#099#Gone", "multiply", 1.0),
                                                   bundle.shade("FRM-S#003#Light", "noSuchMode", 0.75)}}};
    OVFrameDescription frame(full, bundle.path(), true);
    EXPECT_TRUE(log.contains(QStringLiteral("Error: Did not find Shade 'FRM-S#099#Gone'")));
    // A texture outside the catalog leaves no name; the stored colour still wins.
    EXPECT_TRUE(frame.textureName().isEmpty());
    EXPECT_EQ(frame.textureColor(), pf::Color(0.5, 0.25, 1, 1));
    EXPECT_EQ(frame.textureFillMode(), -1);
    ASSERT_EQ(frame.shades().size(), 2u);
    EXPECT_EQ(frame.shades()[1]->blendMode(), QStringLiteral("sourceOver"));

    QVariantMap expected = full;
    expected.remove("Texture");
    expected["Shades"] = QVariantList{bundle.shade("FRM-S#001#Dark", "multiply", 0.5),
                                      bundle.shade("FRM-S#003#Light", "sourceOver", 0.75)};
    const QVariantMap saved = frame.saveDictionary();
    EXPECT_EQ(saved.keys(), expected.keys());
    for (const QString& key : expected.keys())
        if (key != "Texture.Color") {
            EXPECT_EQ(saved[key], expected[key]) << key.toStdString();
        }
    EXPECT_EQ(pf::Color::fromString(saved["Texture.Color"].toString()), pf::Color(0.5, 0.25, 1, 1));
    EXPECT_EQ(OVFrameDescription(saved, bundle.path(), true).saveDictionary(), saved);

    // Only a texture and a colour: the rest takes its defaults and is still written.
    OVFrameDescription sparse({{"Texture", "Plain Color"}, {"Texture.Color", "1 1 1 1"}}, bundle.path(),
                              false);
    sparse.setName("Sparse");
    EXPECT_EQ(sparse.saveDictionary(), (QVariantMap{{"Name", "Sparse"},
                                                    {"Texture.Color", pf::Color(1, 1, 1, 1).toString()},
                                                    {"TextureFillMode", qint64(0)},
                                                    {"Inset", 0.0}}));
    EXPECT_EQ(sparse.mask(), nullptr);
}

TEST(OVFrameDescription, JoinsAdjacentShadesOfOneCombinableModeAndGeometry)
{
    ShadeBundle bundle;
    struct Case
    {
        const char* what;
        QVariantList shades;
        std::vector<size_t> joined; // the number of shades in each entry of the optimised stack
    };
    const Case cases[] = {
        {"corners 20 and 0 join",
         {bundle.shade("FRM-S#001#Dark", "multiply", 0.5), bundle.shade("FRM-S#002#Darker", "multiply", 1.0)},
         {2}},
        {"an overlay between them prevents it",
         {bundle.shade("FRM-S#001#Dark", "multiply", 0.5), bundle.shade("FRM-S#003#Light", "overlay", 1),
          bundle.shade("FRM-S#002#Darker", "multiply", 1.0)},
         {1, 1, 1}},
        {"overlay is not combinable",
         {bundle.shade("FRM-S#001#Dark", "overlay", 1), bundle.shade("FRM-S#003#Light", "overlay", 1)},
         {1, 1}},
        {"widths differ",
         {bundle.shade("FRM-S#001#Dark", "multiply", 1), bundle.shade("FRM-S#004#Wide", "multiply", 1)},
         {1, 1}},
        {"three in a row",
         {bundle.shade("FRM-S#001#Dark", "sourceOver", 1), bundle.shade("FRM-S#002#Darker", "sourceOver", 1),
          bundle.shade("FRM-S#003#Light", "sourceOver", 1)},
         {3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OVFrameDescription frame({{"Shades", c.shades}}, bundle.path(), true);
        const auto optimized = frame.optimizedShades();
        ASSERT_EQ(optimized.size(), c.joined.size());
        for (size_t i = 0; i < optimized.size(); ++i)
            EXPECT_EQ(dynamic_cast<OVCombinedShadeDescription*>(optimized[i].get()) != nullptr,
                      c.joined[i] > 1);
        EXPECT_EQ(frame.shades().size(), size_t(c.shades.size())) << "the stored stack stays";
    }

    const auto joined =
        OVFrameDescription({{"Shades", QVariantList{bundle.shade("FRM-S#001#Dark", "multiply", 1),
                                                    bundle.shade("FRM-S#002#Darker", "multiply", 1)}}},
                           bundle.path(), true)
            .optimizedShades();
    ASSERT_EQ(joined.size(), 1u);
    EXPECT_EQ(joined[0]->corner(), 20);
    EXPECT_EQ(joined[0]->width(), 40);
}

// The joined shade, laid as the frame lays it, draws what laying the shades one by one draws, at any
// intensities (a join laid at the larger intensity was up to 24/255 off below full intensity).
TEST(OVFrameDescription, AJoinedStackDrawsWhatTheStackDraws)
{
    ShadeBundle bundle;
    const Image picture =
        Image::constantColor(pf::Color(0.8, 0.6, 0.3, 1)).imageByCroppingToRect(pf::Rect(0, 0, 16, 16));
    const auto lay = [](const Image& shade, const Image& under, const QString& mode, double intensity) {
        OVAdjustableBlendFilter blend;
        blend.setInputImage(shade);
        blend.setInputBackgroundImage(under);
        blend.setInputBlendName(mode);
        blend.setInputIntensity(intensity);
        return blend.outputImage();
    };
    for (const char* mode : {"multiply", "negativeMultiply", "sourceOver"}) {
        for (const auto& [lower, upper] : {std::pair{0.5, 0.5}, std::pair{1.0, 0.3}, std::pair{0.2, 0.9}}) {
            SCOPED_TRACE(std::string(mode) + " " + std::to_string(lower) + " / " + std::to_string(upper));
            OVFrameDescription frame(
                {{"Shades", QVariantList{bundle.shade("FRM-S#001#Dark", mode, lower),
                                         bundle.shade("FRM-S#002#Darker", mode, upper)}}},
                bundle.path(), true);
            const auto joined = frame.optimizedShades();
            ASSERT_EQ(joined.size(), 1u);
            auto* combined = dynamic_cast<OVCombinedShadeDescription*>(joined[0].get());
            ASSERT_TRUE(combined);
            combined->fixImages();
            Image stack = picture;
            for (const auto& shade : frame.shades())
                stack = lay(shade->image(), stack, shade->blendMode(), shade->intensity());
            const Pixels one = rendered(lay(combined->image(), picture, mode, combined->intensity()),
                                        pf::Rect(0, 0, 16, 16));
            const Pixels each = rendered(stack, pf::Rect(0, 0, 16, 16));
            ASSERT_FALSE(one.isNull() || each.isNull());
            for (size_t c = 0; c < 4; ++c)
                EXPECT_NEAR(one.at(8, 8)[c], each.at(8, 8)[c], 1.0 / 255) << "channel " << c;
        }
    }
}

TEST(OVFrameDescription, AShadeChangeAlwaysDropsTheJoinedStackAndPostsOnlyWithAnUndoManager)
{
    ShadeBundle bundle;
    OVFrameDescription frame({{"Shades", QVariantList{bundle.shade("FRM-S#001#Dark", "multiply", 1),
                                                      bundle.shade("FRM-S#002#Darker", "multiply", 1)}}},
                             bundle.path(), true);
    Posts posts(&frame);
    ASSERT_EQ(frame.optimizedShades().size(), 1u);
    frame.setShadeBlendMode(QStringLiteral("overlay"), 1);
    EXPECT_TRUE(posts.names.isEmpty());
    EXPECT_EQ(frame.optimizedShades().size(), 2u) << "a stale joined stack was kept";

    pf::UndoManager undo;
    frame.setUndoManager(&undo);
    frame.setShadeBlendMode(QStringLiteral("multiply"), 1);
    EXPECT_EQ(posts.names, QStringList({"FrameShadeChanged", "FrameChanged"}));
    EXPECT_EQ(frame.optimizedShades().size(), 1u);
    posts.names.clear();
    frame.setTextureColor(pf::Color(1, 0, 0, 1));
    frame.setInternalMaskName(QStringLiteral("FRM-I#002#Oval"));
    EXPECT_EQ(posts.names,
              QStringList({"FrameTextureChanged", "FrameChanged", "FrameMaskChanged", "FrameChanged"}));
    frame.setUndoManager(nullptr);
}

TEST(OVFrameDescription, AnIntensityDragIsOneUndoStep)
{
    ShadeBundle bundle;
    pf::UndoManager undo;
    OVFrameDescription frame({{"Shades", QVariantList{bundle.shade("FRM-S#001#Dark", "multiply", 0.3)}}},
                             bundle.path(), true);
    frame.setUndoManager(&undo);
    Posts posts(&frame);
    pf::Event::setPressedMouseButtonsProvider([] { return 1u; });
    for (double value : {0.4, 0.5, 0.6}) {
        frame.setShadeIntensity(value, 0);
        QCoreApplication::processEvents(); // each drag event arrives in a turn of its own
    }
    pf::Event::setPressedMouseButtonsProvider([] { return 0u; });
    UndoManagerORVExtension::gestureEndedFor(frame);
    EXPECT_EQ(undo.undoActionName(), QStringLiteral("Shade Intensity"));
    undo.undo();
    EXPECT_DOUBLE_EQ(frame.shades()[0]->intensity(), 0.3);
    EXPECT_TRUE(posts.names.contains(QStringLiteral("FrameUndo")));
    EXPECT_FALSE(undo.canUndo()) << "the drag left more than one step";
    undo.redo();
    EXPECT_DOUBLE_EQ(frame.shades()[0]->intensity(), 0.6);

    // Adding and removing shades undo by the shade itself.
    frame.addShade(std::make_shared<OVShadeDescription>(bundle.file("Shades", "FRM-S#003#Light#40-20.png"),
                                                        QStringLiteral("screen"), 1.0));
    QCoreApplication::processEvents();
    frame.removeShadeAtIndex(0);
    QCoreApplication::processEvents();
    ASSERT_EQ(frame.shades().size(), 1u);
    undo.undo();
    ASSERT_EQ(frame.shades().size(), 2u);
    EXPECT_EQ(frame.shades()[0]->name(), QStringLiteral("FRM-S#001#Dark"));
    undo.undo();
    EXPECT_EQ(frame.shades().size(), 1u);
    frame.setUndoManager(nullptr);
}

TEST(OVFrameDescription, ResolvesMasks)
{
    ShadeBundle bundle;
    struct Case
    {
        const char* what;
        const char* external;
        const char* internal;
        const char* imageURLStart; // empty: no mask
        double width, scale;
    };
    const Case cases[] = {
        {"external alone takes the first automatic internal mask", "FRM-E#001#Scalloped", "",
         "FRM-I#000#Internal-Auto", 48, 48.0 / 32},
        {"internal alone is the internal image", "", "FRM-I#002#Oval", "FRM-I#002#Oval", 32, 1},
        {"both", "FRM-E#001#Scalloped", "FRM-I#002#Oval", "FRM-I#002#Oval", 48, 48.0 / 32},
        {"names whose files are missing give no mask", "FRM-E#077#Gone", "FRM-I#077#Gone", "", 0, 0},
        {"no names", "", "", "", 0, 0},
        {"an external width of 0 stays finite", "FRM-E#002#Broken", "", "FRM-I#000#Internal-Auto", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OVFrameDescription frame({{"ExternalMask", c.external}, {"InternalMask", c.internal}}, bundle.path(),
                                 true);
        const auto mask = frame.mask();
        if (!*c.imageURLStart) {
            EXPECT_EQ(mask, nullptr);
            continue;
        }
        ASSERT_NE(mask, nullptr);
        EXPECT_TRUE(QFileInfo(mask->imageURL()).fileName().startsWith(QString::fromLatin1(c.imageURLStart)));
        EXPECT_EQ(mask->width(), c.width);
        auto* combined = dynamic_cast<OVMaskDescription*>(mask.get());
        ASSERT_NE(combined, nullptr);
        EXPECT_TRUE(std::isfinite(combined->scale()));
        EXPECT_DOUBLE_EQ(combined->scale(), c.scale);
        EXPECT_FALSE(mask->image().isNull());
        EXPECT_EQ(frame.mask(), mask) << "cached";
    }

    OVFrameDescription frame({{"ImageMask", "FRM-M#001#Vignette"}}, bundle.path(), true);
    ASSERT_NE(frame.imageMask(), nullptr);
    frame.setImageMaskName(QStringLiteral("FRM-M#002#Torn"));
    ASSERT_NE(frame.imageMask(), nullptr);
    EXPECT_EQ(frame.imageMask()->name(), QStringLiteral("FRM-M#002#Torn")) << "the old image mask was kept";
}

TEST(OVCombinedShadeDescription, WritesTheJoinedImageToItsOwnTemporaryFileOnly)
{
    ShadeBundle bundle;
    pf::SteppedClock clock;
    const QString darkPath = bundle.file("Shades", "FRM-S#001#Dark#40-20.png");
    OVShadeDescription light(bundle.file("Shades", "FRM-S#003#Light#40-20.png"), "sourceOver", 0.5);

    OVCombinedShadeDescription joined(darkPath, "sourceOver", 1.0);
    ASSERT_TRUE(joined.hasOwnFile());
    EXPECT_NE(joined.imageURL(), darkPath);
    EXPECT_TRUE(OVTempCleaner::sharedTempCleaner().registeredURLs().contains(joined.imageURL()));
    EXPECT_EQ(joined.width(), 40) << "the geometry is the shade file's";
    joined.addDescription(light);
    const double expected = 0.8 * 0.5 + 0.2 * 0.5;
    clock.advance(joined.cacheTime() + 1);
    EXPECT_FALSE(joined.hasChanges());
    EXPECT_TRUE(joined.hasCachedImage()) << "the image is kept after writing it";
    EXPECT_NEAR(rendered(pf::Image::fromFile(joined.imageURL()), pf::Rect(0, 0, 16, 16)).at(3, 3)[0],
                expected, 1.0 / 255);
    joined.image();
    clock.advance(joined.cacheTime() + 1);
    EXPECT_FALSE(joined.hasCachedImage());
    EXPECT_NEAR(rendered(joined.image(), pf::Rect(0, 0, 16, 16)).at(3, 3)[0], expected, 1.0 / 255);

    // A failed copy keeps the shade's own file, which the joined image must never overwrite.
    QFile original(darkPath);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray bytes = original.readAll();
    const QByteArray tmp = qgetenv("TMPDIR");
    // A temporary "folder" that is a file: no copy can be made in it.
    qputenv("TMPDIR", darkPath.toUtf8());
    pf::LogCapture log;
    OVCombinedShadeDescription stuck(darkPath, "sourceOver", 1.0);
    tmp.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", tmp);
    EXPECT_TRUE(log.contains(QStringLiteral("Warning: Could not copy file")));
    EXPECT_FALSE(stuck.hasOwnFile());
    EXPECT_EQ(stuck.imageURL(), darkPath);
    stuck.addDescription(light);
    stuck.clearCachedImage();
    stuck.clearCachedImage();
    EXPECT_TRUE(stuck.hasCachedImage()) << "the only copy of the joined image was dropped";
    QFile after(darkPath);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), bytes);
}
