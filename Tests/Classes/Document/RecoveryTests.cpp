#include "Classes/Document/DocumentHandler.h"
#include "Classes/Document/GMApplicationDelegate.h"
#include "Classes/ToolObjects/GMFileUtilities.h"
#include "DocumentTestSupport.h"
#include "Platform/Foundation/FileSystem.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/UI/Alert.h"
#include "Tests/ChildProcess.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <csignal>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace doctest;

namespace {

std::shared_ptr<PhotoToolChain> chainOf(const std::shared_ptr<pf::Document>& document)
{
    auto gm = std::dynamic_pointer_cast<GMDocument>(document);
    return gm && gm->windowController() ? gm->windowController()->toolChain() : nullptr;
}

void stroke(const std::shared_ptr<PhotoToolChain>& chain, int index, double value)
{
    chain->brushPathImageAtIndex(index)->addContentContainer(
        paintedMask(chain->originalImageSize(), value, pf::Color(0, 0, 0, 0)));
}

// User defaults of the test's own too (given back afterwards), and 64 x 48 photos.
class Recovery : public WorkingAreaTest
{
protected:
    Recovery() { m_photoSize = QSize(64, 48); }
    void SetUp() override
    {
        WorkingAreaTest::SetUp();
        if (HasFatalFailure())
            return;
        m_previousDefaults = pf::UserDefaults::standard().filePath();
        pf::UserDefaults::standard().setFileForTesting(m_dir.filePath("test.conf"));
    }
    void TearDown() override
    {
        GMDocument::waitForRecoveryRecords();
        WorkingAreaTest::TearDown();
        pf::UserDefaults::standard().setFileForTesting(m_previousDefaults);
    }

    // A session that "dies" with `path` open, a layer painted over it and its record written: its list
    // of open documents says so, and nothing is closed. The record's path.
    QString crashedSessionWith(const QString& path,
                               const std::function<void(pf::Document&)>& beforeDying = {})
    {
        TestController session;
        QString error;
        const auto document = session.openDocumentWithContentsOfURL(path, true, &error);
        EXPECT_TRUE(document) << error.toStdString();
        if (!document || !spinUntil([&] { return chainOf(document) != nullptr; }))
            return {};
        chainOf(document)->insertPhotoToolWithBlueprint(chaintest::grey(), std::nullopt, 0);
        chainOf(document)->brushPathImageAtIndex(1)->addContentContainer(
            paintedMask(chainOf(document)->originalImageSize(), 0.7, pf::Color(0, 0, 0, 0)));
        const QString record = document->recoveryRecordPath();
        EXPECT_TRUE(spinUntil([&] { return QFileInfo::exists(record); }));
        GMDocument::waitForRecoveryRecords();
        if (beforeDying)
            beforeDying(*document);
        pf::UserDefaults::standard().setBool("SessionRunning", true);
        pf::UserDefaults::standard().synchronize();
        return record;
    }

    TestController m_documents;
    QString m_previousDefaults;
};

// A document that "dies" at its first file access: the user defaults as they are on disk then are what
// a process killed at that moment leaves.
class DyingDocument : public GMDocument
{
public:
    DyingDocument(int* reads, int dieAt, QString snapshot)
        : m_reads(reads), m_dieAt(dieAt), m_snapshot(std::move(snapshot))
    {}
    bool readFromURL(const QString& path, const QString& type, QString* errorMessage) override
    {
        if ((*m_reads)++ == m_dieAt) {
            QFile::remove(m_snapshot);
            QFile::copy(pf::UserDefaults::standard().filePath(), m_snapshot);
        }
        return GMDocument::readFromURL(path, type, errorMessage);
    }

private:
    int* m_reads;
    int m_dieAt;
    QString m_snapshot;
};

class DyingController : public TestController
{
public:
    DyingController(int dieAt, QString snapshot) : m_dieAt(dieAt), m_snapshot(std::move(snapshot)) {}
    std::shared_ptr<pf::Document> makeDocument(const QString&) override
    {
        return std::make_shared<DyingDocument>(&m_reads, m_dieAt, m_snapshot);
    }

private:
    int m_reads = 0;
    int m_dieAt;
    QString m_snapshot;
};

} // namespace

