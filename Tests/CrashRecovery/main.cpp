// The application killed with unsaved work, and started again, as a person would live it: an untitled
// document (a sample) is painted on, autosaved, painted on again, and the process is killed (SIGKILL)
// two seconds after that last stroke. The next start opens the document again by itself, with the stroke
// made after the autosave, marked edited, and says that work was recovered. One PNG per step:
//   crash-recovery <output folder> [--rounds N]
// With --rounds the session goes on painting a stroke every 0.7 s and is killed at a random moment, N
// times: every stroke finished at least 2 s before the kill must be back (a figure for the record).
// The killed session runs as a second process of this program ("--crashing-session <sandbox>").
// Then the same with a photo of the user's, killed the same way: the photo not there at the next start
// (a card not in the reader) and back at the start after that, which brings its strokes back; the photo
// changed by another program before the next start, answered each way; a photo never saved replaced
// by another picture of the same size before the next start; a second start handing the photo over
// while the next start asks about it; and the working area's disk filling up while the user paints, on
// a small file system of the run's own (skipped, and said, where none can be made), with starts while
// it is still full; and a start on a read-only disk.
// Fails (non-zero) when a step does not have the effect it should.
#include "Classes/Document/DocumentHandler.h"
#include "Classes/Document/GMApplicationDelegate.h"
#include "Classes/Document/GMDocument.h"
#include "Classes/Document/GMDocumentPackage.h"
#include "Classes/Document/GMEditorWindowController.h"
#include "Classes/Document/GMWelcomeWindow.h"
#include "Classes/Filters/FilterLibrary.h"
#include "Classes/Help/OVInformationPanel.h"
#include "Classes/ToolObjects/GMBlueprintCatalog.h"
#include "Classes/ToolObjects/OVBrushFramework/OVBrushPathImage.h"
#include "Classes/ToolObjects/OVBrushFramework/OVHealingBrush.h"
#include "Classes/ToolObjects/OVBrushFramework/OVImageContainer.h"
#include "Classes/ToolObjects/OVBrushFramework/OVIrisMaskBrush.h"
#include "Classes/ToolObjects/OVBrushFramework/OVIrisReplacementBrush.h"
#include "Classes/ToolObjects/PhotoToolChain.h"
#include "Platform/Foundation/FileSystem.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/UI/Alert.h"
#include "Platform/UI/Window.h"
#include "Tests/ChildProcess.h"
#include "Tests/Gallery/EditorClasses.h"
#include "Tests/Gallery/GalleryShots.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QMessageBox>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

namespace {

using GalleryShots::failures;
using GalleryShots::outputFolder;

// The two strokes: the first is autosaved, the second is made after the autosave.
constexpr double autosavedValue = 0.3;
constexpr double laterValue = 0.4;
// Rounds: stroke k paints this value (growing), so that the mask tells which stroke it holds.
double roundValue(int k)
{
    return 0.42 + 0.01 * std::min(k, 50);
}

void check(bool condition, const QString& what)
{
    if (!condition) {
        std::fprintf(stderr, "Error: %s\n", qPrintable(what));
        ++failures;
    } else {
        std::printf("ok: %s\n", qPrintable(what));
    }
    std::fflush(stdout);
}

void shoot(const QWidget* window, const QString& name)
{
    GalleryShots::settle(150);
    GalleryShots::saveNumbered(GalleryShots::screenshot(window), name);
}

void useSandbox(const QString& sandbox)
{
    pf::FileSystem::setApplicationSupportDirectoryForTesting(sandbox + QStringLiteral("/app"));
    pf::UserDefaults::standard().setFileForTesting(sandbox + QStringLiteral("/defaults.conf"));
    // The first editor window's help sheet would lie over the windows these runs look at.
    pf::UserDefaults::standard().setValue(OVInformationPanel::dontShowAgainKey,
                                          QVariantMap{{GMEditorWindowController::firstRunTopic, 1}});
}

std::shared_ptr<PhotoToolChain> chainOf(const std::shared_ptr<pf::Document>& document)
{
    auto gm = std::dynamic_pointer_cast<GMDocument>(document);
    return gm && gm->windowController() ? gm->windowController()->toolChain() : nullptr;
}

OVContentContainerPtr strokeOver(const pf::Size& size, double value)
{
    const pf::Rect rect(0, 0, size.width, size.height);
    return std::make_shared<OVContentContainer>(
        std::make_shared<OVImageContainer>(
            pf::Image::constantColor(pf::Color(value, value, value, 1)).imageByCroppingToRect(rect), true),
        nullptr);
}

double maskValue(const std::shared_ptr<PhotoToolChain>& chain)
{
    if (!chain || chain->numberOfTools() < 2)
        return -1;
    const pf::Bitmap bitmap = chain->brushPathImageAtIndex(1)->contentContainer()->imageContainer()->bitmap();
    if (bitmap.isNull())
        return -1;
    float rgba[4];
    bitmap.pixel(bitmap.width() / 2, bitmap.height() / 2, rgba);
    return rgba[1];
}

// The session that is killed: a sample painted, autosaved, painted again; then it waits to die.
// A step that does not come about ends the process at once with its number: unwinding a half-built
// session while its writes are still queued would only crash, and hide which step it was. Loaded
// machines are slow, so every wait is generous.
[[noreturn]] void giveUp(int step, const char* what)
{
    std::fprintf(stderr, "Error: the crashing session stopped at step %d: %s\n", step, what);
    std::fflush(stderr);
    std::_Exit(step);
}

// What the killed session works on: a sample (painted on at random moments with `Rounds`), a photo of
// the user's, or a sample on a disk that fills up after the stroke made after the autosave.
enum class Session
{
    Sample,
    Rounds,
    Photo,
    PhotoNeverSaved, // a photo painted on and killed before any autosave: it has no kept edits
    FullDisk,
};

// Fills the disk of `folder` until it takes nothing more.
void fillDisk(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder + QStringLiteral("/filler")).constData(),
                          O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        giveUp(7, "the disk could not be filled");
    for (const size_t chunk : {size_t(1) << 16, size_t(512), size_t(1)}) {
        const std::vector<char> bytes(chunk, 'x');
        while (::write(fd, bytes.data(), chunk) > 0) {
        }
    }
    ::close(fd);
}

