// Closing an edited photo after "Don't Save": a 6000 x 4000 (24 MP) and a 12000 x 9000 (108 MP) JPEG opened
// in the editor window, a skin smoothing layer painted over the whole photo, the document marked edited.
//   CloseDontSave/W/H  the window's close button, answered "Don't Save":
//                      "windows_gone_ms" from the answer until the window is no longer shown,
//                      "process_end_ms" from the answer until everything the process waits for before it
//                      may end is done (the kept edits written, queued writes finished, the window and
//                      the photo's objects deleted),
//                      "main_held_ms" the longest the main thread went without handling events meanwhile.
//   QuitDontSave/W/H   the same through the quit review (Ctrl+Q) of the document controller.
//   QuitProcess/W/H    the application itself, in a process of its own made as the application's main
//                      makes it (an editor window, the photo painted over as above and settled), quit
//                      with the Quit command and "Don't Save": "process_end_ms" from the answer until
//                      the process has ended (its teardown and the system's included).
//   PreviewForSaving/W/H  the stack's preview picture (fitted inside 1024) that the kept edits and the
//                      Frame Builder take from the open window: "preview_ms" on the calling thread.
// The third argument: 1 also heals a blemish above the smoothing (a "Heal Blemishes" layer, one stroke
// of its brush through the editor, its colour picture kept as a 16-bit picture of the photo's size),
// settled before the answer; 2 heals it just before the answer, its snapshot still being written (the
// user heals a spot and quits).
// Each figure the median of five, with the load average ("load1") beside it. Targets: the windows gone
// at once (well under 100 ms), the process free to end under 1 s. Reports only.

#include "Classes/Document/DocumentHandler.h"
#include "Classes/Document/GMApplicationDelegate.h"
#include "Classes/Document/GMDocument.h"
#include "Classes/Document/GMDocumentPackage.h"
#include "Classes/Document/GMEditorWindowController.h"
#include "Classes/Editor/GMWindowController.h"
#include "Classes/Filters/FilterLibrary.h"
#include "Classes/Frames/FramesLibrary.h"
#include "Classes/Help/OVInformationPanel.h"
#include "Classes/ToolObjects/GMBlueprintCatalog.h"
#include "Classes/ToolObjects/GMFileUtilities.h"
#include "Classes/ToolObjects/OVBrushFramework/OVBrushPathImage.h"
#include "Classes/ToolObjects/OVBrushFramework/OVContentContainer.h"
#include "Classes/ToolObjects/OVBrushFramework/OVHealingBrush.h"
#include "Classes/ToolObjects/OVBrushFramework/OVImageContainer.h"
#include "Classes/ToolObjects/OVBrushFramework/OVIrisMaskBrush.h"
#include "Classes/ToolObjects/OVBrushFramework/OVIrisReplacementBrush.h"
#include "Classes/ToolObjects/PhotoToolChain.h"
#include "Platform/Foundation/FileSystem.h"
#include "Platform/Foundation/SerialQueue.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Media/Movie.h"
#include "Platform/UI/Alert.h"
#include "Platform/UI/Application.h"
#include "Platform/UI/DocumentController.h"
#include "Platform/UI/Window.h"
#include "bench/BenchRun.h"
#include "bench/BenchStatistics.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace {

using bench::loadAverage;
using bench::median;

QTemporaryDir& sandbox()
{
    static QTemporaryDir* dir = new QTemporaryDir;
    return *dir;
}

// Runs the event loop until `done`; returns the longest the main thread went without coming back to it.
double spin(const std::function<bool()>& done)
{
    double longest = 0;
    QElapsedTimer turn;
    turn.start();
    while (!done()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        longest = std::max(longest, double(turn.nsecsElapsed()) / 1e6);
        turn.restart();
    }
    return longest;
}

// A photo with some structure (JPEG of noise would be unusually large), made once per size.
QString photoPath(int width, int height)
{
    const QString file = sandbox().filePath(QStringLiteral("photo-%1x%2.jpg").arg(width).arg(height));
    if (QFileInfo::exists(file))
        return file;
    QImage image(width, height, QImage::Format_RGB32);
    std::mt19937 random(7);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            row[x] = qRgb((x / 7) % 256, (y / 5) % 256, int(random() % 32) + 100);
    }
    image.save(file, "JPEG", 90);
    return file;
}

// The documents of a run, as the application's controller holds them.
class Documents : public pf::DocumentController
{
public:
    std::shared_ptr<pf::Document> makeDocument(const QString&) override
    {
        return std::make_shared<GMDocument>();
    }
};