// The user quits (Ctrl+Q, Don't Save) while the alert telling of recovered work is up, before launching
// is over: the process leaves its main loop once that runs, instead of staying on with no window.
TEST_F(Recovery, AQuitAnsweredWhileLaunchingLeavesTheMainLoop)
{
    ASSERT_FALSE(crashedSessionWith(photo("quit.jpg")).isEmpty());
    GMApplicationDelegate delegate;
    ASSERT_TRUE(delegate.claimSingleInstance({}));
    DocumentHandler& handler = delegate.documentHandler();
    QStringList told;
    pf::Alert::setResponder([&](const pf::Alert& alert) {
        told << alert.messageText;
        if (alert.messageText.startsWith("Do you want to save"))
            return pf::Alert::firstButtonReturn + 2; // Don't Save
        if (alert.messageText.contains("recovered")) {
            delegate.terminate();
            // The alert's own loop runs on meanwhile, as a modal alert's does.
            spinUntil([&] { return handler.documents().empty(); });
        }
        return pf::Alert::firstButtonReturn;
    });
    delegate.applicationDidFinishLaunching({});
    pf::Alert::setResponder({});
    ASSERT_EQ(told.filter("Do you want to save").size(), 1) << told.join(" | ").toStdString();
    EXPECT_TRUE(handler.documents().empty());
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(7); });
    watchdog.start(20000);
    EXPECT_EQ(QApplication::exec(), 0) << "the quit was lost: the main loop ran on with no window";
}

