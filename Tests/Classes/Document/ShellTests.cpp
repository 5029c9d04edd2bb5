#include "Classes/Document/DocumentHandler.h"
#include "Classes/Document/GMApplicationDelegate.h"
#include "Classes/Document/GMGridViewController.h"
#include "Classes/Document/GMLinks.h"
#include "Classes/Document/GMPreferencesWindowController.h"
#include "Classes/Document/OVSystemInfo.h"
#include "Classes/Framework/Toolkit/OVCachedImage.h"
#include "Classes/Framework/Toolkit/OVChildSupportWindow.h"
#include "Classes/Framework/Toolkit/OVTempCleaner.h"
#include "Classes/ToolObjects/GMFileUtilities.h"
#include "DocumentTestSupport.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/FileSystem.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Image/RenderContext.h"
#include "Platform/UI/FilePanel.h"
#include "Tests/ChildProcess.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QPdfDocument>
#include <QPdfView>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrlQuery>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/file.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace doctest;

namespace {

// No recent documents to begin with, and the shadow copies' registry at hand.
// Takes from this process (root's, in a container) the right to pass over files' permissions, which
// a user's start does not have.
void dropPermissionOverride()
{
    if (::geteuid() != 0)
        return;
    __user_cap_header_struct header = {_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    ASSERT_EQ(::syscall(SYS_capget, &header, data), 0);
    for (const int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
        data[0].effective &= ~(1u << capability);
    ASSERT_EQ(::syscall(SYS_capset, &header, data), 0);
}

class Shell : public WorkingAreaTest
{
protected:
    void SetUp() override
    {
        WorkingAreaTest::SetUp();
        if (HasFatalFailure())
            return;
        pf::UserDefaults::standard().removeObject("RecentDocuments");
    }
    void TearDown() override
    {
        WorkingAreaTest::TearDown();
        // The retention choices made here are no later test's: they keep the defaults.
        pf::UserDefaults::standard().removeObject("KeepSpan");
        pf::UserDefaults::standard().removeObject("KeepCount");
    }

    // A registry entry with a folder, as a save makes them.
    void keep(const QString& path, const QDateTime& time, bool pinned = false)
    {
        const QUrl folder = GMFileUtilities::handleURLAsShadowCopy(QUrl::fromLocalFile(path));
        QDir().mkpath(folder.toLocalFile());
        QFile(folder.toLocalFile() + "/content").open(QIODevice::WriteOnly);
        GMFileUtilities::setShadowCopyValues(path, {{"modification_time", time}, {"pinned", pinned}});
    }
    QStringList kept() const { return GMFileUtilities::shadowCopyDictionary().keys(); }
};

} // namespace

TEST_F(Shell, RetentionGoesOldestFirstAndSparesPinnedOpenAndUnmountedCopies)
{
    DocumentHandler handler;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QStringList paths;
    for (int k = 0; k < 8; ++k) {
        // Paths sort the other way round from their age: the purge must go by age.
        paths << photo(QStringLiteral("p%1.jpg").arg(7 - k));
        keep(paths.last(), now.addDays(-k));
    }
    const QString pinned = photo("pinned.jpg");
    keep(pinned, now.addDays(-100), true);
    const QString unmounted = m_dir.filePath("volume/gone/away.jpg"); // its folder is missing too
    keep(unmounted, now.addDays(-1));
    const QString deleted = photo("deleted.jpg");
    keep(deleted, now);
    QFile::remove(deleted);
    const QString copyless = photo("copyless.jpg"); // its copy's folder was removed under the application
    keep(copyless, now);
    QDir(GMFileUtilities::applicationSupportDirectory() + u'/' +
         GMFileUtilities::shadowCopyDictionary().value(copyless).toMap().value("filename").toString())
        .removeRecursively();

    handler.checkPhysicalFiles();
    EXPECT_TRUE(kept().contains(deleted)) << "a deleted picture's edits wait for it";
    EXPECT_TRUE(kept().contains(unmounted)) << "a picture on a missing volume keeps its copy";
    EXPECT_FALSE(kept().contains(copyless)) << "an entry without its copy holds nothing";

    // Count 5 (index 0): of the ten unpinned entries, the five oldest go; an open document stays.
    QString error;
    ASSERT_TRUE(handler.openDocumentWithContentsOfURL(paths[7], false, &error)) << error.toStdString();
    handler.setShadowKeepCount(0);
    // paths[7] is the oldest but open; then the next oldest go, 6 down to 2. The deleted picture's copy
    // counts as any other.
    QStringList remaining = kept();
    EXPECT_TRUE(remaining.contains(paths[7]));
    EXPECT_TRUE(remaining.contains(pinned));
    EXPECT_TRUE(remaining.contains(paths[0]));
    EXPECT_TRUE(remaining.contains(deleted));
    EXPECT_FALSE(remaining.contains(paths[6]));
    EXPECT_FALSE(remaining.contains(paths[5]));
    EXPECT_EQ(remaining.size() - 1, 5) << remaining.join(", ").toStdString();
    EXPECT_EQ(pf::UserDefaults::standard().integerForKey("KeepCount"), 0);

    // Span of three days: unpinned copies older than that go.
    handler.setShadowKeepSpan(0);
    for (const QString& path : kept()) {
        const QVariantMap entry = GMFileUtilities::shadowCopyDictionary().value(path).toMap();
        EXPECT_TRUE(path == pinned || path == paths[7] ||
                    entry.value("modification_time").toDateTime() > now.addDays(-3))
            << path.toStdString();
    }
    // Forever and unlimited examine nothing.
    const QStringList before = kept();
    QFile::remove(paths[0]);
    handler.setShadowKeepSpan(4);
    handler.setShadowKeepCount(5);
    EXPECT_EQ(kept(), before);
}

TEST_F(Shell, PreferencesStoreEachChoiceAndAskBeforeDeletingKeptEdits)
{
    DocumentHandler handler;
    handler.setShadowKeepSpan(5);
    handler.setShadowKeepCount(5);
    GMPreferencesWindowController preferences(&handler);
    ASSERT_TRUE(preferences.window());
    QComboBox* span = preferences.spanPopUp();
    QComboBox* count = preferences.countPopUp();
    ASSERT_EQ(span->count(), 6);
    EXPECT_EQ(span->itemText(5), "Forever");
    EXPECT_EQ(count->itemText(5), "Unlimited");

    // With nothing kept, every choice is stored as its list index and asks nothing.
    for (int index : {0, 1, 2, 3, 5}) {
        preferences.chooseSpan(index);
        preferences.chooseCount(index);
        EXPECT_EQ(handler.shadowKeepSpan(), index);
        EXPECT_EQ(handler.shadowKeepCount(), index);
        EXPECT_EQ(pf::UserDefaults::standard().integerForKey("KeepSpan"), index);
        EXPECT_EQ(span->currentIndex(), index);
        EXPECT_EQ(count->currentIndex(), index);
    }
    EXPECT_TRUE(m_alerts.isEmpty()) << m_alerts.join('\n').toStdString();
    // The separator cannot be chosen; a stored 4 (forever too) shows as the last choice.
    preferences.chooseSpan(4);
    EXPECT_EQ(handler.shadowKeepSpan(), 5);
    handler.setShadowKeepSpan(4);
    handler.setShadowKeepCount(4);
    preferences.refresh();
    EXPECT_EQ(span->currentIndex(), 5);
    EXPECT_EQ(count->currentIndex(), 5);

    // Eight pictures kept 0 to 7 days ago, and one whose file is gone (its edits wait for it): three days
    // would delete four.
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (int k = 0; k < 8; ++k)
        keep(photo(QStringLiteral("age%1.jpg").arg(k)), now.addDays(-k).addSecs(60));
    const QString deleted = photo("deleted.jpg");
    keep(deleted, now);
    QFile::remove(deleted);
    const QStringList before = kept();
    ASSERT_EQ(before.size(), 9);

    m_answer = 1; // Cancel
    preferences.chooseSpan(0);
    ASSERT_EQ(m_alerts.size(), 1);
    EXPECT_TRUE(m_alerts.last().startsWith("4 pictures lose their kept edits"))
        << m_alerts.last().toStdString();
    EXPECT_EQ(kept(), before) << "Cancel deletes nothing";
    EXPECT_EQ(handler.shadowKeepSpan(), 4) << "Cancel keeps the previous choice";
    EXPECT_EQ(span->currentIndex(), 5);
    EXPECT_EQ(pf::UserDefaults::standard().integerForKey("KeepSpan"), 4);

    m_answer = 0; // Delete Edits
    preferences.chooseSpan(0);
    ASSERT_EQ(m_alerts.size(), 2);
    EXPECT_TRUE(m_alerts.last().startsWith("4 pictures")) << m_alerts.last().toStdString();
    EXPECT_EQ(kept().size(), before.size() - 4) << "the question counted what went";
    EXPECT_TRUE(kept().contains(deleted));
    EXPECT_EQ(handler.shadowKeepSpan(), 0);

    // Keeping at most 5 of the five left deletes nothing and asks nothing; at most 5 of eight asks for three.
    preferences.chooseCount(0);
    EXPECT_EQ(m_alerts.size(), 2);
    for (int k = 0; k < 3; ++k)
        keep(photo(QStringLiteral("new%1.jpg").arg(k)), now);
    m_answer = 1;
    preferences.chooseCount(1);
    EXPECT_EQ(m_alerts.size(), 2) << "ten keeps all eight";
    preferences.chooseCount(0);
    ASSERT_EQ(m_alerts.size(), 3);
    EXPECT_TRUE(m_alerts.last().startsWith("3 pictures")) << m_alerts.last().toStdString();
    EXPECT_EQ(kept().size(), 8);
    EXPECT_EQ(handler.shadowKeepCount(), 1);
}

// Mended: the preferences opened at the screen's lower left corner, partly below it, and did not close
// with Escape; the Quick Tutorial opened at the screen's top left, away from the document.
TEST_F(Shell, PreferencesAndTheTutorialOpenWhereTheyAreSeen)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    DocumentHandler handler;
    GMPreferencesWindowController preferences(&handler);
    preferences.showWindow();
    pf::Window* window = preferences.window();
    ASSERT_TRUE(window && QTest::qWaitForWindowExposed(window));
    EXPECT_TRUE(screen.contains(window->frameGeometry())) << "wholly on the screen";
    EXPECT_LE((window->frameGeometry().center() - screen.center()).manhattanLength(), 4) << "in its middle";
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window->windowHandle(), Qt::Key_Escape);
    EXPECT_TRUE(spinUntil([&] { return !window->isVisible(); }, 3000)) << "Escape closes it";