int crashingSession(const QString& sandbox, Session session, const QString& photo)
{
    useSandbox(sandbox);
    GalleryShots::registerEditorClasses();
    // Every alert this session shows is noted (and answered with its first button), for the next start
    // to look at.
    pf::Alert::setResponder([sandbox](const pf::Alert& alert) {
        QFile told(sandbox + QStringLiteral("/alerts"));
        told.open(QIODevice::WriteOnly | QIODevice::Append);
        told.write((alert.messageText + u'\n').toUtf8());
        return pf::Alert::firstButtonReturn;
    });
    GMApplicationDelegate delegate;
    if (!delegate.claimSingleInstance({}))
        giveUp(2, "another instance holds the working area");
    DocumentHandler& handler = delegate.documentHandler();
    delegate.applicationDidFinishLaunching({});
    QString error;
    const bool ofPhoto = session == Session::Photo || session == Session::PhotoNeverSaved;
    auto document = ofPhoto ? handler.openDocumentWithContentsOfURL(photo, true, &error)
                            : handler.openSample(QStringLiteral(GLIMORA_TESTDATA_DIR "/portrait-512.png"));
    if (!document || !GalleryShots::waitFor([&] { return chainOf(document) != nullptr; }, 60000))
        giveUp(3, "the sample or photo did not open");
    auto chain = chainOf(document);
    // Named as a document converted from an older file is: the name must come back with it.
    if (!ofPhoto)
        document->setDraftName(sandbox + QStringLiteral("/Painted (converted).glimora"));
    const QStringList effects = GMBlueprintCatalog::sharedInstance().effectBlueprintNames();
    if (effects.isEmpty())
        giveUp(4, "no effect is known");
    chain->insertPhotoToolWithBlueprint(
        GMBlueprintCatalog::sharedInstance().effectBlueprintWithName(effects.first()), std::nullopt, 0);
    chain->brushPathImageAtIndex(1)->addContentContainer(
        strokeOver(chain->originalImageSize(), autosavedValue));
    GalleryShots::settle(300);
    if (session != Session::PhotoNeverSaved) {
        handler.autosaveAllDocuments();
        if (!GalleryShots::waitFor(
                [&] {
                    return (ofPhoto || !document->autosavedContentsFileURL().isEmpty()) &&
                           !document->hasUnautosavedChanges() && !document->isSaving();
                },
                60000))
            giveUp(5, "the autosave did not finish");
    }
    chain->brushPathImageAtIndex(1)->addContentContainer(strokeOver(chain->originalImageSize(), laterValue));
    // A stroke finished two seconds before the kill is the promise (the rounds measure it). These
    // sessions look at what comes back, not how fast: under the thread checker on a loaded machine the
    // record's write may take longer, and is waited for.
    GalleryShots::settle(2000);
    if (session != Session::FullDisk) {
        GMDocument::waitForRecoveryRecords();
        GalleryShots::settle(600);
        GMDocument::waitForRecoveryRecords();
    }
    if (session == Session::FullDisk) {
        // The disk fills up (another program's download, say) and the user paints on.
        fillDisk(sandbox + QStringLiteral("/app"));
        for (int k = 0; k < 2; ++k) {
            chain->brushPathImageAtIndex(1)->addContentContainer(
                strokeOver(chain->originalImageSize(), roundValue(k)));
            GalleryShots::settle(1000);
        }
        GalleryShots::settle(1500);
    }
    QFile ready(sandbox + QStringLiteral("/ready"));
    ready.open(QIODevice::WriteOnly);
    ready.close();
    if (session == Session::Rounds) {
        // A stroke every 0.7 s, each noted with the moment it was finished, until killed.
        QFile log(sandbox + QStringLiteral("/strokes"));
        log.open(QIODevice::WriteOnly | QIODevice::Append);
        for (int k = 0;; ++k) {
            chain->brushPathImageAtIndex(1)->addContentContainer(
                strokeOver(chain->originalImageSize(), roundValue(k)));
            log.write(QStringLiteral("%1 %2\n").arg(k).arg(QDateTime::currentMSecsSinceEpoch()).toUtf8());
            log.flush();
            GalleryShots::settle(700);
        }
    }
    return QApplication::exec(); // until killed
}