// Layers, settings and strokes finished two seconds before the process is killed come back at the next
// start, for every kind of document (a photo, a package, an untitled document autosaved before the
// last strokes, one never autosaved), each marked edited, and the user is told that the work is back.
TEST_F(Recovery, WorkFinishedBeforeAKillComesBackMarkedEdited)
{
    const QString photoPath = photo("photo.jpg");
    const QString sample = photo("sample.jpg");
    const QString package = m_dir.filePath("kept.glimora");
    {
        Opened opened = open(m_documents, photo("for-package.jpg"));
        ASSERT_TRUE(opened.document);
        ASSERT_TRUE(
            save(*opened.document, package, GMDocumentPackage::typeName, pf::Document::SaveOperation::SaveAs)
                .succeeded);
        opened.document->close();
    }
    const QString defaults = m_dir.filePath("session.conf");
    ChildProcess child;
    ASSERT_TRUE(child.start(QCoreApplication::applicationFilePath(),
                            {"--gtest_filter=RecoveryChild.PaintAndWait"},
                            {{"GLIMORA_RECOVERY_FILES", QStringList{photoPath, package, sample}.join('\n')},
                             {"PF_APPLICATION_SUPPORT_DIR", m_dir.filePath("app")},
                             {"PF_USER_DEFAULTS_FILE", defaults}}));
    const bool ready =
        spinUntil([&] { return child.output().contains("ready") || !child.isRunning(); }, 90000);
    ASSERT_TRUE(ready && child.isRunning()) << child.output().toStdString() << child.errors().toStdString();
    child.kill();

    pf::UserDefaults::standard().setFileForTesting(defaults);
    m_answer = 0;
    GMApplicationDelegate delegate;
    DocumentHandler& handler = delegate.documentHandler();
    handler.setGraphicsInfoForTesting({true, true, qint64(1) << 30, 1, "test"});
    delegate.applicationDidFinishLaunching({});
    ASSERT_EQ(handler.documents().size(), 4u) << m_alerts.join('\n').toStdString();
    struct Case
    {
        const char* what;
        std::function<bool(const pf::Document&)> is;
        int tools;
    };
    const Case cases[] = {
        {"the photo, with a layer added after its autosave",
         [&](const pf::Document& d) { return d.fileURL() == photoPath; }, 3},
        {"the package", [&](const pf::Document& d) { return d.fileURL() == package; }, 2},
        {"the untitled document autosaved before its last stroke",
         [](const pf::Document& d) {
             return d.fileURL().isEmpty() && !d.autosavedContentsFileURL().isEmpty();
         },
         2},
        {"the untitled document never autosaved",
         [&](const pf::Document& d) { return d.fileURL().isEmpty() && d.sourceURL() == sample; }, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::shared_ptr<pf::Document> document;
        for (const auto& candidate : handler.documents())
            if (c.is(*candidate))
                document = candidate;
        ASSERT_TRUE(document);
        auto gm = std::static_pointer_cast<GMDocument>(document);
        ASSERT_TRUE(spinUntil([&] { return chainOf(document) && gm->pendingLayerCount() == 0; }));
        const auto chain = chainOf(document);
        EXPECT_EQ(chain->numberOfTools(), c.tools);
        EXPECT_NEAR(maskValue(chain, 1), 0.7, 0.02) << "the stroke after the last autosave";
        EXPECT_TRUE(document->isDocumentEdited());
    }
    EXPECT_EQ(m_alerts.filter("Your work was recovered.").size(), 1) << m_alerts.join('\n').toStdString();
    m_answer = 2; // closing an untitled document: delete it
    for (const auto& document : std::vector(handler.documents()))
        document->close();
}

// Run by the test above in a process of its own: paints on each document, autosaves, paints again, opens
// and paints on one more, and waits to be killed two seconds after its last stroke.
TEST(RecoveryChild, PaintAndWait)
{
    const QStringList files = qEnvironmentVariable("GLIMORA_RECOVERY_FILES").split('\n', Qt::SkipEmptyParts);
    if (files.size() != 3)
        GTEST_SKIP() << "run by WorkFinishedBeforeAKillComesBackMarkedEdited";
    prepareChildProcess();
    GMApplicationDelegate delegate;
    DocumentHandler& handler = capableHandler(delegate);
    delegate.applicationDidFinishLaunching({});
    QString error;
    ASSERT_TRUE(handler.openDocumentWithContentsOfURL(files[0], true, &error)) << error.toStdString();
    ASSERT_TRUE(handler.openDocumentWithContentsOfURL(files[1], true, &error)) << error.toStdString();
    ASSERT_TRUE(handler.openSample(files[2]));
    const auto documents = handler.documents();
    for (const auto& document : documents) {
        auto gm = std::static_pointer_cast<GMDocument>(document);
        ASSERT_TRUE(spinUntil([&] { return chainOf(document) && gm->pendingLayerCount() == 0; }));
        chainOf(document)->insertPhotoToolWithBlueprint(chaintest::grey(), std::nullopt, 0);
        stroke(chainOf(document), 1, 0.3);
    }
    QCoreApplication::processEvents();
    int autosaved = 0;
    for (const auto& document : documents)
        document->autosaveDocument([&](bool ok, const QString&) { autosaved += ok ? 1 : 100; });
    ASSERT_TRUE(spinUntil([&] { return autosaved >= int(documents.size()); }));
    ASSERT_EQ(autosaved, int(documents.size()));
    for (const auto& document : documents)
        stroke(chainOf(document), 1, 0.7);
    chainOf(documents[0])->insertPhotoToolWithBlueprint(chaintest::tint(), std::nullopt, 1);
    auto untitled = handler.openSample(files[2]);
    ASSERT_TRUE(untitled);
    ASSERT_TRUE(spinUntil([&] { return chainOf(untitled) != nullptr; }));
    chainOf(untitled)->insertPhotoToolWithBlueprint(chaintest::grey(), std::nullopt, 0);
    stroke(chainOf(untitled), 1, 0.7);
    spinUntil([] { return false; }, 2000);
    std::printf("ready\n");
    std::fflush(stdout);
    QCoreApplication::exec(); // until killed
}

// A start killed while it opens the last session's documents again loses none of them: killed at the
// first file access of each reopened document in turn, the next start still opens all three, marked
// edited. An autosave that no list names is offered, and opens when the user says so.
TEST_F(Recovery, AKillWhileDocumentsReopenLosesNone)
{
    // The session that crashed: a photo with kept edits, a package and an autosaved untitled document,
    // and one more autosaved untitled document whose entry the list lost.
    const QString crashed = m_dir.filePath("crashed.conf");
    pf::UserDefaults::standard().setFileForTesting(crashed);
    QString untitledAutosave, orphan;
    {
        TestController session;
        QString error;
        ASSERT_TRUE(session.openDocumentWithContentsOfURL(photo("photo.jpg"), true, &error))
            << error.toStdString();
        const auto package = session.openDocumentWithContentsOfURL(photo("for-package.jpg"), true, &error);
        ASSERT_TRUE(package) << error.toStdString();
        ASSERT_TRUE(save(*package, m_dir.filePath("kept.glimora"), GMDocumentPackage::typeName,
                         pf::Document::SaveOperation::SaveAs)
                        .succeeded);
        std::vector<std::shared_ptr<GMDocument>> untitled;
        for (const char* name : {"sample.jpg", "lost.jpg"}) {
            auto document = std::make_shared<GMDocument>();
            document->setDocumentController(&session);
            ASSERT_TRUE(document->readSampleImage(photo(name), nullptr));
            document->setFileType(GMDocumentPackage::typeName);
            session.addDocument(document);
            document->showWindows();
            untitled.push_back(document);
        }
        for (const auto& document : session.documents()) {
            ASSERT_TRUE(spinUntil([&] { return chainOf(document) != nullptr; }));
            chainOf(document)->insertPhotoToolWithBlueprint(chaintest::grey(), std::nullopt, 0);
        }
        QCoreApplication::processEvents();
        int autosaved = 0;
        for (const auto& document : session.documents())
            document->autosaveDocument([&](bool ok, const QString&) { autosaved += ok ? 1 : 100; });
        ASSERT_TRUE(spinUntil([&] { return autosaved >= int(session.documents().size()); }));
        ASSERT_EQ(autosaved, int(session.documents().size()));
        untitledAutosave = untitled[0]->autosavedContentsFileURL();
        orphan = untitled[1]->autosavedContentsFileURL();
        ASSERT_FALSE(untitledAutosave.isEmpty());
        ASSERT_FALSE(orphan.isEmpty());
        pf::UserDefaults::standard().setBool("SessionRunning", true);
        QVariantList open = pf::UserDefaults::standard().arrayForKey("OpenDocuments");
        open.removeIf([&](const QVariant& entry) { return entry.toMap().value("autosave") == orphan; });
        pf::UserDefaults::standard().setValue("OpenDocuments", open);
        pf::UserDefaults::standard().synchronize();
        GMDocument::waitForRecoveryRecords();
    } // the process dies: nothing is closed
    ASSERT_EQ(pf::UserDefaults(crashed).arrayForKey("OpenDocuments").size(), 3);

    m_answer = 1; // "Not Now" to the unlisted autosave until the end
    for (int dieAt = 0; dieAt < 3; ++dieAt) {
        SCOPED_TRACE(dieAt);
        const QString start = m_dir.filePath(QStringLiteral("start-%1.conf").arg(dieAt));
        const QString killed = m_dir.filePath(QStringLiteral("killed-%1.conf").arg(dieAt));
        ASSERT_TRUE(QFile::copy(crashed, start));
        pf::UserDefaults::standard().setFileForTesting(start);
        {
            DyingController dying(dieAt, killed);
            dying.reopenDocumentsOfLastSession();
            ASSERT_EQ(dying.documents().size(), 3u);
        }
        ASSERT_TRUE(QFileInfo::exists(killed));
        pf::UserDefaults::standard().setFileForTesting(killed);
        m_alerts.clear();
        TestController next;
        EXPECT_EQ(next.reopenDocumentsOfLastSession(), 3) << m_alerts.join('\n').toStdString();
        // The photo's changes were kept in its shadow copy but never saved into it; the untitled
        // document was never saved: both are edited. The package's autosave wrote it whole.
        for (const auto& document : next.documents())
            EXPECT_EQ(document->isDocumentEdited(),
                      document->fileType() != GMDocumentPackage::typeName || document->fileURL().isEmpty())
                << document->displayName().toStdString();
        EXPECT_TRUE(std::any_of(next.documents().begin(), next.documents().end(), [&](const auto& d) {
            return d->autosavedContentsFileURL() == untitledAutosave;
        }));
    }

    // The autosave no list names is offered, and opens.
    const QString start = m_dir.filePath("start-orphan.conf");
    ASSERT_TRUE(QFile::copy(crashed, start));
    pf::UserDefaults::standard().setFileForTesting(start);
    m_alerts.clear();
    m_answer = 0; // Open
    TestController next;
    next.reopenDocumentsOfLastSession();
    EXPECT_EQ(m_alerts.filter("never saved was found").size(), 1) << m_alerts.join('\n').toStdString();
    ASSERT_EQ(next.documents().size(), 4u);
    EXPECT_TRUE(std::any_of(next.documents().begin(), next.documents().end(),
                            [&](const auto& d) { return d->autosavedContentsFileURL() == orphan; }));
}

// A record is brought back only over the picture its masks were made for, and reads and writes nothing
// outside the working area: a record naming a folder elsewhere, claiming absurd masks, or made for a
// picture another program has since changed to another size leaves the photo as last saved, says
// why, and writes nothing where it points.
TEST_F(Recovery, ARecordIsUsedOnlyOverItsOwnPictureAndInsideTheWorkingArea)
{
    struct Case
    {
        const char* what;
        std::function<void(QVariantMap& mask, const QString& photo)> change;
        const char* reason;
    };
    const QString outside = m_dir.filePath("outside");
    const Case cases[] = {
        {"a folder outside the working area",
         [&](QVariantMap& mask, const QString&) { mask["folder"] = outside; },
         "outside the application's working folder"},
        {"masks of 1e9 x 1e9",
         [](QVariantMap& mask, const QString&) {
             mask["width"] = 1e9;
             mask["height"] = 1e9;
         },
         "is damaged"},
        {"the photo changed to another size",
         [](QVariantMap&, const QString& photo) {
             QImage changed(80, 60, QImage::Format_RGB32);
             changed.fill(Qt::darkGreen);
             changed.save(photo, "JPEG");
         },
         "made for a picture of 64 x 48 pixels, and the picture is now 80 x 60 pixels"},
    };
    int number = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QDir().mkpath(outside);
        ++number;
        pf::FileSystem::setApplicationSupportDirectoryForTesting(
            m_dir.filePath(QStringLiteral("app-%1").arg(number)));
        pf::UserDefaults::standard().setFileForTesting(
            m_dir.filePath(QStringLiteral("case-%1.conf").arg(number)));
        const QString path = photo(QStringLiteral("photo-%1.jpg").arg(number));
        const QString recordPath = crashedSessionWith(path);
        ASSERT_FALSE(recordPath.isEmpty());
        QVariantMap record = pf::PropertyList::fromFile(recordPath, nullptr)->toMap();
        QVariantList masks = record["masks"].toList();
        ASSERT_EQ(masks.size(), 1);
        QVariantMap mask = masks[0].toMap();
        c.change(mask, path);
        masks[0] = mask;
        record["masks"] = masks;
        ASSERT_TRUE(pf::FileSystem::writeFileAtomically(
            recordPath, *pf::PropertyList::toData(record, pf::PropertyList::Format::Binary, nullptr)));

        m_alerts.clear();
        TestController next;
        ASSERT_EQ(next.reopenDocumentsOfLastSession(), 1) << m_alerts.join('\n').toStdString();
        const auto document = next.documents().front();
        ASSERT_TRUE(spinUntil([&] {
            return chainOf(document) &&
                   std::static_pointer_cast<GMDocument>(document)->pendingLayerCount() == 0;
        }));
        EXPECT_EQ(chainOf(document)->numberOfTools(), 1) << "as last saved: no layer";
        const QString told = m_alerts.join('\n');
        EXPECT_TRUE(told.contains("as last saved") && told.contains(c.reason)) << told.toStdString();
        EXPECT_FALSE(told.contains("Your work was recovered.")) << told.toStdString();
        EXPECT_EQ(QDir(outside).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList())
            << "nothing written outside";
    }
}