    // Over the window in front, within the screen.
    handler.awakeFromNib();
    QWidget front;
    front.setGeometry(
        QRect(QPoint(), screen.size() / 2)
            .translated(screen.center() - QPoint(screen.width() / 4 - 30, screen.height() / 4 - 20)));
    front.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&front));
    GMWelcomeWindow* welcome = handler.welcomeWindow();
    ASSERT_TRUE(welcome->showTutorial(&front));
    QWidget* tutorial = welcome->tutorialWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(tutorial));
    EXPECT_TRUE(screen.contains(tutorial->frameGeometry()));
    EXPECT_LE(std::abs(tutorial->frameGeometry().center().x() - front.frameGeometry().center().x()), 4);
    tutorial->close();
}

// Mended: closing or quitting while the tutorial's viewer still rendered its pages deleted the document
// under the viewer's rendering thread (the thread checker saw it). The viewer goes first, waiting for
// that thread, and only then the document.
TEST_F(Shell, TheTutorialsViewerStopsBeforeItsDocumentGoes)
{
    auto handler = std::make_unique<DocumentHandler>();
    handler->awakeFromNib();
    ASSERT_TRUE(handler->welcomeWindow()->showTutorial());
    QWidget* tutorial = handler->welcomeWindow()->tutorialWindow();
    const QPointer<QPdfView> view = tutorial->findChild<QPdfView*>();
    auto* document = tutorial->findChild<QPdfDocument*>();
    ASSERT_TRUE(view && document);
    QCoreApplication::processEvents(); // its pages are asked for
    bool viewerGoneFirst = false;
    QObject::connect(document, &QObject::destroyed, [&] { viewerGoneFirst = view.isNull(); });
    handler.reset();
    EXPECT_TRUE(viewerGoneFirst);
}