struct Opened
{
    std::shared_ptr<GMDocument> document;
    std::shared_ptr<GMEditorWindowController> controller;
    pf::Window* window = nullptr;
};

// A blemish healed as the user heals one: "Heal Blemishes" added from the effects browser (it is then
// the selected layer) and a short stroke of its brush over a spot of the canvas, through the editor's
// own painting.
void healSpot(GMWindowController& editor)
{
    editor.effectBrowserControllerAddPhotoTool(nullptr, QStringLiteral("BlemishHealing"));
    const pf::Point spot(0.4, 0.45);
    editor.drawSenderBrushDownAtPoint(nullptr, spot);
    for (int i = 1; i <= 4; ++i)
        editor.drawSenderBrushDraggedAtPoint(nullptr, pf::Point(spot.x + i * 0.004, spot.y));
    editor.drawSenderBrushUpAtPoint(nullptr, pf::Point(spot.x + 0.016, spot.y));
}

// Whether a blemish is healed above the smoothing, and when.
enum Heal
{
    NoHealing = 0,
    HealedBefore = 1, // settled before the answer: its snapshot written
    HealedJustNow = 2 // the answer given right after the stroke, its snapshot still being written
};

// A skin smoothing layer painted over the whole photo (and a blemish healed above it where asked), the
// document marked edited, and then settled as a person would leave it: the live picture shown, the
// strokes' snapshots written (but for a stroke healed just now).
void paintOver(pf::Document& document, PhotoToolChain& chain, int width, int height,
               GMWindowController* editor = nullptr, Heal heal = NoHealing)
{
    chain.insertPhotoToolWithBlueprint(
        GMDocument::blueprintCatalog().effectBlueprintWithName(QStringLiteral("SkinSmoothing")), std::nullopt,
        0);
    auto mask = std::make_shared<OVImageContainer>(
        pf::Image::constantColor(pf::Color(1, 1, 1, 1)).imageByCroppingToRect(pf::Rect(0, 0, width, height)),
        true);
    chain.brushPathImageAtIndex(1)->addContentContainer(
        std::make_shared<OVContentContainer>(mask, std::make_shared<OVImageContainer>()));
    document.updateChangeCount(pf::Document::Change::Done);
    QElapsedTimer settle;
    settle.start();
    spin([&] { return settle.elapsed() > 1500; });
    OVBrushPathImage::waitForPendingWrites();
    if (!editor || heal == NoHealing)
        return;
    healSpot(*editor);
    if (heal == HealedJustNow) {
        // As long as a person takes to reach for the keys.
        settle.restart();
        spin([&] { return settle.elapsed() > 100; });
        return;
    }
    settle.restart();
    spin([&] { return settle.elapsed() > 1500; });
    OVBrushPathImage::waitForPendingWrites();
}

// The photo in its editor window, with one layer painted all over, edited.
Opened openEdited(const QString& path, int width, int height, pf::DocumentController& documents,
                  Heal heal = NoHealing)
{
    // Each run starts from the photo alone: the edits the last run kept are forgotten.
    QVariantMap registry = GMFileUtilities::shadowCopyDictionary();
    if (registry.remove(GMDocument::shadowCopyKey(path)) > 0)
        GMFileUtilities::writeDictionaryAsShadowCopyDictionary(registry);
    Opened opened;
    opened.document = std::make_shared<GMDocument>();
    opened.document->setFileURL(path);
    opened.document->setFileType(QStringLiteral("jpeg"));
    QString error;
    if (!opened.document->readFromURL(path, QStringLiteral("jpeg"), &error))
        return {};
    opened.document->setDocumentController(&documents);
    documents.addDocument(opened.document);
    opened.controller = std::make_shared<GMEditorWindowController>(opened.document);
    opened.document->setWindowController(opened.controller);
    opened.window = opened.controller->window();
    opened.window->makeKeyAndOrderFront();
    spin([&] {
        return opened.controller->toolChain() != nullptr && !opened.document->isOpening() &&
               opened.document->pendingLayerCount() == 0;
    });
    paintOver(*opened.document, *opened.controller->toolChain(), width, height, &opened.controller->editor(),
              heal);
    return opened;
}