// A record names the picture its layers lie over. Over that picture it is used without a question,
// however the picture is read now (the photo itself, or the kept edits an autosave made of it after the
// record, also where they keep the original in another form than the file's); over another picture of
// the same size (replaced by another program) the user is asked first.
TEST_F(Recovery, ARecordAsksBeforeItsLayersGoOverAnotherPicture)
{
    struct Case
    {
        const char* what;
        const char* name;
        const char* format;
        bool autosavedAndPainted; // kept edits autosaved over the photo, then a stroke (0.4) after them
        bool replaced;
        QSize size = QSize(64, 48);
    };
    const Case cases[] = {
        {"a photo as it was", "same.jpg", "JPEG", false, false},
        {"a large photo as it was (read in the background)", "large.jpg", "JPEG", false, false,
         QSize(2048, 2048)},
        {"a TIFF autosaved and painted again", "kept.tif", "TIFF", true, false},
        {"a photo replaced by another of the same size", "replaced.jpg", "JPEG", false, true},
        {"a large photo replaced by another of the same size", "large-replaced.jpg", "JPEG", false, true,
         QSize(2048, 2048)},
    };
    int number = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ++number;
        pf::FileSystem::setApplicationSupportDirectoryForTesting(
            m_dir.filePath(QStringLiteral("area-%1").arg(number)));
        pf::UserDefaults::standard().setFileForTesting(
            m_dir.filePath(QStringLiteral("area-%1.conf").arg(number)));
        m_photoFormat = c.format;
        m_photoSize = c.size;
        const QString path = photo(c.name);
        ASSERT_FALSE(crashedSessionWith(path, [&](pf::Document& document) {
                         if (c.autosavedAndPainted) {
                             EXPECT_TRUE(save(document, path, document.fileType(), Op::Autosave).succeeded);
                             auto& gm = static_cast<GMDocument&>(document);
                             stroke(gm.windowController()->toolChain(), 1, 0.4);
                             spinUntil([] { return false; }, 1000);
                             GMDocument::waitForRecoveryRecords();
                         }
                     }).isEmpty());
        if (c.replaced) {
            QImage other(m_photoSize, QImage::Format_RGB32);
            other.fill(QColor(30, 160, 40));
            ASSERT_TRUE(other.save(path, c.format));
        }
        m_alerts.clear();
        TestController next;
        ASSERT_EQ(next.reopenDocumentsOfLastSession(), 1) << m_alerts.join('\n').toStdString();
        const auto document = next.documents().front();
        ASSERT_TRUE(spinUntil([&] {
            return chainOf(document) &&
                   std::static_pointer_cast<GMDocument>(document)->pendingLayerCount() == 0;
        }));
        EXPECT_EQ(m_alerts.filter("was changed by another program").size(), c.replaced ? 1 : 0)
            << m_alerts.join('\n').toStdString();
        ASSERT_EQ(chainOf(document)->numberOfTools(), 2) << "the layers, over the picture (answered so)";
        EXPECT_NEAR(maskValue(chainOf(document), 1), c.autosavedAndPainted ? 0.4 : 0.7, 0.02)
            << "the record's strokes";
        EXPECT_TRUE(document->isDocumentEdited());
        EXPECT_EQ(m_alerts.filter("Your work was recovered.").size(), 1) << m_alerts.join('\n').toStdString();
        document->close();
        OVBrushPathImage::waitForPendingWrites();
        GMDocument::waitForRecoveryRecords();
    }
    m_photoFormat = "JPEG";
    m_photoSize = QSize(64, 48);
}