TEST_F(Shell, WelcomeChoicesOpenSamplesRecentFilesAndDrops)
{
    DocumentHandler handler;
    handler.setGraphicsInfoForTesting({true, true, qint64(1) << 30, 1, "test"});
    handler.awakeFromNib();
    GMWelcomeWindow* welcome = handler.welcomeWindow();

    // Every sample and the tutorial open; the samples show in ascending sort tag, the plain one first.
    GMGridViewController* grid = welcome->grid();
    const QStringList samples = welcome->itemContexts();
    ASSERT_EQ(samples.size(), 3);
    EXPECT_EQ(QFileInfo(samples.first()).fileName(), "TestPerson.jpg");
    EXPECT_TRUE(QFileInfo(samples.last()).fileName().startsWith("TestPerson_"));
    // Each is a draft of its own name, as desktop applications number them.
    const QStringList names{"Untitled", "Untitled 2", "Untitled 3"};
    for (const QString& sample : samples) {
        handler.gridViewExecuteItemWithContext(grid, sample);
        ASSERT_FALSE(handler.documents().empty()) << sample.toStdString();
        auto document = std::static_pointer_cast<GMDocument>(handler.documents().back());
        EXPECT_TRUE(document->fileURL().isEmpty()) << "a sample opens untitled";
        EXPECT_FALSE(document->originalImage().isNull());
        EXPECT_EQ(document->displayName(), names.value(int(handler.documents().size()) - 1));
    }
    // The help sheet's "Open the Sample" brings the sample open already forward; a new draft takes the
    // lowest number free.
    const size_t drafts = handler.documents().size();
    EXPECT_EQ(handler.showSample(samples.first()), handler.documents().front());
    EXPECT_EQ(handler.documents().size(), drafts);
    const auto second = handler.documents()[1];
    second->close();
    handler.gridViewExecuteItemWithContext(grid, samples[1]);
    EXPECT_EQ(handler.documents().back()->displayName(), "Untitled 2");
    EXPECT_TRUE(welcome->showTutorial());
    EXPECT_GE(welcome->tutorialPageCount(), 1);
    welcome->tutorialWindow()->close();
    // The tutorial names the tools as the settings panel does (mended: "smart brush").
    QPdfDocument tutorial;
    ASSERT_EQ(tutorial.load(pf::Bundle::main().pathForResource("Quick Tutorial", "pdf")),
              QPdfDocument::Error::None);
    QString text;
    for (int page = 0; page < tutorial.pageCount(); ++page)
        text += tutorial.getAllText(page).text();
    EXPECT_TRUE(text.simplified().contains("Intelligent Brush"));
    EXPECT_FALSE(text.contains("smart brush", Qt::CaseInsensitive));

    // A sample that cannot be read says so and opens nothing.
    const size_t open = handler.documents().size();
    QFile broken(m_dir.filePath("broken.jpg"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("no picture");
    broken.close();
    EXPECT_FALSE(handler.openSample(broken.fileName()));
    EXPECT_EQ(handler.documents().size(), open);
    ASSERT_FALSE(m_alerts.isEmpty());
    EXPECT_TRUE(m_alerts.last().contains("could not be opened"));

    // A saved picture is listed under recent documents; executing it opens it, and a second time only
    // focuses it; dropping opens the first file.
    const QString picture = photo("recent.jpg");
    auto document = handler.openDocumentWithContentsOfURL(picture, true, nullptr);
    ASSERT_TRUE(document);
    ASSERT_TRUE(spinUntil(
        [&] { return std::static_pointer_cast<GMDocument>(document)->windowController() != nullptr; }));
    ASSERT_TRUE(save(*document, picture, "jpeg", pf::Document::SaveOperation::Autosave).succeeded);
    handler.setupHistoryView();
    EXPECT_EQ(welcome->itemContexts().first(), QFileInfo(picture).absoluteFilePath());
    const size_t before = handler.documents().size();
    handler.gridViewExecuteItemWithContext(grid, picture);
    EXPECT_EQ(handler.documents().size(), before) << "an open file is only brought to the front";
    const QString dropped = photo("dropped.jpg");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(dropped), QUrl::fromLocalFile(picture)});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(welcome->dropTarget(), &enter);
    EXPECT_TRUE(welcome->dropTarget()->isHovered());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(welcome->dropTarget(), &drop);
    EXPECT_FALSE(welcome->dropTarget()->isHovered());
    EXPECT_TRUE(handler.documentForURL(dropped));
    EXPECT_EQ(handler.documents().size(), before + 1);

    // Clearing the recent list keeps the kept edits; removing asks first, naming what goes.
    handler.clearRecentDocuments();
    EXPECT_TRUE(handler.recentDocumentURLs().isEmpty());
    EXPECT_TRUE(GMFileUtilities::shadowCopyDictionary().contains(GMDocument::shadowCopyKey(picture)));
    m_answer = 1; // Cancel
    m_alerts.clear();
    EXPECT_FALSE(handler.gridViewRemoveItemWithContext(grid, picture)) << "the edits stay";
    ASSERT_EQ(m_alerts.size(), 1);
    EXPECT_TRUE(m_alerts.first().contains("recent.jpg") &&
                m_alerts.first().contains("cannot be brought back"));
    EXPECT_TRUE(GMFileUtilities::shadowCopyDictionary().contains(GMDocument::shadowCopyKey(picture)));
    m_answer = 0; // Remove
    EXPECT_TRUE(handler.gridViewRemoveItemWithContext(grid, picture));
    EXPECT_FALSE(GMFileUtilities::shadowCopyDictionary().contains(GMDocument::shadowCopyKey(picture)));
    const auto documents = handler.documents();
    for (const auto& opened : documents)
        opened->close();
}

