#include "Classes/Filters/OVAdjustableBlendFilter.h"
#include "Classes/Frames/OVFrameCatalog.h"
#include "FramesTestSupport.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Foundation/UndoManager.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/UI/Alert.h"
#include "Platform/UI/SteppedClock.h"

#include <QCoreApplication>
#include <QDir>
#include <gtest/gtest.h>

using namespace framestest;

namespace {

OVFrameDescriptionPtr newFrame(const QString& name)
{
    auto frame = std::make_shared<OVFrameDescription>(
        QVariantMap{{"Texture", "Plain Color"}, {"Texture.Color", "0.5 0.5 0.5 1"}},
        OVFrameCatalog::framesBundlePath(), true);
    frame->setName(name);
    return frame;
}

QVariantMap storedFrames(const QString& path)
{
    return pf::PropertyList::fromFile(path).value_or(QVariant()).toMap();
}

QByteArray storedBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

struct UserCatalog
{
    QTemporaryDir dir;
    pf::SteppedClock clock;
    QString path = dir.filePath("UserFrames.plist");
    OVFrameCatalog catalog{OVFrameCatalog::framesBundlePath(), path};
    UserCatalog() { catalog.setPeerCatalog(&OVFrameCatalog::sharedFrameCatalog()); }
};

} // namespace

TEST(OVFrameCatalog, AFreshUserCatalogListsOnlyTheSystemFrames)
{
    UserCatalog user;
    EXPECT_TRUE(user.catalog.frameIDs().isEmpty());
    const QStringList& system = OVFrameCatalog::sharedFrameCatalog().frameIDs();
    ASSERT_GE(system.size(), 16) << "twelve frames and four headers";
    // Headers and frames sorted by display text: each frame sits under its group's header.
    const qsizetype wood = system.indexOf("Wood -");
    ASSERT_GE(wood, 0);
    EXPECT_EQ(OVFrameCatalog::sharedFrameCatalog().frameWithName(system[wood + 1])->name().left(7),
              "Wood - ");
    EXPECT_EQ(OVFrameCatalog::allFrameNames().mid(0, 2), QStringList({"Plain Frame", "-"}));
    EXPECT_EQ(OVFrameCatalog::frameWithNameInCatalogs("Plain Frame"), OVFrameCatalog::defaultFrame());
    EXPECT_EQ(OVFrameCatalog::frameWithNameInCatalogs("Wood - Walnut")->textureName(),
              "ORV-T#011#Wood-Walnut");

    // The system catalog refuses every change.
    OVFrameCatalog& shared = OVFrameCatalog::sharedFrameCatalog();
    const QStringList before = shared.frameIDs();
    shared.removeFrameAtIndex(0);
    shared.removeFrameName("Wood - Walnut");
    EXPECT_FALSE(shared.renameFrameID("Wood - Walnut", "Mine"));
    EXPECT_EQ(shared.frameIDs(), before);
}

TEST(OVFrameCatalog, RenamesOnlyToNewNonEmptyNamesAndUndoesTheRename)
{
    UserCatalog user;
    pf::UndoManager undo;
    user.catalog.setUndoManager(&undo);
    user.catalog.addFrame(newFrame("First"), "FRM-U#101#");
    user.catalog.addFrame(newFrame("Second"), "FRM-U#102#");
    QCoreApplication::processEvents();
    user.clock.advance(31);
    QStringList renames;
    pf::ObserverToken token = pf::NotificationCenter::defaultCenter().addObserver(
        "OVFrameNameChanged", &user.catalog, [&](const pf::Notification& n) {
            renames << n.userInfo.value("ID").toString() + "=" + n.userInfo.value("Name").toString();
        });
    for (const char* taken : {"Second", "Wood - Walnut", "", " "})
        EXPECT_FALSE(user.catalog.renameFrameID("FRM-U#101#", QString::fromLatin1(taken))) << taken;
    EXPECT_FALSE(user.catalog.renameFrameID("No Such Frame", "Third"));
    EXPECT_TRUE(renames.isEmpty());

    EXPECT_TRUE(user.catalog.renameFrameID("First", "Third"));
    EXPECT_EQ(user.catalog.frameWithName("FRM-U#101#")->name(), "Third");
    QCoreApplication::processEvents();
    undo.undo();
    EXPECT_EQ(user.catalog.frameWithName("FRM-U#101#")->name(), "First");
    EXPECT_EQ(user.catalog.frameIDForName("First"), "FRM-U#101#");
    EXPECT_EQ(renames, QStringList({"FRM-U#101#=Third", "FRM-U#101#=First"}));
    EXPECT_TRUE(user.catalog.savePending());
    user.clock.advance(31);
    EXPECT_FALSE(user.catalog.savePending());
    EXPECT_EQ(storedFrames(user.path).value("FRM-U#101#").toMap().value("Name"), "First");
    user.catalog.setUndoManager(nullptr);
}