// A photo not there when the application starts again (a card not in its reader) keeps its latest
// changes: opened once it is back, it comes with them, marked edited, and the user is told.
TEST_F(Recovery, APhotoMissingAtTheStartGetsItsWorkBackWhenOpened)
{
    const QString path = photo("card/photo.jpg");
    ASSERT_FALSE(crashedSessionWith(path).isEmpty());
    const QString card = m_dir.filePath("card");
    ASSERT_TRUE(QDir().rename(card, card + "-out"));
    TestController next;
    EXPECT_EQ(next.reopenDocumentsOfLastSession(), 0);
    EXPECT_TRUE(m_alerts.join('\n').contains("These cannot be found")) << m_alerts.join('\n').toStdString();
    ASSERT_TRUE(QDir().rename(card + "-out", card));

    m_alerts.clear();
    QString error;
    const auto document = next.openDocumentWithContentsOfURL(path, true, &error);
    ASSERT_TRUE(document) << error.toStdString();
    ASSERT_TRUE(spinUntil([&] {
        return chainOf(document) && std::static_pointer_cast<GMDocument>(document)->pendingLayerCount() == 0;
    }));
    EXPECT_EQ(chainOf(document)->numberOfTools(), 2);
    EXPECT_NEAR(maskValue(chainOf(document), 1), 0.7, 0.02);
    EXPECT_TRUE(document->isDocumentEdited());
    EXPECT_EQ(m_alerts.filter("Your work on “photo.jpg” was recovered.").size(), 1)
        << m_alerts.join('\n').toStdString();
    const QVariantList open = pf::UserDefaults::standard().arrayForKey("OpenDocuments");
    ASSERT_EQ(open.size(), 1) << "listed once, as an open document";
    EXPECT_FALSE(open[0].toMap().contains("waiting"));
}