TEST_F(Shell, RecentTilesFollowTheKeptEditsWhateverThePathForm)
{
    DocumentHandler handler;
    handler.setGraphicsInfoForTesting({true, true, qint64(1) << 30, 1, "test"});
    handler.awakeFromNib();
    GMWelcomeWindow* welcome = handler.welcomeWindow();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    // A picture opened through a link (its copy kept under the resolved path), one kept under the path
    // as given, and one whose file is deleted later.
    const QString real = photo("real/portrait.jpg");
    const QString link = m_dir.filePath("link.jpg");
    ASSERT_TRUE(QFile::link(real, link));
    keep(GMDocument::shadowCopyKey(link), now.addSecs(-30));
    const QString plain = photo("plain.jpg");
    keep(plain, now.addSecs(-20));
    const QString doomed = photo("doomed.jpg");
    keep(doomed, now.addSecs(-10));
    for (const QString& path : {link, plain, doomed})
        handler.noteNewRecentDocumentURL(path);
    const auto recent = [&] {
        QStringList contexts = welcome->itemContexts();
        contexts.removeIf([](const QString& c) { return c.contains("TestPerson"); });
        return contexts;
    };

    handler.setupHistoryView();
    handler.setupHistoryView();
    EXPECT_EQ(recent().size(), 3) << "a refresh adds no duplicates: " << recent().join(", ").toStdString();
    EXPECT_EQ(welcome->itemContexts().size(), 6);

    QFile::remove(doomed);
    handler.setupHistoryView();
    ASSERT_TRUE(recent().contains(QFileInfo(doomed).absoluteFilePath())) << "a deleted photo's edits wait";
    handler.removeShadowCopyWithPath(doomed);
    EXPECT_EQ(recent().size(), 2);

    // Removing by the registry's key takes the tile shown under the link; by the path as given too.
    handler.removeShadowCopyWithPath(GMDocument::shadowCopyKey(link));
    EXPECT_EQ(recent(), QStringList{QFileInfo(plain).absoluteFilePath()});
    handler.removeShadowCopyWithPath(plain);
    EXPECT_TRUE(recent().isEmpty());
    EXPECT_EQ(welcome->itemContexts().size(), 3) << "the samples stay";
}

// A photo renamed, moved or deleted keeps its edits when the application starts again: its tile says it is
// missing, opening the tile says where it was, and once the photo is back at its path its edits are there.
TEST_F(Shell, AMissingPhotoKeepsItsEditsUntilItIsBack)
{
    struct Case
    {
        const char* what;
        std::function<void(const QString& path)> hide;
    };
    const Case cases[] = {
        {"renamed in place",
         [&](const QString& path) { QFile::rename(path, QFileInfo(path).absolutePath() + "/renamed.jpg"); }},
        {"moved into a subfolder",
         [&](const QString& path) {
             QDir().mkpath(QFileInfo(path).absolutePath() + "/sub");
             QFile::rename(path, QFileInfo(path).absolutePath() + "/sub/photo-7.jpg");
         }},
        {"deleted", [&](const QString& path) { QFile::remove(path); }},
    };
    int round = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = photo(QStringLiteral("round%1/photo-7.jpg").arg(++round));
        const QString spare = path + ".spare";
        ASSERT_TRUE(QFile::copy(path, spare));
        DocumentHandler first;
        {
            Opened opened = open(first, path);
            ASSERT_TRUE(opened.document) << opened.error.toStdString();
            opened.chain()->insertPhotoToolWithBlueprint(chaintest::grey(), std::nullopt, 0);
            QCoreApplication::processEvents();
            ASSERT_TRUE(
                save(*opened.document, path, "jpeg", pf::Document::SaveOperation::Autosave).succeeded);
            opened.document->close();
        }
        first.noteNewRecentDocumentURL(path);
        const QString key = GMDocument::shadowCopyKey(path);
        const QString folder =
            GMFileUtilities::applicationSupportDirectory() + u'/' +
            GMFileUtilities::shadowCopyDictionary().value(key).toMap().value("filename").toString();
        ASSERT_TRUE(QFileInfo::exists(folder + "/content"));
        c.hide(path);

        // The next start builds its history: nothing is deleted, nothing asked.
        m_alerts.clear();
        DocumentHandler next;
        next.setGraphicsInfoForTesting({true, true, qint64(1) << 30, 1, "test"});
        next.awakeFromNib();
        EXPECT_TRUE(kept().contains(key));
        EXPECT_TRUE(QFileInfo::exists(folder + "/content")) << "the original and the layers stay";
        EXPECT_TRUE(QFileInfo::exists(folder + "/layer_1"));
        EXPECT_TRUE(m_alerts.isEmpty()) << m_alerts.join('\n').toStdString();
        const GMGridItem* tile = next.welcomeWindow()->grid()->gridItemForContext(path);
        ASSERT_TRUE(tile);
        EXPECT_TRUE(tile->title().contains("missing")) << tile->title().toStdString();
        next.gridViewExecuteItemWithContext(next.welcomeWindow()->grid(), path);
        ASSERT_EQ(m_alerts.size(), 1);
        EXPECT_TRUE(m_alerts.first().contains("cannot be found") && m_alerts.first().contains(path))
            << m_alerts.first().toStdString();

        // Back at its path, it opens with its edits.
        ASSERT_TRUE(QFile::copy(spare, path));
        Opened back = open(next, path);
        ASSERT_TRUE(back.document) << back.error.toStdString();
        EXPECT_EQ(back.chain()->numberOfTools(), 2);
        back.document->close();
        next.removeShadowCopyWithPath(key);
    }
}