// A start of the application beside the one a test runs (`files` handed over, as a file manager's double
// click does) or in its place: what claiming the working area came to, as its exit code (0: handed
// over, 1: refused and told why, 2: it runs). Its alerts are noted in "<sandbox>/alerts-start".
int anotherStart(const QString& sandbox, const QStringList& files)
{
    useSandbox(sandbox);
    pf::Alert::setResponder([sandbox](const pf::Alert& alert) {
        QFile told(sandbox + QStringLiteral("/alerts-start"));
        told.open(QIODevice::WriteOnly | QIODevice::Append);
        told.write((alert.messageText + u'\n').toUtf8());
        return pf::Alert::firstButtonReturn;
    });
    GMApplicationDelegate delegate;
    if (delegate.claimSingleInstance(files))
        return 2;
    return delegate.startRefused() ? 1 : 0;
}

// The value of the newest stroke the session finished at least `margin` ms before `killed`; -1 for none.
double promisedValue(const QString& sandbox, qint64 killed, qint64 margin)
{
    QFile log(sandbox + QStringLiteral("/strokes"));
    double value = laterValue;
    if (!log.open(QIODevice::ReadOnly))
        return value;
    for (const QByteArray& line : log.readAll().split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() == 2 && parts[1].toLongLong() <= killed - margin)
            value = roundValue(parts[0].toInt());
    }
    return value;
}

// The alerts the second start showed (their message, and their informative text in `shownDetails`),
// each shot and answered while `answeringAlerts` holds: with the button `buttonFor` picks by the
// message, the first by default.
QStringList shownAlerts, shownDetails;
bool answeringAlerts = false;
std::function<int(const QString&)> buttonFor;
// Where a question's buttons are better named than counted: the title of the one to click, or empty.
std::function<QString(const QString&)> buttonTitleFor;
// While it answers true for the alert up, the alert waits (something happens while it is asked).
std::function<bool(const QMessageBox&)> holdAnswer;
int answeringStart = 0; // which start answers: a loop of an earlier one stops

void answerAlert(int start)
{
    if (!answeringAlerts || start != answeringStart)
        return;
    const auto again = [start] { QTimer::singleShot(200, [start] { answerAlert(start); }); };
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || (holdAnswer && holdAnswer(*box)))
        return again();
    shownAlerts << box->text();
    shownDetails << box->informativeText();
    shoot(box, QStringLiteral("recovery-alert"));
    const QString title = buttonTitleFor ? buttonTitleFor(box->text()) : QString();
    QAbstractButton* named = nullptr;
    for (QAbstractButton* candidate : box->buttons())
        if (!title.isEmpty() && candidate->text() == title)
            named = candidate;
    const int button = buttonFor ? buttonFor(box->text()) : 0;
    if (named)
        named->click();
    else if (button < box->buttons().size())
        box->buttons()[button]->click();
    again();
}

// Starts answering the real alerts of a start, as the user does.
void answerAlerts(std::function<int(const QString&)> choose = {})
{
    shownAlerts.clear();
    shownDetails.clear();
    buttonFor = std::move(choose);
    buttonTitleFor = nullptr;
    holdAnswer = {};
    pf::Alert::setResponder({});
    answeringAlerts = true;
    QTimer::singleShot(500, [start = ++answeringStart] { answerAlert(start); });
}

// Starts the session that is killed (`arguments` say what it works on) and waits until it is ready to
// die; whether it got there.
bool startCrashingSession(ChildProcess& crashing, const QString& sandbox, const QStringList& arguments)
{
    check(crashing.start(QCoreApplication::applicationFilePath(),
                         QStringList{QStringLiteral("--crashing-session"), sandbox} + arguments),
          QStringLiteral("the first session starts"));
    const bool ready = GalleryShots::waitFor(
        [&] { return QFile::exists(sandbox + QStringLiteral("/ready")) || !crashing.isRunning(); }, 90000);
    check(ready && crashing.isRunning(),
          QStringLiteral("the first session painted, autosaved and painted again (exit %1: %2)")
              .arg(crashing.exitCode())
              .arg(QString::fromLocal8Bit(crashing.errors().right(2000))));
    return ready && crashing.isRunning();
}

// A start of the application in the sandbox of a killed session, as `delegate` makes it; its one
// document once its layers are in (null when none opened).
std::shared_ptr<pf::Document> startAgain(GMApplicationDelegate& delegate, const QString& sandbox)
{
    useSandbox(sandbox);
    check(delegate.claimSingleInstance({}), QStringLiteral("the next start runs in the killed one's place"));
    DocumentHandler& handler = delegate.documentHandler();
    delegate.applicationDidFinishLaunching({});
    if (handler.documents().size() != 1)
        return nullptr;
    auto document = handler.documents().front();
    auto gm = std::dynamic_pointer_cast<GMDocument>(document);
    check(GalleryShots::waitFor([&] { return gm && gm->pendingLayerCount() == 0 && chainOf(document); }),
          QStringLiteral("its layers come in"));
    GalleryShots::settle(500);
    answeringAlerts = false;
    return document;
}

// Closes what a start opened without keeping anything (an edited photo: Don't Save; an untitled
// document: Delete).
void closeAll(DocumentHandler& handler)
{
    pf::Alert::setResponder([](const pf::Alert&) { return pf::Alert::firstButtonReturn + 2; });
    for (const auto& open : std::vector(handler.documents()))
        open->close();
    pf::Alert::setResponder({});
}