TEST(OVFrameCatalog, BatchesChangesIntoOneDelayedWriteAndWritesAtQuit)
{
    UserCatalog user;
    pf::UndoManager undo;
    user.catalog.setUndoManager(&undo);
    auto frame = newFrame("Mine");
    user.catalog.addFrame(frame, "FRM-U#201#");
    user.clock.advance(10);
    frame->setTextureColor(pf::Color(1, 0, 0, 1));
    user.clock.advance(19);
    EXPECT_FALSE(QFileInfo::exists(user.path)) << "written before the delay";
    user.clock.advance(1.5);
    const QVariantMap stored = storedFrames(user.path).value("FRM-U#201#").toMap();
    EXPECT_EQ(pf::Color::fromString(stored.value("Texture.Color").toString()), pf::Color(1, 0, 0, 1));
    EXPECT_EQ(user.clock.pendingCount(), 0);

    // Adding, then quitting before the delay is up, keeps the new frame.
    user.catalog.addFrame(newFrame("Added"), "FRM-U#202#");
    QMetaObject::invokeMethod(QCoreApplication::instance(), "aboutToQuit", Qt::DirectConnection);
    EXPECT_TRUE(storedFrames(user.path).contains("FRM-U#202#"));
    OVFrameCatalog reloaded(OVFrameCatalog::framesBundlePath(), user.path);
    EXPECT_EQ(reloaded.frameIDs(), QStringList({"FRM-U#202#", "FRM-U#201#"})) << "sorted by name";
    EXPECT_EQ(reloaded.frameWithName("Mine")->textureColor(), pf::Color(1, 0, 0, 1));

    // Undoing the addition removes the frame again, and that reaches the file too.
    QCoreApplication::processEvents();
    undo.undo();
    EXPECT_EQ(user.catalog.frameWithName("FRM-U#202#"), nullptr);
    user.clock.advance(31);
    EXPECT_FALSE(storedFrames(user.path).contains("FRM-U#202#"));
    user.catalog.setUndoManager(nullptr);
}