// The hidden copy a killed save leaves beside a package, or beside a photo's shadow copy, goes when the
// recent list is built, whether or not the document is opened again; a copy of another name stays.
TEST_F(Shell, TheRecentListClearsWhatKilledSavesLeftBehind)
{
    DocumentHandler handler;
    const QString package = m_dir.filePath("kept.glimora");
    const QString picture = photo("portrait.jpg");
    {
        Opened opened = open(handler, picture);
        ASSERT_TRUE(opened.document);
        ASSERT_TRUE(
            save(*opened.document, package, GMDocumentPackage::typeName, pf::Document::SaveOperation::SaveTo)
                .succeeded);
        ASSERT_TRUE(save(*opened.document, picture, "jpeg", pf::Document::SaveOperation::Autosave).succeeded);
        opened.document->close();
    }
    handler.noteNewRecentDocumentURL(package);
    handler.noteNewRecentDocumentURL(picture);
    const QString shadow = GMFileUtilities::applicationSupportDirectory() + u'/' +
                           GMFileUtilities::shadowCopyDictionary()
                               .value(GMDocument::shadowCopyKey(picture))
                               .toMap()
                               .value("filename")
                               .toString();
    const QStringList leftovers{QFileInfo(package).absolutePath() + u'/' +
                                    pf::FileSystem::helperPrefix("kept.glimora", "saving") + "a1b2c3d4e5",
                                QFileInfo(shadow).absolutePath() + u'/' +
                                    pf::FileSystem::helperPrefix(QFileInfo(shadow).fileName(), "saving") +
                                    "f6g7h8i9j0"};
    const QString other =
        m_dir.filePath(pf::FileSystem::helperPrefix("other.glimora", "saving") + "k1l2m3n4o5");
    for (const QString& folder : leftovers + QStringList{other})
        ASSERT_TRUE(QDir().mkpath(folder + "/layer_1"));
    handler.setupHistoryView();
    for (const QString& folder : leftovers)
        EXPECT_FALSE(QFileInfo::exists(folder)) << folder.toStdString();
    EXPECT_TRUE(QFileInfo::exists(other));
}

TEST_F(Shell, HardwareWarningsByTable)
{
    const qint64 MB = 1024 * 1024;
    const struct
    {
        bool accelerated;
        bool fragments;
        qint64 memory;
        OVGraphicsInfo::Warning warning;
    } cases[] = {
        {true, true, 64 * MB, OVGraphicsInfo::Warning::VideoMemory},
        {true, true, 256 * MB, OVGraphicsInfo::Warning::None},
        {true, true, 4096 * MB, OVGraphicsInfo::Warning::None}, // beyond 32 bits
        {true, true, 0, OVGraphicsInfo::Warning::None},         // unknown is enough
        {true, false, 256 * MB, OVGraphicsInfo::Warning::FragmentProcessing},
        {true, false, 64 * MB, OVGraphicsInfo::Warning::Both},
        {false, true, 4096 * MB, OVGraphicsInfo::Warning::Both},
    };
    for (const auto& c : cases) {
        const OVGraphicsInfo info{c.accelerated, c.fragments, c.memory, 1, "test"};
        EXPECT_EQ(info.warning(), c.warning) << c.memory / MB << " MB";
    }
    EXPECT_TRUE(OVGraphicsInfo::isSoftwareRenderer("llvmpipe (LLVM 15.0.6, 256 bits)"));
    EXPECT_FALSE(OVGraphicsInfo::isSoftwareRenderer("Mesa Intel(R) UHD Graphics 620"));

    DocumentHandler handler;
    handler.setGraphicsInfoForTesting({false, true, 0, 1, "llvmpipe"});
    handler.awakeFromNib();
    ASSERT_TRUE(spinUntil([&] { return handler.welcomeWindow()->isWarningShown(); }, 3000));
    EXPECT_EQ(handler.welcomeWindow()->warningText(),
              OVGraphicsInfo::warningText(OVGraphicsInfo::Warning::Both));
}

// Mended: the graphics warning over the welcome window swallowed the first click (a person clicking Open
// got nothing) and ignored Escape. A click goes through to what it hit and dismisses the warning; Escape
// dismisses it too, as Continue does.
TEST(GraphicsWarning, AClickGoesThroughItAndEscapeDismissesIt)
{
    DocumentHandler handler;
    handler.setGraphicsInfoForTesting({false, true, 0, 1, "llvmpipe"});
    handler.displayWelcomeScreen();
    GMWelcomeWindow* welcome = handler.welcomeWindow();
    pf::Window* window = welcome->window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    // The handler shows its own warning a moment after the window: wait for it, so that it cannot come
    // (late, on a loaded machine) after a case below has dismissed the warning.
    ASSERT_TRUE(spinUntil([&] { return welcome->isWarningShown(); }, 10000));
    int panels = 0;
    pf::FilePanel::setResponder([&](const pf::FilePanel&) {
        ++panels;
        return QStringList();
    });
    struct Case
    {
        const char* what;
        bool click; // else Escape
    };
    for (const Case& c : {Case{"a click on Open", true}, Case{"Escape", false}}) {
        SCOPED_TRACE(c.what);
        if (!welcome->isWarningShown())
            welcome->showWarning(OVGraphicsInfo::warningText(OVGraphicsInfo::Warning::Both));
        ASSERT_TRUE(welcome->isWarningShown());
        window->activateWindow();
        (void)QTest::qWaitForWindowActive(window); // offered; a display server may give it later
        panels = 0;
        if (c.click) {
            QPushButton* open = welcome->openButton();
            const QPoint at = open->mapTo(window, open->rect().center());
            QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, at);
            EXPECT_TRUE(spinUntil([&] { return panels == 1; }, 2000)) << "the click reached Open";
        } else {
            QTest::keyClick(window->windowHandle(), Qt::Key_Escape);
        }
        EXPECT_TRUE(spinUntil([&] { return !welcome->isWarningShown(); }, 2000));
        EXPECT_TRUE(window->isVisible()) << "the window itself stays";
    }
    pf::FilePanel::setResponder({});
    window->orderOut();
}

// The graphics facts come from the image engine's own renderer (the engine is the one place that
// talks to the driver): the device it names, its memory and its count.
TEST(GraphicsInformation, IsTheEnginesRenderer)
{
    const pf::RenderContext::Device device = pf::RenderContext::shared()->device();
    ASSERT_FALSE(device.name.isEmpty()) << "the test machine renders with OpenGL ES";
    EXPECT_GE(device.devices, 1);
    EXPECT_GE(device.videoMemory, 0);
    const OVGraphicsInfo info = OVGraphicsInfo::current();
    EXPECT_EQ(info.rendererName, device.name);
    EXPECT_EQ(info.videoMemory, device.videoMemory);
    EXPECT_EQ(info.renderers, device.devices);
    EXPECT_TRUE(info.fragmentCapable);
    EXPECT_EQ(info.accelerated, !OVGraphicsInfo::isSoftwareRenderer(device.name));
}