// One life: painted, killed, started again. `rounds`: killed at a random moment while it paints on.
void run(const QString& sandbox, bool rounds = false)
{
    ChildProcess crashing;
    const bool started = startCrashingSession(
        crashing, sandbox, rounds ? QStringList{QStringLiteral("--rounds")} : QStringList());
    if (rounds && started)
        GalleryShots::settle(int(QRandomGenerator::global()->bounded(1000, 9000)));
    const qint64 killed = QDateTime::currentMSecsSinceEpoch();
    crashing.kill();
    const double promised = promisedValue(sandbox, killed, 2000);

    QStringList alerts;
    if (rounds) {
        pf::Alert::setResponder([&](const pf::Alert& alert) {
            alerts << alert.messageText;
            return pf::Alert::firstButtonReturn;
        });
    } else {
        // The real alert, as the user sees it: shot, then its first button clicked.
        answerAlerts();
    }
    GMApplicationDelegate delegate;
    DocumentHandler& handler = delegate.documentHandler();
    const auto document = startAgain(delegate, sandbox);
    check(document != nullptr, QStringLiteral("the document of the killed session opens again"));
    if (!document)
        return;
    const auto chain = chainOf(document);
    check(chain && chain->numberOfTools() == 2, QStringLiteral("it has its painted layer"));
    const double value = maskValue(chain);
    // As new as the stroke finished two seconds before the kill, or newer.
    check(value > promised - 0.005 && value < 0.95,
          QStringLiteral(
              "the layer holds the stroke made 2 s before the kill or a later one (mask %1, promised %2)")
              .arg(value)
              .arg(promised));
    check(document->fileURL().isEmpty(), QStringLiteral("it is still untitled"));
    check(document->displayName() == QLatin1String("Painted (converted)"),
          QStringLiteral("it keeps its name (%1)").arg(document->displayName()));
    check(document->isDocumentEdited(), QStringLiteral("it is marked edited"));
    alerts += shownAlerts;
    check(alerts.contains(QStringLiteral("Your work was recovered.")), QStringLiteral("the user is told"));
    check(!handler.welcomeWindow() || !handler.welcomeWindow()->window()->isVisible(),
          QStringLiteral("the welcome window is not in the way"));
    if (document->window() && !rounds)
        shoot(document->window(), QStringLiteral("recovered-document"));
    // Closing it for good (an untitled document: deleted): the next round starts from nothing.
    closeAll(handler);
}

// Quits as the Quit command does, writing every document and remembering the open ones.
void quit(GMApplicationDelegate& delegate)
{
    DocumentHandler& handler = delegate.documentHandler();
    bool decided = false, quitting = false;
    handler.reviewUnsavedDocumentsAndQuit([&](bool answer) {
        decided = true;
        quitting = answer;
    });
    check(GalleryShots::waitFor([&] { return decided; }, 60000) && quitting, QStringLiteral("it quits"));
    handler.prepareToQuit();
    for (const auto& open : std::vector(handler.documents()))
        open->close();
    delegate.applicationWillTerminate();
}

// A photo of the user's, 512 x 512, in a folder of its own (a memory card, say).
QString writePhoto(const QString& sandbox)
{
    QDir().mkpath(sandbox + QStringLiteral("/card"));
    const QString photo = sandbox + QStringLiteral("/card/photo.jpg");
    check(QImage(QStringLiteral(GLIMORA_TESTDATA_DIR "/portrait-512.png")).save(photo, "JPEG", 92),
          QStringLiteral("the photo is written"));
    return photo;
}

// The photo's card is out of the reader at the next start: nothing opens, the user is told that its work
// waits for it, and the list and the record keep it, through a quit. With the card back, the start after
// that brings the stroke made after the autosave back.
void photoAwayAtTheRestart(const QString& sandbox)
{
    const QString photo = writePhoto(sandbox);
    {
        ChildProcess crashing;
        startCrashingSession(crashing, sandbox, {QStringLiteral("--photo"), photo});
        crashing.kill();
    }
    const QString card = sandbox + QStringLiteral("/card");
    check(QDir().rename(card, card + QStringLiteral("-out")), QStringLiteral("the card is taken out"));
    {
        answerAlerts();
        GMApplicationDelegate delegate;
        const auto document = startAgain(delegate, sandbox);
        check(!document && delegate.documentHandler().documents().empty(),
              QStringLiteral("without its photo, nothing opens"));
        check(shownAlerts.contains(QStringLiteral("Some of your work cannot be recovered yet.")) &&
                  shownDetails.join(u' ').contains(QStringLiteral("These cannot be found")),
              QStringLiteral("the user is told that the work waits for the photo (%1)")
                  .arg(shownDetails.join(u' ')));
        quit(delegate);
    }
    const QVariantList open = pf::UserDefaults::standard().arrayForKey(QStringLiteral("OpenDocuments"));
    const QString record = open.value(0).toMap().value(QStringLiteral("recovery")).toString();
    check(open.size() == 1 && open[0].toMap().value(QStringLiteral("url")).toString() == photo &&
              QFile::exists(sandbox + QStringLiteral("/app/recovery/") + record),
          QStringLiteral("after a quit, the list still names the photo and its record is kept"));
    check(QDir().rename(card + QStringLiteral("-out"), card), QStringLiteral("the card is back"));
    answerAlerts();
    GMApplicationDelegate delegate;
    const auto document = startAgain(delegate, sandbox);
    check(document && document->fileURL() == photo, QStringLiteral("the photo opens again"));
    if (!document)
        return;
    const auto chain = chainOf(document);
    check(chain && chain->numberOfTools() == 2 && std::abs(maskValue(chain) - laterValue) < 0.005,
          QStringLiteral("with the stroke made after its autosave (mask %1)").arg(maskValue(chain)));
    check(document->isDocumentEdited(), QStringLiteral("marked edited"));
    check(shownAlerts.contains(QStringLiteral("Your work was recovered.")) &&
              shownDetails.join(u' ').contains(QStringLiteral("could not be found at an earlier start")),
          QStringLiteral("the user is told that it is back (%1)").arg(shownAlerts.join(u' ')));
    if (document->window())
        shoot(document->window(), QStringLiteral("photo-back"));
    closeAll(delegate.documentHandler());
}