// What the process waits for before it may end (what quitting waits for: snapshot writes nobody keeps
// any more are abandoned first, as the application does), and the window's deletion.
void finishRemainingWork(bool quitting = false)
{
    if (quitting)
        OVBrushPathImage::abandonPendingWrites();
    else
        OVBrushPathImage::waitForPendingWrites();
    GMDocumentPackage::documentQueue().waitUntilEmpty();
    GMDocument::waitForRecoveryRecords();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void answerDontSave()
{
    pf::Alert::setResponder([](const pf::Alert& alert) {
        const int index = int(alert.buttons().indexOf(QStringLiteral("Don't Save")));
        return pf::Alert::firstButtonReturn + std::max(0, index);
    });
}

void timeClosing(benchmark::State& state, bool quit)
{
    const int width = int(state.range(0)), height = int(state.range(1));
    const auto heal = Heal(state.range(2));
    const QString path = photoPath(width, height);
    GMEditorWindowController::prepareForFirstWindow().wait();
    std::vector<double> gone, ended, held;
    double load = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Documents documents;
        Opened opened = openEdited(path, width, height, documents, heal);
        if (!opened.document) {
            state.SkipWithError("the photo did not open");
            break;
        }
        QPointer<pf::Window> window = opened.window;
        load = std::max(load, loadAverage());
        state.ResumeTiming();
        // The answer is given at once: the clock starts as the question is put.
        answerDontSave();
        QElapsedTimer timer;
        timer.start();
        double stall = 0;
        bool quitDecided = false;
        if (quit) {
            documents.reviewUnsavedDocumentsAndQuit([&](bool) {
                for (const auto& document : documents.documents())
                    document->close();
                quitDecided = true;
            });
        } else {
            window->performClose();
        }
        stall = std::max(stall, double(timer.nsecsElapsed()) / 1e6);
        opened.controller.reset();
        opened.document.reset();
        stall = std::max(stall, spin([&] { return !window || !window->isVisible(); }));
        gone.push_back(double(timer.nsecsElapsed()) / 1e6);
        // The document is the controller's until its changes are kept and it is closed.
        stall =
            std::max(stall, spin([&] { return documents.documents().empty() && (!quit || quitDecided); }));
        finishRemainingWork(quit);
        ended.push_back(double(timer.nsecsElapsed()) / 1e6);
        held.push_back(stall);
        pf::Alert::setResponder(nullptr);
    }
    state.counters["windows_gone_ms"] = median(gone);
    state.counters["process_end_ms"] = median(ended);
    state.counters["main_held_ms"] = median(held);
    state.counters["load1"] = load;
}

void PreviewForSaving(benchmark::State& state)
{
    const int width = int(state.range(0)), height = int(state.range(1));
    const QString path = photoPath(width, height);
    GMEditorWindowController::prepareForFirstWindow().wait();
    Documents documents;
    Opened opened = openEdited(path, width, height, documents);
    std::vector<double> samples;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        const GMRenderForSaving render = opened.controller->previewForSaving();
        const std::optional<pf::Bitmap> picture = render ? render() : std::nullopt;
        samples.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (!picture)
            state.SkipWithError("no preview");
    }
    state.counters["preview_ms"] = median(samples);
    state.counters["load1"] = loadAverage();
    documents.removeDocument(opened.document.get());
    opened.document->close();
    finishRemainingWork();
}

// Now, in nanoseconds of the system's clock, which the session and the bench share.
qint64 wallNanoseconds()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// The session the QuitProcess rows time: made as the application's main makes it, the photo opened in
// its editor window and painted over, then the Quit command answered "Don't Save". Prints when it
// answered; its exit code is the application's.
int quitSession(int argc, char** argv, const QString& photo, int width, int height, Heal heal)
{
    pf::chooseWindowingPlatform(argc, argv);
    pf::Movie::chooseBackend();
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationName(QStringLiteral("glimora"));
    GMApplicationDelegate delegate;
    if (!delegate.claimSingleInstance({}))
        return 2;
    FilterLibrary::registerAll();
    FramesLibrary::registerAll();
    OVIrisMaskBrush::registerClass();
    OVIrisReplacementBrush::registerClass();
    OVHealingBrush::registerClass();
    OVImageContainer::registerArchiveClasses();
    GMDocumentPackage::registerArchiveClasses();
    GMDocument::setWindowControllerFactory([](GMDocument& document) {
        return std::make_shared<GMEditorWindowController>(document.weak_from_this());
    });
    // A person who has seen the first window's help sheet.
    pf::UserDefaults::standard().setValue(OVInformationPanel::dontShowAgainKey,
                                          QVariantMap{{GMEditorWindowController::firstRunTopic, 1}});
    GMEditorWindowController::prepareForFirstWindow();
    QObject::connect(&app, &QApplication::aboutToQuit, &delegate, [&delegate] {
        delegate.applicationWillTerminate();
        GMEditorWindowController::prepareForFirstWindow().wait_for(std::chrono::seconds(10));
    });
    delegate.applicationDidFinishLaunching({photo});
    QTimer::singleShot(0, &delegate, [&] {
        const auto documents = delegate.documentHandler().documents();
        auto document = documents.empty() ? nullptr : std::static_pointer_cast<GMDocument>(documents.front());
        spin([&] {
            return document && document->windowController() && document->windowController()->toolChain() &&
                   !document->isOpening() && document->pendingLayerCount() == 0;
        });
        if (!document) {
            QCoreApplication::exit(3);
            return;
        }
        auto* editor = dynamic_cast<GMEditorWindowController*>(document->windowController().get());
        paintOver(*document, *document->windowController()->toolChain(), width, height,
                  editor ? &editor->editor() : nullptr, heal);
        pf::Alert::setResponder([](const pf::Alert& alert) {
            const int index = int(alert.buttons().indexOf(QStringLiteral("Don't Save")));
            std::printf("answered %lld\n", static_cast<long long>(wallNanoseconds()));
            std::fflush(stdout);
            return pf::Alert::firstButtonReturn + std::max(0, index);
        });
        delegate.action(QStringLiteral("Quit"))->trigger();
    });
    return app.exec();
}