TEST(Feedback, BothReportsParseBackFromTheirMailLinks)
{
    const OVGraphicsInfo graphics{true, true, qint64(5) << 30, 2, "GPU"};
    const QString recipient = "feedback+glimora@example.org";
    const struct
    {
        QUrl url;
        const char* subject;
        const char* memoryLine;
    } cases[] = {
        {OVSystemInfo::feedbackMailURL(recipient, graphics), " Feedback", "VRAM: 5120"},
        {GMApplicationDelegate::feedbackMailURL(recipient, graphics), "Glimora Feedback", "VRAM: 5368709120"},
    };
    for (const auto& c : cases) {
        const QString encoded = QString::fromLatin1(c.url.toEncoded());
        ASSERT_TRUE(encoded.startsWith("mailto:feedback%2Bglimora%40example.org?SUBJECT="))
            << encoded.toStdString();
        for (const QChar ch : encoded.mid(encoded.indexOf(u'?') + 1))
            EXPECT_TRUE(ch.isLetterOrNumber() || QStringLiteral("-._~%=&").contains(ch))
                << encoded.toStdString();
        const QUrlQuery query(c.url.query(QUrl::FullyEncoded));
        const QString subject =
            QUrl::fromPercentEncoding(query.queryItemValue("SUBJECT", QUrl::FullyEncoded).toLatin1());
        const QString body =
            QUrl::fromPercentEncoding(query.queryItemValue("BODY", QUrl::FullyEncoded).toLatin1());
        EXPECT_TRUE(subject.endsWith(c.subject)) << subject.toStdString();
        EXPECT_TRUE(body.startsWith("\nWe are constantly improving our products.")) << body.toStdString();
        EXPECT_TRUE(body.contains(QString::fromLatin1(c.memoryLine) + u'\n')) << body.toStdString();
        EXPECT_TRUE(body.contains("Accelerated: 1\n"));
        EXPECT_TRUE(body.contains("Renderers: 2"));
        EXPECT_TRUE(body.contains(QStringLiteral("Processors: %1").arg(OVSystemInfo::processorCount())));
    }
    const QString unaccelerated = OVSystemInfo::productReport({false, false, 0, 0, "llvmpipe"});
    EXPECT_TRUE(unaccelerated.endsWith("Accelerated: 0\nVRAM: 0\nRenderers: 0\n"));

    // No address: no mail.
    GMLinks::setTableForTesting({{"HomePage", "https://example.org/"}});
    int opened = 0;
    GMLinks::setOpenerForTesting([&](const QUrl&) { return ++opened > 0; });
    GMApplicationDelegate delegate;
    EXPECT_FALSE(delegate.sendFeedback());
    EXPECT_TRUE(GMLinks::open("HomePage"));
    EXPECT_FALSE(GMLinks::open("NewsPage"));
    EXPECT_EQ(opened, 1);
    GMLinks::setOpenerForTesting({});
    GMLinks::setTableForTesting({});
}

TEST_F(Shell, ASecondStartHandsItsFilesToTheFirstAndLeavesTheCacheAlone)
{
    GMApplicationDelegate first;
    ASSERT_TRUE(first.claimSingleInstance({}));
    GMApplicationDelegate::resetCacheFolder();
    const QString cache = pf::FileSystem::applicationSupportDirectory() + "/cache";
    QFile(cache + "/snapshot").open(QIODevice::WriteOnly);
    const QString picture = photo("handed.jpg");

    // A second process with the same working area.
    ChildProcess second;
    ASSERT_TRUE(
        second.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=ShellChild.SecondStart"},
                     {{"GLIMORA_SECOND_START", picture},
                      {"PF_APPLICATION_SUPPORT_DIR", pf::FileSystem::applicationSupportDirectory()}}));
    ASSERT_TRUE(spinUntil([&] { return !second.isRunning(); }, 20000));
    EXPECT_EQ(second.exitCode(), 0) << second.output().toStdString();
    ASSERT_TRUE(spinUntil([&] { return first.documentHandler().documentForURL(picture) != nullptr; }, 5000));
    EXPECT_TRUE(QFileInfo::exists(cache + "/snapshot"));
    const auto documents = first.documentHandler().documents();
    for (const auto& document : documents)
        document->close();
}

// A lock file no running instance holds is taken over, whatever it says (empty, cut short, written under
// another host name or on another machine); one still held (a live instance elsewhere) is not.
TEST_F(Shell, ALockNoInstanceHoldsIsTakenOverWhateverItSays)
{
    const QString lock = pf::FileSystem::applicationSupportDirectory() + "/instance.lock";
    const QByteArray host = QSysInfo::machineHostName().toUtf8();
    const struct
    {
        const char* what;
        QByteArray bytes;
        bool held;
        bool link = false; // a link to nowhere in the lock's place
    } cases[] = {
        {"empty", "", false},
        {"cut short", "12", false},
        {"junk", QByteArray("\x01\xff\x00junk\n\n", 9), false},
        {"another host", "999999\nglimora\nold-name\n" + QSysInfo::machineUniqueId() + "\n", false},
        {"another machine", "999999\nglimora\n" + host + "\n0123abcd\n" + QSysInfo::bootUniqueId() + "\n",
         false},
        {"another machine, still held", "999999\nglimora\nother\n0123abcd\n", true},
        {"a link to nowhere", "", false, true},
    };
    pf::Alert::setResponder([](const pf::Alert&) { return pf::Alert::firstButtonReturn; });
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.link) {
            ASSERT_TRUE(
                QFile::link(pf::FileSystem::applicationSupportDirectory() + "/gone/instance.lock", lock));
        } else {
            // Left there a while ago.
            QFile file(lock);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(c.bytes);
            file.flush();
            ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(-60),
                                         QFileDevice::FileModificationTime));
        }
        const int holder = c.held ? ::open(QFile::encodeName(lock).constData(), O_RDONLY | O_CLOEXEC) : -1;
        if (c.held) {
            ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
        }
        {
            GMApplicationDelegate start;
            EXPECT_EQ(start.claimSingleInstance({}), !c.held);
            EXPECT_EQ(start.startRefused(), c.held);
        }
        if (holder >= 0)
            ::close(holder);
        QFile::remove(lock);
    }
    pf::Alert::setResponder({});
}