// Another program changes the photo (to 400 x 300) between the kill and the next start, which asks which
// to open: the kept edits bring the photo as it was with every stroke; the file as it is opens without
// them, and without the record's strokes too.
void photoChangedBeforeTheRestart(const QString& sandbox, bool keptEdits)
{
    const QString photo = writePhoto(sandbox);
    {
        ChildProcess crashing;
        startCrashingSession(crashing, sandbox, {QStringLiteral("--photo"), photo});
        crashing.kill();
    }
    QImage changed(400, 300, QImage::Format_RGB32);
    changed.fill(QColor(200, 180, 160));
    check(changed.save(photo, "JPEG", 92), QStringLiteral("another program changes the photo"));
    answerAlerts();
    buttonTitleFor = [keptEdits](const QString& text) {
        return !text.contains(QStringLiteral("was changed by another program")) ? QString()
               : keptEdits ? QStringLiteral("Open Kept Edits")
                           : QStringLiteral("Open the File as It Is");
    };
    GMApplicationDelegate delegate;
    const auto document = startAgain(delegate, sandbox);
    check(shownAlerts.filter(QStringLiteral("was changed by another program")).size() == 1,
          QStringLiteral("the user is asked which to open"));
    check(document != nullptr, QStringLiteral("the photo opens"));
    if (!document)
        return;
    const auto chain = chainOf(document);
    const pf::Size size = chain ? chain->originalImageSize() : pf::Size();
    if (keptEdits) {
        check(size.width == 512 && size.height == 512 && chain->numberOfTools() == 2 &&
                  std::abs(maskValue(chain) - laterValue) < 0.005,
              QStringLiteral("the kept edits: the photo as it was, with the stroke made after the autosave "
                             "(%1 x %2, mask %3)")
                  .arg(size.width)
                  .arg(size.height)
                  .arg(maskValue(chain)));
        check(document->isDocumentEdited(), QStringLiteral("marked edited"));
        check(shownAlerts.contains(QStringLiteral("Your work was recovered.")),
              QStringLiteral("the user is told that the work is back (%1)").arg(shownAlerts.join(u' ')));
    } else {
        check(size.width == 400 && size.height == 300 && chain->numberOfTools() == 1,
              QStringLiteral("the file as it is: no layer of the kept edits nor of the record (%1 x %2, %3 "
                             "layers)")
                  .arg(size.width)
                  .arg(size.height)
                  .arg(chain ? chain->numberOfTools() - 1 : -1));
        check(!document->isDocumentEdited(), QStringLiteral("not marked edited: it is the file"));
        check(!shownAlerts.contains(QStringLiteral("Your work was recovered.")) &&
                  shownDetails.join(u' ').contains(QStringLiteral("as you chose")),
              QStringLiteral("the user is told it opened as chosen (%1)").arg(shownDetails.join(u' ')));
    }
    if (document->window())
        shoot(document->window(), keptEdits ? QStringLiteral("changed-photo-kept-edits")
                                            : QStringLiteral("changed-photo-as-it-is"));
    closeAll(delegate.documentHandler());
}