// Run by the next test in a process of its own: autosaves a painted photo, then dies between moving its
// shadow copy aside and moving the new one in, as a kill there leaves it where names cannot be exchanged.
TEST(RecoveryChild, AutosaveKilledMidReplacement)
{
    const QString path = qEnvironmentVariable("GLIMORA_ASIDE_PHOTO");
    if (path.isEmpty())
        GTEST_SKIP() << "run by AShadowCopyLeftAsideByAKilledSaveIsBackAtTheNextStart";
    prepareChildProcess();
    TestController documents;
    Opened opened = open(documents, path);
    ASSERT_TRUE(opened.document) << opened.error.toStdString();
    opened.chain()->insertPhotoToolWithBlueprint(chaintest::grey(), std::nullopt, 0);
    stroke(opened.chain(), 1, 0.7);
    ASSERT_TRUE(save(*opened.document, path, "jpeg", Op::Autosave).succeeded);
    pf::FileSystem::setDirectoryExchangeDisabledForTesting(true);
    pf::FileSystem::setReplacementStepHookForTesting([] { ::kill(::getpid(), SIGKILL); });
    stroke(opened.chain(), 1, 0.2);
    save(*opened.document, path, "jpeg", Op::Autosave);
    FAIL() << "still alive after the save";
}

// A photo's shadow copy that a killed save left moved aside is put back by the next start (which looks
// over the registry for the welcome window) instead of being dropped: the photo opens with its layers,
// and no hidden folder of the killed save stays behind.
TEST_F(Recovery, AShadowCopyLeftAsideByAKilledSaveIsBackAtTheNextStart)
{
    const QString path = photo("photo.jpg");
    ChildProcess child;
    ASSERT_TRUE(child.start(QCoreApplication::applicationFilePath(),
                            {"--gtest_filter=RecoveryChild.AutosaveKilledMidReplacement"},
                            {{"GLIMORA_ASIDE_PHOTO", path},
                             {"PF_APPLICATION_SUPPORT_DIR", m_dir.filePath("app")},
                             {"PF_USER_DEFAULTS_FILE", m_dir.filePath("child.conf")}}));
    ASSERT_TRUE(child.waitForFinished(90000));
    ASSERT_EQ(child.exitCode(), -1) << child.output().toStdString() << child.errors().toStdString();
    const QString key = GMDocument::shadowCopyKey(path);
    const QString area = GMFileUtilities::applicationSupportDirectory();
    const QString filename =
        GMFileUtilities::shadowCopyDictionary().value(key).toMap().value("filename").toString();
    ASSERT_FALSE(filename.isEmpty());
    ASSERT_FALSE(QFileInfo::exists(area + '/' + filename)) << "the kill came between the two moves";

    GMApplicationDelegate delegate;
    capableHandler(delegate);
    delegate.applicationDidFinishLaunching({});
    EXPECT_TRUE(GMFileUtilities::shadowCopyDictionary().contains(key)) << "the entry stays";
    EXPECT_TRUE(QFileInfo::exists(area + '/' + filename + "/content")) << "the copy is back";
    EXPECT_EQ(QDir(area).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).filter(filename),
              QStringList{filename})
        << "no leftover of the killed save";
    Opened reopened = open(m_documents, path);
    ASSERT_TRUE(reopened.document) << reopened.error.toStdString();
    ASSERT_EQ(reopened.chain()->numberOfTools(), 2);
    EXPECT_NEAR(maskValue(reopened.chain(), 1), 0.7, 0.02) << "as the last finished autosave left it";
}