// Run by the test above in a second process.
TEST(ShellChild, SecondStart)
{
    const QString picture = qEnvironmentVariable("GLIMORA_SECOND_START");
    if (picture.isEmpty())
        GTEST_SKIP() << "run by ASecondStartHandsItsFilesToTheFirstAndLeavesTheCacheAlone";
    GMApplicationDelegate second;
    EXPECT_FALSE(second.claimSingleInstance({picture}));
}

// The system takes a connection for an instance that reads nothing (stopped, its event loop not
// served): a second start waits for the instance to say it has the files, and when it does not, tells
// the user and leaves refused instead of as if they had been handed over. Woken, the instance opens them.
TEST_F(Shell, ASecondStartToAnInstanceThatDoesNotAnswerSaysSo)
{
    GMApplicationDelegate first;
    ASSERT_TRUE(first.claimSingleInstance({}));
    const QString picture = photo("unanswered.jpg");
    ChildProcess second;
    ASSERT_TRUE(
        second.start(QCoreApplication::applicationFilePath(),
                     {"--gtest_filter=ShellChild.SecondStartToAnInstanceThatDoesNotAnswer"},
                     {{"GLIMORA_UNANSWERED_START", picture},
                      {"PF_APPLICATION_SUPPORT_DIR", pf::FileSystem::applicationSupportDirectory()}}));
    // This process serves no event meanwhile: the first instance hangs.
    ASSERT_TRUE(second.waitForFinished(60000));
    const QString output = QString::fromUtf8(second.output());
    EXPECT_EQ(second.exitCode(), 0) << output.toStdString() << second.errors().toStdString();
    EXPECT_TRUE(output.contains("Told: The application is already running, but does not answer.\n"))
        << output.toStdString();
    EXPECT_TRUE(spinUntil([&] { return first.documentHandler().documentForURL(picture) != nullptr; }, 5000));
    EXPECT_EQ(first.documentHandler().documents().size(), 1u);
    const auto documents = first.documentHandler().documents();
    for (const auto& document : documents)
        document->close();
}

// Run by the test above in a second process.
TEST(ShellChild, SecondStartToAnInstanceThatDoesNotAnswer)
{
    const QString picture = qEnvironmentVariable("GLIMORA_UNANSWERED_START");
    if (picture.isEmpty())
        GTEST_SKIP() << "run by ASecondStartToAnInstanceThatDoesNotAnswerSaysSo";
    pf::Alert::setResponder([](const pf::Alert& alert) {
        std::printf("Told: %s\n", alert.messageText.toUtf8().constData());
        std::fflush(stdout);
        return pf::Alert::firstButtonReturn;
    });
    GMApplicationDelegate second;
    QElapsedTimer took;
    took.start();
    EXPECT_FALSE(second.claimSingleInstance({picture}));
    EXPECT_TRUE(second.startRefused()) << "the start ends non-zero";
    EXPECT_GE(took.elapsed(), 9000) << "it waited for an answer";
    pf::Alert::setResponder({});
}