// A photo never saved (no kept edits), painted on and killed; before the next start another program puts
// another picture of the same size at its path (or a card comes back holding another photo of that
// name). The start asks, as for kept edits, instead of laying the strokes over that picture, and
// follows the answer. The same picture written again (a copy with a new time) is no change.
// The other picture has the same size in bytes and the same modification time (a copy that keeps times):
// neither tells it apart, its pixels do.
void photoReplacedBeforeTheRestart(const QString& sandbox, bool replaced, bool withChanges)
{
    const QString photo = writePhoto(sandbox);
    {
        ChildProcess crashing;
        startCrashingSession(crashing, sandbox, {QStringLiteral("--photo-never-saved"), photo});
        crashing.kill();
    }
    if (replaced) {
        const QFileInfo before(photo);
        const qint64 size = before.size();
        const QDateTime time = before.lastModified();
        QImage other(512, 512, QImage::Format_RGB32);
        other.fill(QColor(70, 110, 60));
        check(other.save(photo, "JPEG", 92),
              QStringLiteral("another picture of the same size takes its place"));
        // Padded after its end (where decoders read nothing) to the same size, and given the same time.
        QFile file(photo);
        check(file.size() <= size && file.open(QIODevice::Append) &&
                  file.write(QByteArray(size - file.size(), '\0')) >= 0,
              QStringLiteral("the other picture has the same size in bytes"));
        file.close();
        check(file.open(QIODevice::ReadWrite) && file.setFileTime(time, QFileDevice::FileModificationTime) &&
                  QFileInfo(photo).size() == size,
              QStringLiteral("and the same modification time"));
        file.close();
    } else {
        QFile file(photo);
        file.open(QIODevice::ReadOnly);
        const QByteArray bytes = file.readAll();
        file.close();
        QThread::msleep(20);
        QFile::remove(photo);
        check(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size(),
              QStringLiteral("the same picture is written again"));
        file.close();
    }
    answerAlerts();
    buttonTitleFor = [withChanges](const QString& text) {
        return !text.contains(QStringLiteral("was changed by another program")) ? QString()
               : withChanges ? QStringLiteral("Open with My Changes")
                             : QStringLiteral("Open the File as It Is");
    };
    GMApplicationDelegate delegate;
    const auto document = startAgain(delegate, sandbox);
    const int asked = int(shownAlerts.filter(QStringLiteral("was changed by another program")).size());
    check(asked == (replaced ? 1 : 0),
          replaced ? QStringLiteral("the user is asked whether the changes go over the other picture (%1)")
                         .arg(shownAlerts.join(u' '))
                   : QStringLiteral("the same picture is no change: nothing is asked (%1)")
                         .arg(shownAlerts.join(u' ')));
    check(document != nullptr, QStringLiteral("the photo opens"));
    if (!document)
        return;
    const auto chain = chainOf(document);
    if (withChanges) {
        check(chain && chain->numberOfTools() == 2 && std::abs(maskValue(chain) - laterValue) < 0.005,
              QStringLiteral("with the strokes made before the kill (mask %1)").arg(maskValue(chain)));
        check(document->isDocumentEdited(), QStringLiteral("marked edited"));
        check(shownAlerts.contains(QStringLiteral("Your work was recovered.")),
              QStringLiteral("the user is told that the work is back (%1)").arg(shownAlerts.join(u' ')));
    } else {
        check(chain && chain->numberOfTools() == 1, QStringLiteral("the file as it is: no layer (%1 layers)")
                                                        .arg(chain ? chain->numberOfTools() - 1 : -1));
        check(!document->isDocumentEdited(), QStringLiteral("not marked edited: it is the file"));
        check(!shownAlerts.contains(QStringLiteral("Your work was recovered.")) &&
                  shownDetails.join(u' ').contains(QStringLiteral("as you chose")),
              QStringLiteral("the user is told it opened as chosen (%1)").arg(shownDetails.join(u' ')));
    }
    if (document->window())
        shoot(document->window(),
              replaced ? QStringLiteral("replaced-photo") : QStringLiteral("rewritten-photo"));
    closeAll(delegate.documentHandler());
}

// A photo with kept edits, painted on and killed, changed by another program before the next start;
// while that start asks which to open, a second start (a file manager's double click) hands the same
// photo over. One photo is one document: asked once, one window, named once among the open documents.
void handOverDuringTheRestartsQuestion(const QString& sandbox)
{
    const QString photo = writePhoto(sandbox);
    {
        ChildProcess crashing;
        startCrashingSession(crashing, sandbox, {QStringLiteral("--photo"), photo});
        crashing.kill();
    }
    QImage changed(400, 300, QImage::Format_RGB32);
    changed.fill(QColor(200, 180, 160));
    check(changed.save(photo, "JPEG", 92), QStringLiteral("another program changes the photo"));
    answerAlerts();
    buttonTitleFor = [](const QString& text) {
        return text.contains(QStringLiteral("was changed by another program"))
                   ? QStringLiteral("Open Kept Edits")
                   : QString();
    };
    ChildProcess second;
    bool secondStarted = false;
    QElapsedTimer sinceItEnded;
    holdAnswer = [&](const QMessageBox& box) {
        if (!box.text().contains(QStringLiteral("was changed by another program")))
            return false;
        if (!secondStarted) {
            secondStarted = true;
            check(second.start(QCoreApplication::applicationFilePath(),
                               {QStringLiteral("--second-start"), sandbox, photo}),
                  QStringLiteral("a second start hands the photo over while the question is up"));
            return true;
        }
        if (second.isRunning())
            return true;
        if (!sinceItEnded.isValid())
            sinceItEnded.start();
        return sinceItEnded.elapsed() < 1500; // what it handed over arrives meanwhile
    };
    GMApplicationDelegate delegate;
    startAgain(delegate, sandbox);
    DocumentHandler& handler = delegate.documentHandler();
    check(second.waitForFinished(30000) && second.exitCode() == 0,
          QStringLiteral("the second start handed the photo over and left (exit %1)").arg(second.exitCode()));
    check(shownAlerts.filter(QStringLiteral("was changed by another program")).size() == 1,
          QStringLiteral("the question is asked once (%1)").arg(shownAlerts.join(QStringLiteral(" | "))));
    check(handler.documents().size() == 1 && handler.documents().front()->fileURL() == photo,
          QStringLiteral("one document of the photo (%1 open)").arg(handler.documents().size()));
    int named = 0;
    for (const QVariant& entry : pf::UserDefaults::standard().arrayForKey(QStringLiteral("OpenDocuments")))
        named += entry.toMap().value(QStringLiteral("url")).toString() == photo ? 1 : 0;
    check(named == 1, QStringLiteral("the open documents name it once (%1)").arg(named));
    int windows = 0;
    for (QWidget* window : QApplication::topLevelWidgets())
        windows += qobject_cast<pf::Window*>(window) && window->isVisible() &&
                           window->windowTitle().contains(QStringLiteral("photo"))
                       ? 1
                       : 0;
    check(windows == 1, QStringLiteral("one window shows it (%1)").arg(windows));
    if (!handler.documents().empty() && handler.documents().front()->window())
        shoot(handler.documents().front()->window(), QStringLiteral("handed-over-once"));
    closeAll(handler);
}