namespace {

QString& savedPhoto()
{
    static QString path;
    return path;
}

} // namespace

// Run by the next test in a process of its own: keeps the edits of a painted photo (an autosave), paints
// again, saves into the photo and is killed right after the save moved the photo's new file into place.
TEST(RecoveryChild, SaveKilledRightAfterReplacingThePhoto)
{
    savedPhoto() = qEnvironmentVariable("GLIMORA_SAVED_PHOTO");
    if (savedPhoto().isEmpty())
        GTEST_SKIP() << "run by ASaveStoppedRightAfterReplacingThePhotoIsNoOneElsesChange";
    prepareChildProcess();
    TestController documents;
    Opened opened = open(documents, savedPhoto());
    ASSERT_TRUE(opened.document) << opened.error.toStdString();
    opened.chain()->insertPhotoToolWithBlueprint(chaintest::grey(), std::nullopt, 0);
    stroke(opened.chain(), 1, 0.7);
    ASSERT_TRUE(save(*opened.document, savedPhoto(), "jpeg", Op::Autosave).succeeded);
    stroke(opened.chain(), 1, 0.3);
    pf::FileSystem::setFileReplacedHookForTesting([](const QString& path) {
        if (QFileInfo(path).canonicalFilePath() == QFileInfo(savedPhoto()).canonicalFilePath())
            ::kill(::getpid(), SIGKILL);
    });
    save(*opened.document, savedPhoto(), "jpeg", Op::Save);
    FAIL() << "still alive after the save";
}

// Mended: a save killed right after it replaced the photo's file, before the kept edits noted the file's
// new state, made the next opening ask whether the photo was "changed by another program". It is this
// application's own save: the photo opens with the layers it was saved with, not marked edited, and
// asks nothing, then or later.
TEST_F(Recovery, ASaveStoppedRightAfterReplacingThePhotoIsNoOneElsesChange)
{
    const QString path = photo("photo.jpg");
    const QByteArray before = bytes(path);
    ChildProcess child;
    ASSERT_TRUE(child.start(QCoreApplication::applicationFilePath(),
                            {"--gtest_filter=RecoveryChild.SaveKilledRightAfterReplacingThePhoto"},
                            {{"GLIMORA_SAVED_PHOTO", path},
                             {"PF_APPLICATION_SUPPORT_DIR", m_dir.filePath("app")},
                             {"PF_USER_DEFAULTS_FILE", m_dir.filePath("child.conf")}}));
    ASSERT_TRUE(child.waitForFinished(90000));
    ASSERT_EQ(child.exitCode(), -1) << child.output().toStdString() << child.errors().toStdString();
    ASSERT_NE(bytes(path), before) << "the kill came after the photo was replaced";
    for (const char* opening : {"the first opening", "the next"}) {
        SCOPED_TRACE(opening);
        m_alerts.clear();
        Opened reopened = open(m_documents, path);
        ASSERT_TRUE(reopened.document) << reopened.error.toStdString();
        EXPECT_TRUE(m_alerts.filter("changed by another program").isEmpty())
            << m_alerts.join('\n').toStdString();
        ASSERT_EQ(reopened.chain()->numberOfTools(), 2);
        EXPECT_NEAR(maskValue(reopened.chain(), 1), 0.3, 0.02) << "as it was saved";
        EXPECT_FALSE(reopened.document->isDocumentEdited()) << "the file holds the changes";
        reopened.document->close();
    }
}