// A start whose working area cannot take the lock tells the user what is wrong there, in plain words,
// and ends at once (exit code 1), blaming no other instance; each in a process of its own, as a start is.
TEST_F(Shell, AStartWhoseWorkingAreaCannotBeWrittenSaysWhyAndBlamesNoOtherInstance)
{
    const QString base = m_dir.filePath("starts");
    const struct
    {
        const char* what;
        const char* area;
        std::function<void(const QString& area)> prepare;
        const char* told;   // the alert's message
        const char* detail; // in its informative text
    } cases[] = {
        {"a file where the folder should be", "file/app",
         [](const QString& area) {
             QDir().mkpath(QFileInfo(area).path());
             QFile(area).open(QIODevice::WriteOnly);
         },
         "The application cannot start: a file is in the way of its working folder.",
         "Move or rename that file"},
        {"a file where a folder above it should be", "above/app",
         [](const QString& area) { QFile(QFileInfo(area).path()).open(QIODevice::WriteOnly); },
         "The application cannot start: a file is in the way of its working folder.", "above” is a file"},
        {"a folder where the lock should be", "lockfolder/app",
         [](const QString& area) { QDir().mkpath(area + "/instance.lock/inside"); },
         "The application cannot start: a folder is in the way of its lock file.",
         "instance.lock” is a folder"},
        {"a folder that may not be written", "readonly/app",
         [](const QString& area) {
             QDir().mkpath(area);
             QFile::setPermissions(area, QFile::ReadOwner | QFile::ExeOwner);
         },
         "The application cannot start: you may not write in its working folder.",
         "no permission to write in"},
        {"missing, in a folder that may not be written (a read-only home)", "home/app",
         [](const QString& area) {
             QDir().mkpath(QFileInfo(area).path());
             QFile::setPermissions(QFileInfo(area).path(), QFile::ReadOwner | QFile::ExeOwner);
         },
         "The application cannot start: you may not write in its working folder.",
         "does not exist, and you have no permission to make “app”"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString area = base + u'/' + QString::fromLatin1(c.area);
        c.prepare(area);
        ChildProcess start;
        ASSERT_TRUE(start.start(QCoreApplication::applicationFilePath(),
                                {"--gtest_filter=ShellChild.StartOnAnUnwritableWorkingArea"},
                                {{"GLIMORA_UNWRITABLE_START", "1"}, {"PF_APPLICATION_SUPPORT_DIR", area}}));
        ASSERT_TRUE(start.waitForFinished(60000));
        const QString output = QString::fromUtf8(start.output());
        const QString errors = QString::fromLocal8Bit(start.errors());
        EXPECT_EQ(start.exitCode(), 0) << output.toStdString() << errors.toStdString();
        EXPECT_TRUE(output.contains(QStringLiteral("Told: ") + QString::fromUtf8(c.told) + u'\n'))
            << output.toStdString();
        EXPECT_TRUE(output.contains(QString::fromUtf8(c.detail))) << output.toStdString();
        EXPECT_FALSE(output.contains("No such file or directory")) << output.toStdString();
        EXPECT_FALSE(errors.contains("Another instance")) << errors.toStdString();
        // Given back, so the next case and the temporary folder's removal may write there.
        for (const QString& folder : {area, QFileInfo(area).path()})
            if (QFileInfo(folder).isDir())
                QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
}

// Run by the test above in a second process. As root, without the right to pass over permissions
// (else a folder that may not be written would take files all the same), as a user's start is.
TEST(ShellChild, StartOnAnUnwritableWorkingArea)
{
    if (qEnvironmentVariableIsEmpty("GLIMORA_UNWRITABLE_START"))
        GTEST_SKIP() << "run by AStartWhoseWorkingAreaCannotBeWrittenSaysWhyAndBlamesNoOtherInstance";
    dropPermissionOverride();
    pf::Alert::setResponder([](const pf::Alert& alert) {
        std::printf("Told: %s\nDetails: %s\n", alert.messageText.toUtf8().constData(),
                    alert.informativeText.toUtf8().constData());
        std::fflush(stdout);
        return pf::Alert::firstButtonReturn;
    });
    GMApplicationDelegate start;
    QElapsedTimer took;
    took.start();
    EXPECT_FALSE(start.claimSingleInstance({}));
    EXPECT_TRUE(start.startRefused());
    // At once: not after waiting for an instance to answer.
    EXPECT_LT(took.elapsed(), 5000);
    pf::Alert::setResponder({});
}

// The application's start and quit in a second process: what it registered for deletion between them
// is gone afterwards, with its folder, and the temporary folder itself stays.
TEST_F(Shell, QuittingDeletesTheRegisteredTemporaryFilesAndKeepsTheTemporaryFolder)
{
    const QString tmp = m_dir.filePath("tmp");
    ASSERT_TRUE(QDir().mkpath(tmp));
    const QString report = m_dir.filePath("report.txt");
    ChildProcess child;
    ASSERT_TRUE(child.start(QCoreApplication::applicationFilePath(),
                            {"--gtest_filter=ShellChild.StartAndQuit"},
                            {{"GLIMORA_START_AND_QUIT", report},
                             {"TMPDIR", tmp},
                             {"PF_APPLICATION_SUPPORT_DIR", m_dir.filePath("child-app")},
                             {"PF_USER_DEFAULTS_FILE", m_dir.filePath("child-defaults.conf")}}));
    ASSERT_TRUE(child.waitForFinished(60000));
    EXPECT_EQ(child.exitCode(), 0) << child.output().toStdString() << child.errors().toStdString();
    QFile file(report);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << child.output().toStdString();
    const QStringList paths = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(paths.size(), 3);
    for (const QString& path : paths)
        EXPECT_TRUE(path.startsWith(tmp + u'/')) << path.toStdString();
    EXPECT_FALSE(QFileInfo::exists(paths[0])) << "the registered file";
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(paths[0]).absolutePath())) << "its folder";
    EXPECT_FALSE(QFileInfo::exists(paths[1])) << "a cached image's disk copy";
    EXPECT_FALSE(QFileInfo::exists(paths[2])) << "a file registered directly in the temporary folder";
    EXPECT_TRUE(QFileInfo(tmp).isDir()) << "the temporary folder stays";
}

// Run by the test above in a second process: starts as the application does, registers a file and
// caches an image, then quits through the Quit command.
TEST(ShellChild, StartAndQuit)
{
    const QString report = qEnvironmentVariable("GLIMORA_START_AND_QUIT");
    if (report.isEmpty())
        GTEST_SKIP() << "run by QuittingDeletesTheRegisteredTemporaryFilesAndKeepsTheTemporaryFolder";
    GMApplicationDelegate delegate;
    ASSERT_TRUE(delegate.claimSingleInstance({}));
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, &delegate,
                     [&] { delegate.applicationWillTerminate(); });
    delegate.applicationDidFinishLaunching({});

    // The image goes first at quit, so the files registered after it may leave the folder empty.
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    const auto cached = OVCachedImage::initWithNSImage(picture);
    const QString registered = OVTempCleaner::sharedTempCleaner().fileURLForName("notes.txt");
    const QString direct = OVTempCleaner::tempURLWithExtension("txt");
    OVTempCleaner::sharedTempCleaner().addFile(direct);
    for (const QString& path : {registered, direct}) {
        QFile note(path);
        ASSERT_TRUE(note.open(QIODevice::WriteOnly) && note.write("temporary") > 0);
    }
    ASSERT_TRUE(cached && QFileInfo::exists(cached->imageURL()));
    QFile out(report);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write((registered + u'\n' + cached->imageURL() + u'\n' + direct + u'\n').toUtf8());
    out.close();

    QTimer::singleShot(0, &delegate, [&] { delegate.terminate(); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
}

// The Close command acts on the key window, which may be a panel handing the close to its owner, and
// only when that window enables the command.
TEST(ShellClose, TheCloseCommandGoesToTheKeyWindowAndAsksItFirst)
{
    GMApplicationDelegate delegate;
    QAction* close = delegate.action("Close");
    ASSERT_TRUE(close);
    OVChildSupportWindow parent(pf::Rect(100, 100, 300, 200), pf::Window::Titled | pf::Window::Closable);
    auto* panel = new OVChildSupportWindow(pf::Rect(120, 120, 100, 80), pf::Window::Borderless);
    panel->setIsChildWindow(true);
    parent.addChildWindow(panel);
    parent.show();
    panel->makeKeyWindow();
    // A window an earlier test left active keeps the keyboard until the system hands it on.
    spinUntil([&] { return QApplication::activeWindow() == panel->window(); }, 2000);
    close->trigger();
    EXPECT_FALSE(parent.isVisible()) << "the panel's owner closed";

    pf::Window borderless(pf::Rect(100, 100, 100, 100), pf::Window::Borderless);
    borderless.show();
    borderless.makeKeyWindow();
    close->trigger();
    EXPECT_TRUE(borderless.isVisible()) << "a window without a close button keeps the command disabled";
}