// Whether a mount namespace of its own, with its mounts kept from the system's, can be made here. Tried
// in a child first: in a chroot, whose root is no mount point, the mounts cannot be made private, and a
// process that has left the chroot's mount namespace no longer finds its own program in /proc/self/exe
// (the sessions are started from that path).
bool privateMountsPossible()
{
    const pid_t probe = ::fork();
    if (probe == 0)
        ::_exit(::unshare(CLONE_NEWNS) == 0 &&
                        ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0
                    ? 0
                    : 1);
    int status = 0;
    while (probe > 0 && ::waitpid(probe, &status, 0) < 0 && errno == EINTR) {
    }
    return probe > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A mount namespace of the run's own, where it may mount a small file system: entered before any
// thread starts (a user namespace needs that), so the sessions it starts share it. False where the
// system allows none.
bool ownMountNamespace()
{
    if (::geteuid() == 0)
        return privateMountsPossible() && ::unshare(CLONE_NEWNS) == 0 &&
               ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    const uid_t uid = ::getuid();
    const gid_t gid = ::getgid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
        return false;
    const auto write = [](const char* path, const QByteArray& text) {
        QFile file(QString::fromLatin1(path));
        return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
    };
    return write("/proc/self/setgroups", "deny") &&
           write("/proc/self/uid_map", "0 " + QByteArray::number(uid) + " 1") &&
           write("/proc/self/gid_map", "0 " + QByteArray::number(gid) + " 1");
}

// A start in the working area of `sandbox` that cannot run there: it tells the user `told` and ends at
// once with exit code 1, blaming no other instance.
void refusedStart(const QString& sandbox, const QString& told, const QString& what)
{
    QFile::remove(sandbox + QStringLiteral("/alerts-start"));
    ChildProcess start;
    QElapsedTimer took;
    took.start();
    check(start.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--start"), sandbox}), what);
    const bool ended = start.waitForFinished(60000);
    QFile alertsFile(sandbox + QStringLiteral("/alerts-start"));
    alertsFile.open(QIODevice::ReadOnly);
    const QString alerts = QString::fromUtf8(alertsFile.readAll());
    const QString errors = QString::fromLocal8Bit(start.errors());
    check(ended && start.exitCode() == 1 && alerts.contains(told) &&
              !errors.contains(QStringLiteral("Another instance")),
          QStringLiteral("%1 says so and ends in %2 s (exit %3; told: %4; %5)")
              .arg(what)
              .arg(took.elapsed() / 1000.0, 0, 'f', 1)
              .arg(start.exitCode())
              .arg(alerts.trimmed(), errors.right(600)));
}

// The working area on a disk that can only be read (a home folder mounted read-only): a start says so,
// not that a file is missing, and ends at once.
void startOnAReadOnlyDisk(const QString& sandbox, bool canMount)
{
    const QString area = sandbox + QStringLiteral("/app");
    QDir().mkpath(area);
    const QByteArray name = QFile::encodeName(area);
    if (!canMount || ::mount("tmpfs", name.constData(), "tmpfs", MS_RDONLY, "size=1m") != 0) {
        std::printf(
            "skipped: the read-only disk needs a file system of its own, which cannot be made here\n");
        return;
    }
    refusedStart(sandbox,
                 QStringLiteral("The application cannot start: its working folder is on a read-only disk."),
                 QStringLiteral("a start on a read-only disk"));
    ::umount2(name.constData(), MNT_DETACH);
}

// The working area on a 32 MB file system that fills up while the user paints: the user is told once,
// as it happens, that the work is not kept for recovery; after the kill the document comes back as it
// was before the disk filled, and the alert says that later changes were lost instead of claiming all.
void diskFullWhilePainting(const QString& sandbox, bool canMount)
{
    const QString area = sandbox + QStringLiteral("/app");
    QDir().mkpath(area);
    if (!canMount || ::mount("tmpfs", QFile::encodeName(area).constData(), "tmpfs", 0, "size=32m") != 0) {
        std::printf(
            "skipped: the full disk needs a small file system of its own, which cannot be made here\n");
        return;
    }
    {
        ChildProcess crashing;
        startCrashingSession(crashing, sandbox, {QStringLiteral("--full-disk")});
        crashing.kill();
    }
    QFile told(sandbox + QStringLiteral("/alerts"));
    told.open(QIODevice::ReadOnly);
    const QStringList whilePainting = QString::fromUtf8(told.readAll()).split(u'\n', Qt::SkipEmptyParts);
    check(whilePainting.count(
              QStringLiteral("Your changes are not being kept for recovery: the disk is full.")) == 1,
          QStringLiteral("while painting, the user is told once that the disk is full (%1)")
              .arg(whilePainting.join(QStringLiteral(" | "))));
    // Started again while the disk is still full, after the crash (its lock left behind) and as after a
    // quit (no lock): the user is told that the disk is full, and the start ends at once, blaming no
    // other instance.
    const QString lockPath = area + QStringLiteral("/instance.lock");
    QFile lockFile(lockPath);
    lockFile.open(QIODevice::ReadOnly);
    const QByteArray staleLock = lockFile.readAll();
    lockFile.close();
    for (const bool afterQuit : {false, true}) {
        if (afterQuit) {
            QFile::remove(lockPath);
            fillDisk(area); // the space the lock held is taken again
        }
        refusedStart(sandbox, QStringLiteral("The application cannot start: the disk is full."),
                     afterQuit ? QStringLiteral("with no lock, a start on the full disk")
                               : QStringLiteral("after the crash, a start on the full disk"));
    }
    QFile::remove(area + QStringLiteral("/filler")); // space again, as after the user freed some
    // The crashed session's lock, as the crash left it: the next start takes it over.
    if (!staleLock.isEmpty() && lockFile.open(QIODevice::WriteOnly))
        lockFile.write(staleLock);
    lockFile.close();
    answerAlerts();
    {
        GMApplicationDelegate delegate;
        const auto document = startAgain(delegate, sandbox);
        const auto chain = chainOf(document);
        check(chain && chain->numberOfTools() == 2 && std::abs(maskValue(chain) - laterValue) < 0.005,
              QStringLiteral("the document is back as it was before the disk filled (mask %1)")
                  .arg(maskValue(chain)));
        check(document && document->isDocumentEdited(), QStringLiteral("marked edited"));
        check(shownAlerts.contains(QStringLiteral("Some of your work was recovered.")) &&
                  shownDetails.join(u' ').contains(QStringLiteral("could not be written to disk")),
              QStringLiteral("the alert says that the latest changes were lost (%1: %2)")
                  .arg(shownAlerts.join(u' '), shownDetails.join(u' ')));
        closeAll(delegate.documentHandler());
    }
    OVBrushPathImage::waitForPendingWrites();
    GMDocumentPackage::documentQueue().waitUntilEmpty();
    GMDocument::waitForRecoveryRecords();
    ::umount2(QFile::encodeName(area).constData(), MNT_DETACH);
}

} // namespace

int main(int argc, char** argv)
{
    const bool child = argc > 2 && QByteArray(argv[1]) == "--crashing-session";
    const bool otherStart =
        argc > 2 && (QByteArray(argv[1]) == "--second-start" || QByteArray(argv[1]) == "--start");
    const int rounds =
        !child && argc > 3 && QByteArray(argv[2]) == "--rounds" ? std::max(1, atoi(argv[3])) : 0;
    const bool canMount = !child && !otherStart && rounds == 0 && ownMountNamespace();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("glimora-crash-recovery"));
    QApplication::setQuitOnLastWindowClosed(false);
    if (otherStart)
        return anotherStart(QString::fromLocal8Bit(argv[2]),
                            argc > 3 ? QStringList{QString::fromLocal8Bit(argv[3])} : QStringList());
    if (child) {
        const QByteArray mode = argc > 3 ? QByteArray(argv[3]) : QByteArray();
        const Session session = mode == "--rounds"              ? Session::Rounds
                                : mode == "--photo"             ? Session::Photo
                                : mode == "--photo-never-saved" ? Session::PhotoNeverSaved
                                : mode == "--full-disk"         ? Session::FullDisk
                                                                : Session::Sample;
        return crashingSession(QString::fromLocal8Bit(argv[2]), session,
                               argc > 4 ? QString::fromLocal8Bit(argv[4]) : QString());
    }
    GalleryShots::useOutputFolder(argc, argv, QDir::currentPath());
    GalleryShots::registerEditorClasses();
    if (rounds == 0) {
        {
            QTemporaryDir sandbox;
            run(sandbox.path());
        }
        std::printf("a photo away at the restart\n");
        {
            QTemporaryDir sandbox;
            photoAwayAtTheRestart(sandbox.path());
        }
        for (const bool keptEdits : {true, false}) {
            std::printf("a photo changed before the restart, opened %s\n",
                        keptEdits ? "with its kept edits" : "as it is");
            QTemporaryDir sandbox;
            photoChangedBeforeTheRestart(sandbox.path(), keptEdits);
        }
        for (const auto& [replaced, withChanges, what] :
             {std::tuple{true, true, "replaced by another of the same size, opened with the changes"},
              std::tuple{true, false, "replaced by another of the same size, opened as it is"},
              std::tuple{false, true, "the same picture written again"}}) {
            std::printf("a photo never saved, %s before the restart\n", what);
            QTemporaryDir sandbox;
            photoReplacedBeforeTheRestart(sandbox.path(), replaced, withChanges);
        }
        std::printf("a second start handing the photo over during the restart's question\n");
        {
            QTemporaryDir sandbox;
            handOverDuringTheRestartsQuestion(sandbox.path());
        }
        std::printf("the disk full while painting\n");
        {
            QTemporaryDir sandbox;
            diskFullWhilePainting(sandbox.path(), canMount);
        }
        std::printf("a start on a read-only disk\n");
        {
            QTemporaryDir sandbox;
            startOnAReadOnlyDisk(sandbox.path(), canMount);
        }
    }
    for (int round = 0; round < rounds; ++round) {
        std::printf("round %d of %d\n", round + 1, rounds);
        QTemporaryDir sandbox;
        run(sandbox.path(), true);
    }
    OVBrushPathImage::waitForPendingWrites();
    GMDocumentPackage::documentQueue().waitUntilEmpty();
    return GalleryShots::exitCodeWithCount();
}