TEST(OVFrameCatalog, AFailedWriteIsReportedAndStaysPending)
{
    QTemporaryDir dir;
    pf::SteppedClock clock;
    QFile blocker(dir.filePath("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    OVFrameCatalog catalog(OVFrameCatalog::framesBundlePath(), dir.filePath("file/UserFrames.plist"));
    catalog.addFrame(newFrame("Kept"), "FRM-U#301#");
    pf::LogCapture log;
    clock.advance(31);
    EXPECT_TRUE(log.contains("Warning: Could not save the user frames"));
    EXPECT_TRUE(catalog.savePending());
    EXPECT_EQ(clock.pendingCount(), 1) << "no further try scheduled";
    // Nothing is removed or refused for it; the frame is still there.
    EXPECT_NE(catalog.frameWithName("Kept"), nullptr);
    // Headers and indexes past the end are no frames to remove.
    catalog.removeFrameAtIndex(5);
    EXPECT_EQ(catalog.frameIDs().size(), 1);
}

TEST(OVFrameCatalog, NextFrameIDCountsOnAndSkipsIDsInUse)
{
    pf::SteppedClock clock;
    pf::UserDefaults::standard().setInteger("CurrentFrameIndex", 7);
    EXPECT_EQ(OVFrameCatalog::nextFrameID(), "FRM-U#008#");
    EXPECT_EQ(pf::UserDefaults::standard().integerForKey("CurrentFrameIndex"), 8);
    OVFrameCatalog& user = OVFrameCatalog::sharedUserFrameCatalog();
    user.addFrame(newFrame("Taken"), "FRM-U#009#");
    EXPECT_EQ(OVFrameCatalog::nextFrameID(), "FRM-U#010#");
    user.removeFrameName("FRM-U#009#");
}

TEST(OVFrameCatalog, ReadsShadeSettingsFromTheFileName)
{
    struct Case
    {
        const char* file;
        double width, corner;
        qint64 rx, ry;
        const char* internal;
        const char* external;
        const char* blend;
    };
    const Case cases[] = {
        {"FRM-S#001#A#40-20.png", 40, 20, 0, 0, "", "", ""},
        {"FRM-S#002#B.png", 256, 0, 0, 0, "", "", ""},
        {"FRM-S#003#C#48-0-2-3-I#003-E#001.png", 48, 0, 2, 3, "FRM-I#003#", "FRM-E#001#", ""},
        {"FRM-S#004#D#48-0-0-0-E#001-B#multiply.png", 48, 0, 0, 0, "", "FRM-E#001#", "multiply"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const QVariantMap s = OVFrameCatalog::shadeSettingsForFile(QString("/b/Shades/") + c.file);
        EXPECT_EQ(s.value("width").toDouble(), c.width);
        EXPECT_EQ(s.value("corner").toDouble(), c.corner);
        EXPECT_EQ(s.value("repeat.x").toLongLong(), c.rx);
        EXPECT_EQ(s.value("repeat.y").toLongLong(), c.ry);
        EXPECT_EQ(s.value("internal").toString(), QString::fromLatin1(c.internal));
        EXPECT_EQ(s.value("external").toString(), QString::fromLatin1(c.external));
        EXPECT_EQ(s.value("blend").toString(), QString::fromLatin1(c.blend));
    }
    const QStringList& shades = OVFrameCatalog::sharedShadeNames();
    EXPECT_LT(shades.indexOf("Join -"), shades.indexOf("FRM-S#010#Join-Mitre"));
    EXPECT_EQ(OVFrameCatalog::sharedInternalMaskNames().first(), "FRM-I#000#Internal-Auto");
}

// A shade whose blend mode no kernel has loads as source-over and lays its ground over the frame (the
// highlights' black made seven frames nearly black): every shipped frame names blend modes that exist,
// and every shade it names loads.
TEST(OVFrameCatalog, EveryShippedFrameLoadsItsShadesInBlendModesThatExist)
{
    const QVariantMap stored = storedFrames(QDir(OVFrameCatalog::framesBundlePath()).filePath("Info.plist"));
    ASSERT_GE(stored.size(), 10);
    const QStringList modes = OVAdjustableBlendFilter::blendModeNames();
    for (auto it = stored.begin(); it != stored.end(); ++it) {
        SCOPED_TRACE(it.key().toStdString());
        const QVariantList entries = it.value().toMap().value("Shades").toList();
        const OVFrameDescriptionPtr frame = OVFrameCatalog::sharedFrameCatalog().frameWithName(it.key());
        ASSERT_TRUE(frame);
        ASSERT_EQ(frame->shades().size(), size_t(entries.size())) << "every shade is found";
        for (int i = 0; i < entries.size(); ++i) {
            const QString mode = entries[i].toMap().value("BlendMode").toString();
            EXPECT_TRUE(modes.contains(mode)) << mode.toStdString();
            EXPECT_EQ(frame->shades()[size_t(i)]->blendMode(), mode);
            EXPECT_FALSE(frame->shades()[size_t(i)]->image().isNull());
        }
    }
    // The blend modes the shade files name for new shades exist too.
    const auto& shadeSettings = OVFrameCatalog::sharedShadeSettings();
    for (auto it = shadeSettings.begin(); it != shadeSettings.end(); ++it) {
        if (it.value().contains("blend")) {
            EXPECT_TRUE(modes.contains(it.value().value("blend").toString())) << it.key().toStdString();
        }
    }
}

// Mended: a user frames file that could not be read loaded as an empty catalog with a log line only,
// and the next save wrote over it without keeping a copy. It is kept beside (an earlier kept copy is
// not replaced), the user is told once, and new frames go into a new file.
TEST(OVFrameCatalog, AnUnreadableUserFileIsKeptAsideAndToldOnce)
{
    const QByteArray whole = *pf::PropertyList::toData(
        QVariantMap{{"FRM-U#001#", QVariantMap{{"Name", "Mine"}, {"Texture", "Plain Color"}}}},
        pf::PropertyList::Format::Xml);
    const struct
    {
        const char* what;
        QByteArray bytes;
        bool keptBefore;     // a damaged file kept at an earlier start
        bool folder = false; // a folder in the file's place, holding a file of these bytes
    } cases[] = {
        {"a folder in the file's place", "the user's own", false, true},
        {"bytes that are no property list", QByteArray("\x01\x02 no frames here", 17), false},
        {"a property list cut short", whole.left(whole.size() / 2), true},
        {"a property list holding no dictionary",
         *pf::PropertyList::toData(QVariantList{"FRM-U#001#"}, pf::PropertyList::Format::Xml), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        pf::SteppedClock clock;
        const QString path = dir.filePath("UserFrames.plist");
        const auto write = [](const QString& file, const QByteArray& bytes) {
            QFile out(file);
            return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
        };
        const QString written = c.folder ? path + "/inside" : path;
        ASSERT_TRUE(!c.folder || QDir().mkpath(path));
        ASSERT_TRUE(write(written, c.bytes));
        if (c.keptBefore) {
            ASSERT_TRUE(write(path + ".damaged", "kept before"));
        }
        QStringList told;
        pf::Alert::setResponder([&](const pf::Alert& alert) {
            told << alert.messageText;
            return pf::Alert::firstButtonReturn;
        });
        const QString kept = path + (c.keptBefore ? ".damaged-2" : ".damaged");
        {
            OVFrameCatalog catalog(OVFrameCatalog::framesBundlePath(), path);
            EXPECT_TRUE(catalog.frameIDs().isEmpty());
            QCoreApplication::processEvents();
            EXPECT_EQ(told, QStringList{"Your picture frames could not be read."});
            const QString keptBytes = c.folder ? kept + "/inside" : kept;
            EXPECT_EQ(storedBytes(keptBytes), c.bytes) << "kept as it was";
            if (c.keptBefore) {
                EXPECT_EQ(storedBytes(path + ".damaged"), "kept before");
            }
            catalog.addFrame(newFrame("New"), "FRM-U#401#");
            catalog.saveCatalogInstantly(true);
            EXPECT_TRUE(storedFrames(path).contains("FRM-U#401#"));
            EXPECT_EQ(storedBytes(keptBytes), c.bytes) << "the save wrote over the kept file";
        }
        OVFrameCatalog reloaded(OVFrameCatalog::framesBundlePath(), path);
        QCoreApplication::processEvents();
        EXPECT_EQ(reloaded.frameIDs(), QStringList{"FRM-U#401#"});
        EXPECT_EQ(told.size(), 1) << "told once";
        pf::Alert::setResponder({});
    }
}

// A user frames file that reads, but holds an entry that is no frame (a text, a list where a frame's
// dictionary belongs): the frames that read are there, the entry is not shown as a nameless frame, and
// the next save does not write over it unkept: the file as it was is kept beside, and the user told once.
TEST(OVFrameCatalog, AnEntryThatIsNoFrameIsLeftOutAndTheFileKept)
{
    const QVariantMap mine{{"Name", "Mine"}, {"Texture", "Plain Color"}};
    const struct
    {
        const char* what;
        QVariant entry;
    } cases[] = {
        {"a text", QStringLiteral("not a frame")},
        {"a list", QVariantList{1, 2}},
        {"a number", 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        pf::SteppedClock clock;
        const QString path = dir.filePath("UserFrames.plist");
        const QByteArray bytes = *pf::PropertyList::toData(
            QVariantMap{{"FRM-U#001#", mine}, {"FRM-U#002#", c.entry}}, pf::PropertyList::Format::Xml);
        {
            QFile out(path);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size());
        }
        QStringList told;
        pf::Alert::setResponder([&](const pf::Alert& alert) {
            told << alert.messageText;
            return pf::Alert::firstButtonReturn;
        });
        {
            OVFrameCatalog catalog(OVFrameCatalog::framesBundlePath(), path);
            EXPECT_EQ(catalog.frameIDs(), QStringList{"FRM-U#001#"});
            QCoreApplication::processEvents();
            EXPECT_EQ(told.size(), 1);
            catalog.addFrame(newFrame("New"), "FRM-U#401#");
            catalog.saveCatalogInstantly(true);
            EXPECT_EQ(storedFrames(path).keys(), (QStringList{"FRM-U#001#", "FRM-U#401#"}));
            EXPECT_EQ(storedBytes(path + ".damaged"), bytes) << "the file as it was is kept";
        }
        OVFrameCatalog reloaded(OVFrameCatalog::framesBundlePath(), path);
        QCoreApplication::processEvents();
        EXPECT_EQ(told.size(), 1) << "told once";
        pf::Alert::setResponder({});
    }
}