// Mended: an untouched sample closed quietly in one run, but after a restart it came back "Untitled*" and
// closing it asked to keep or delete its changes. It comes back untouched, after a kill and a quit alike.
TEST_F(Recovery, AnUntouchedSampleComesBackUntouched)
{
    m_answer = 1; // a question to keep it is cancelled
    const QString sample = photo("sample.jpg");
    for (const bool quit : {false, true}) {
        SCOPED_TRACE(quit ? "after a quit" : "after a kill");
        {
            DocumentHandler session;
            ASSERT_TRUE(session.openSample(sample));
            if (quit) {
                bool quitting = false;
                session.reviewUnsavedDocumentsAndQuit([&](bool answer) { quitting = answer; });
                ASSERT_TRUE(spinUntil([&] { return quitting; }));
                session.prepareToQuit();
            } else {
                pf::UserDefaults::standard().setBool("SessionRunning", true);
                pf::UserDefaults::standard().synchronize();
            }
        }
        m_alerts.clear();
        DocumentHandler next;
        ASSERT_EQ(next.reopenDocumentsOfLastSession(), 1);
        const auto document = next.documents().front();
        EXPECT_FALSE(document->isDocumentEdited());
        bool mayClose = false;
        document->canCloseDocument([&](bool answer) { mayClose = answer; });
        EXPECT_TRUE(spinUntil([&] { return mayClose; }, 5000));
        EXPECT_TRUE(m_alerts.filter("Do you want to keep").isEmpty()) << m_alerts.join('\n').toStdString();
        document->close();
    }
}

// Mended: an out-of-date mark planted as a link made a failed record write create a file where the link
// led, outside the working area. Neither the mark nor the record is written through a link.
TEST_F(Recovery, RecordsAndTheirMarksFollowNoLinkOutOfTheWorkingArea)
{
    const QString outside = m_dir.filePath("outside");
    ASSERT_TRUE(QDir().mkpath(outside));
    const struct
    {
        const char* what;
        bool mark; // the mark planted (and the record's write made to fail), else the record itself
    } cases[] = {{"a link as the out-of-date mark", true}, {"a link as the record", false}};
    int number = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QString error;
        const auto document = m_documents.openDocumentWithContentsOfURL(
            photo(QStringLiteral("linked-%1.jpg").arg(++number)), true, &error);
        ASSERT_TRUE(document && spinUntil([&] { return chainOf(document) != nullptr; }))
            << error.toStdString();
        const QString record = document->recoveryRecordPath();
        const QString planted = c.mark ? pf::Document::recoveryFailureMarkerPath(record) : record;
        const QString target = outside + QStringLiteral("/planted-%1").arg(number);
        ASSERT_TRUE(QFile::link(target, planted));
        if (c.mark) {
            ASSERT_TRUE(QDir().mkpath(record)) << "a folder in the record's place: its write fails";
        }
        chainOf(document)->insertPhotoToolWithBlueprint(chaintest::grey(), std::nullopt, 0);
        stroke(chainOf(document), 1, 0.6);
        EXPECT_TRUE(spinUntil([&] { return !QFileInfo(planted).isSymLink(); }, 5000));
        GMDocument::waitForRecoveryRecords();
        EXPECT_TRUE(QFileInfo(planted).isFile() && !QFileInfo(planted).isSymLink());
        EXPECT_EQ(QDir(outside).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList())
            << "nothing written outside";
        document->close();
        GMDocument::waitForRecoveryRecords();
        QDir(record).removeRecursively();
    }
}

// Mended: a recorded stroke snapshot that does not read brought two alerts, the first saying the document
// was open again "as they were a few seconds before it stopped", the second that its strokes show empty.
// One alert says what truly came back.
TEST_F(Recovery, ARecordedMaskThatDoesNotReadIsToldOnceWithWhatCameBack)
{
    const QString path = photo("photo.jpg");
    const QString recordPath = crashedSessionWith(path);
    ASSERT_FALSE(recordPath.isEmpty());
    const QVariantMap record = pf::PropertyList::fromFile(recordPath, nullptr)->toMap();
    const QString snapshot = record["masks"].toList().value(0).toMap().value("folder").toString();
    ASSERT_TRUE(QFileInfo::exists(snapshot + "/imageContainer/image.png")) << snapshot.toStdString();
    QFile picture(snapshot + "/imageContainer/image.png");
    ASSERT_TRUE(picture.open(QIODevice::ReadWrite) && picture.resize(picture.size() / 2));
    picture.close();

    m_alerts.clear();
    TestController next;
    ASSERT_EQ(next.reopenDocumentsOfLastSession(), 1);
    const auto document = next.documents().front();
    ASSERT_TRUE(spinUntil([&] {
        return chainOf(document) && std::static_pointer_cast<GMDocument>(document)->pendingLayerCount() == 0;
    }));
    spinUntil([] { return false; }, 300); // any later alert has its moment
    ASSERT_EQ(m_alerts.size(), 1) << m_alerts.join('\n').toStdString();
    EXPECT_TRUE(m_alerts[0].contains("could not be read and show empty")) << m_alerts[0].toStdString();
    EXPECT_FALSE(m_alerts[0].contains("as they were a few seconds before it stopped: “photo”"))
        << m_alerts[0].toStdString();
    EXPECT_EQ(chainOf(document)->numberOfTools(), 2) << "the layer is there, its mask empty";
    EXPECT_TRUE(document->isDocumentEdited());
}