void QuitProcess(benchmark::State& state)
{
    const int width = int(state.range(0)), height = int(state.range(1));
    const auto heal = Heal(state.range(2));
    const QString path = photoPath(width, height);
    std::vector<double> ended;
    double load = 0;
    int run = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // Each session in a working area of its own, as after a quit with nothing left to reopen.
        const QString area = sandbox().filePath(QStringLiteral("session-%1-%2").arg(width).arg(++run));
        QProcess session;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("PF_APPLICATION_SUPPORT_DIR"), area + QStringLiteral("/app"));
        environment.insert(QStringLiteral("PF_USER_DEFAULTS_FILE"), area + QStringLiteral("/defaults.conf"));
        session.setProcessEnvironment(environment);
        session.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        session.start(QCoreApplication::applicationFilePath(),
                      {QStringLiteral("--quit-session"), path, QString::number(width),
                       QString::number(height), QString::number(int(heal))});
        load = std::max(load, loadAverage());
        state.ResumeTiming();
        const bool finished = session.waitForFinished(300000);
        const qint64 end = wallNanoseconds();
        qint64 answered = 0;
        for (const QByteArray& line : session.readAllStandardOutput().split('\n'))
            if (line.startsWith("answered "))
                answered = line.mid(9).toLongLong();
        if (!finished || session.exitStatus() != QProcess::NormalExit || session.exitCode() != 0 ||
            answered == 0) {
            state.SkipWithError("the session did not quit cleanly");
            break;
        }
        ended.push_back(double(end - answered) / 1e6);
    }
    state.counters["process_end_ms"] = median(ended);
    state.counters["load1"] = load;
}

void CloseDontSave(benchmark::State& state)
{
    timeClosing(state, false);
}

void QuitDontSave(benchmark::State& state)
{
    timeClosing(state, true);
}

// 24 and 108 MP, each with no healed spot, one healed and settled, and one healed just before the answer.
void closingCases(benchmark::internal::Benchmark* bench)
{
    for (int healed : {0, 1, 2})
        for (auto [width, height] : {std::pair{6000, 4000}, std::pair{12000, 9000}})
            bench->Args({width, height, healed});
    bench->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
}

} // namespace

BENCHMARK(PreviewForSaving)->Args({6000, 4000})->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(CloseDontSave)->Apply(closingCases);
BENCHMARK(QuitDontSave)->Apply(closingCases);
BENCHMARK(QuitProcess)->Apply(closingCases);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 6 && std::string(argv[1]) == "--quit-session")
        return quitSession(argc, argv, QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]),
                           std::atoi(argv[4]), Heal(std::atoi(argv[5])));
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("glimora-bench"));
    pf::FileSystem::setApplicationSupportDirectoryForTesting(sandbox().filePath(QStringLiteral("app")));
    pf::UserDefaults::standard().setFileForTesting(sandbox().filePath(QStringLiteral("defaults.conf")));
    // The first editor window's help sheet would lie over the window these runs close.
    pf::UserDefaults::standard().setValue(OVInformationPanel::dontShowAgainKey,
                                          QVariantMap{{GMEditorWindowController::firstRunTopic, 1}});
    FilterLibrary::registerAll();
    runBenchmarksAsAsked(argc, argv);
    finishRemainingWork();
    return 0;
}
