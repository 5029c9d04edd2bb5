// The application killed with unsaved work, and started again, as a person would live it: an untitled
// document (a sample) is painted on, autosaved, painted on again, and the process is killed (SIGKILL)
// two seconds after that last stroke. The next start opens the document again by itself, with the stroke
// made after the autosave, marked edited, and says that work was recovered. One PNG per step:
//   crash-recovery <output folder> [--rounds N]
// With --rounds the session goes on painting a stroke every 0.7 s and is killed at a random moment, N
// times: every stroke finished at least 2 s before the kill must be back (a figure for the record).
// The killed session runs as a second process of this program ("--crashing-session <sandbox>").
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
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

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

int crashingSession(const QString& sandbox, bool rounds)
{
    useSandbox(sandbox);
    GalleryShots::registerEditorClasses();
    GMApplicationDelegate delegate;
    if (!delegate.claimSingleInstance({}))
        giveUp(2, "another instance holds the working area");
    DocumentHandler& handler = delegate.documentHandler();
    delegate.applicationDidFinishLaunching({});
    auto document = handler.openSample(QStringLiteral(GLIMORA_TESTDATA_DIR "/portrait-512.png"));
    if (!document || !GalleryShots::waitFor([&] { return chainOf(document) != nullptr; }, 60000))
        giveUp(3, "the sample did not open");
    auto chain = chainOf(document);
    // Named as a document converted from an older file is: the name must come back with it.
    document->setDraftName(sandbox + QStringLiteral("/Painted (converted).glimora"));
    const QStringList effects = GMBlueprintCatalog::sharedInstance().effectBlueprintNames();
    if (effects.isEmpty())
        giveUp(4, "no effect is known");
    chain->insertPhotoToolWithBlueprint(
        GMBlueprintCatalog::sharedInstance().effectBlueprintWithName(effects.first()), std::nullopt, 0);
    chain->brushPathImageAtIndex(1)->addContentContainer(
        strokeOver(chain->originalImageSize(), autosavedValue));
    GalleryShots::settle(300);
    handler.autosaveAllDocuments();
    if (!GalleryShots::waitFor(
            [&] { return !document->autosavedContentsFileURL().isEmpty() && !document->isSaving(); }, 60000))
        giveUp(5, "the autosave did not finish");
    chain->brushPathImageAtIndex(1)->addContentContainer(strokeOver(chain->originalImageSize(), laterValue));
    // A stroke finished two seconds before the kill is the promise.
    GalleryShots::settle(2000);
    QFile ready(sandbox + QStringLiteral("/ready"));
    ready.open(QIODevice::WriteOnly);
    ready.close();
    if (rounds) {
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

// The alerts the second start showed, each shot and answered with its first button while
// `answeringAlerts` holds.
QStringList shownAlerts;
bool answeringAlerts = false;

void answerAlert()
{
    if (!answeringAlerts)
        return;
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) {
        QTimer::singleShot(200, answerAlert);
        return;
    }
    shownAlerts << box->text();
    shoot(box, QStringLiteral("recovery-alert"));
    if (!box->buttons().isEmpty())
        box->buttons().first()->click();
    QTimer::singleShot(200, answerAlert);
}

// One life: painted, killed, started again. `rounds`: killed at a random moment while it paints on.
void run(const QString& sandbox, bool rounds = false)
{
    ChildProcess crashing;
    const QStringList arguments =
        rounds ? QStringList{QStringLiteral("--crashing-session"), sandbox, QStringLiteral("--rounds")}
               : QStringList{QStringLiteral("--crashing-session"), sandbox};
    check(crashing.start(QCoreApplication::applicationFilePath(), arguments),
          QStringLiteral("the first session starts"));
    const bool ready = GalleryShots::waitFor(
        [&] { return QFile::exists(sandbox + QStringLiteral("/ready")) || !crashing.isRunning(); }, 90000);
    check(ready && crashing.isRunning(),
          QStringLiteral("the first session painted, autosaved and painted again (exit %1: %2)")
              .arg(crashing.exitCode())
              .arg(QString::fromLocal8Bit(crashing.errors().right(2000))));
    if (rounds)
        GalleryShots::settle(int(QRandomGenerator::global()->bounded(1000, 9000)));
    const qint64 killed = QDateTime::currentMSecsSinceEpoch();
    crashing.kill();
    const double promised = promisedValue(sandbox, killed, 2000);

    useSandbox(sandbox);
    QStringList alerts;
    if (rounds) {
        pf::Alert::setResponder([&](const pf::Alert& alert) {
            alerts << alert.messageText;
            return pf::Alert::firstButtonReturn;
        });
    } else {
        // The real alert, as the user sees it: shot, then its first button clicked.
        pf::Alert::setResponder({});
        answeringAlerts = true;
        QTimer::singleShot(500, answerAlert);
    }
    GMApplicationDelegate delegate;
    check(delegate.claimSingleInstance({}),
          QStringLiteral("the second start runs in the killed one's place"));
    DocumentHandler& handler = delegate.documentHandler();
    delegate.applicationDidFinishLaunching({});
    check(handler.documents().size() == 1, QStringLiteral("the document of the killed session opens again"));
    if (handler.documents().empty())
        return;
    auto document = handler.documents().front();
    auto gm = std::dynamic_pointer_cast<GMDocument>(document);
    check(GalleryShots::waitFor([&] { return gm && gm->pendingLayerCount() == 0 && chainOf(document); }),
          QStringLiteral("its layers come in"));
    GalleryShots::settle(500);
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
    answeringAlerts = false;
    alerts += shownAlerts;
    check(alerts.contains(QStringLiteral("Your work was recovered.")), QStringLiteral("the user is told"));
    check(!handler.welcomeWindow() || !handler.welcomeWindow()->window()->isVisible(),
          QStringLiteral("the welcome window is not in the way"));
    if (document->window() && !rounds)
        shoot(document->window(), QStringLiteral("recovered-document"));
    // Closing it for good (an untitled document: deleted): the next round starts from nothing.
    pf::Alert::setResponder([](const pf::Alert&) { return pf::Alert::firstButtonReturn + 2; });
    for (const auto& open : std::vector(handler.documents()))
        open->close();
    pf::Alert::setResponder({});
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("glimora-crash-recovery"));
    QApplication::setQuitOnLastWindowClosed(false);
    if (argc > 2 && QByteArray(argv[1]) == "--crashing-session")
        return crashingSession(QString::fromLocal8Bit(argv[2]),
                               argc > 3 && QByteArray(argv[3]) == "--rounds");
    GalleryShots::useOutputFolder(argc, argv, QDir::currentPath());
    const int rounds = argc > 3 && QByteArray(argv[2]) == "--rounds" ? std::max(1, atoi(argv[3])) : 0;
    GalleryShots::registerEditorClasses();
    if (rounds == 0) {
        QTemporaryDir sandbox;
        run(sandbox.path());
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
