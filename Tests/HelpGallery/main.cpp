#include "../GallerySupport.h"
#include "Classes/Framework/Toolkit/OVListView.h"
#include "Classes/Help/OVHelpActions.h"
#include "Classes/Help/OVHoverSupportView.h"
#include "Classes/Help/OVInformationCatalog.h"
#include "Classes/Help/OVInformationListEntry.h"
#include "Classes/Help/OVInformationPanel.h"
#include "Classes/Help/OVMovieController.h"
#include "Classes/Help/OVSubtitle.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Media/QtMovie.h"
#include "Platform/UI/Event.h"
#include "Platform/UI/Window.h"
#include "Tests/ChildProcess.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>

namespace {

void runFor(int milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool fail(const char* what)
{
    std::fprintf(stderr, "help gallery: %s\n", what);
    return false;
}

// A 6-second test pattern of 640 x 400 with one sound track.
QString makeMovie(const QTemporaryDir& folder)
{
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (ffmpeg.isEmpty())
        return {};
    const QString path = folder.filePath(QStringLiteral("Pattern.mov"));
    ChildProcess encoder;
    const bool started = encoder.start(
        ffmpeg,
        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"), QStringLiteral("lavfi"),
         QStringLiteral("-i"), QStringLiteral("testsrc2=size=640x400:rate=25"), QStringLiteral("-t"),
         QStringLiteral("6"), QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-pix_fmt"),
         QStringLiteral("yuv420p"), QStringLiteral("-threads"), QStringLiteral("1"), path});
    return started && encoder.waitForFinished(60000) && encoder.exitCode() == 0 ? path : QString();
}

bool run(const QString& folder)
{
    // Each shipped topic in its own panel.
    const auto topics = pf::PropertyList::fromFile(OVInformationPanel::informationBundle().pathForResource(
        QStringLiteral("HelpInformations"), QStringLiteral("plist")));
    if (!topics)
        return fail("the help topics cannot be read");
    for (const QVariant& topic : topics->toList()) {
        OVInformationPanel panel(topic.toString());
        pf::Window* window = panel.window();
        if (!window)
            return fail("a topic panel has no window");
        window->orderFront();
        runFor(150);

        if (!gallerySupport::saveScreenshot(*window, folder, QStringLiteral("topic-") + topic.toString()))
            return false;
        window->orderOut();
    }

    // The tips catalog, on each topic in turn.
    OVHelpActions::registerAction(QStringLiteral("openSample"), [] {});
    OVInformationCatalog::showSharedInformationCatalog();
    OVInformationCatalog* catalog = OVInformationCatalog::sharedInformationCatalog();
    OVListView* list = catalog->infoList();
    if (!catalog->window() || !list || list->count() != unsigned(topics->toList().size()))
        return fail("the catalog does not list the topics");
    runFor(400);
    for (unsigned i = list->count(); i-- > 0;) {
        list->setSelectedIndex(i);
        runFor(500);
        auto* entry = qobject_cast<OVInformationListEntry*>(list->selectedEntry());
        if (!entry || entry->icon().isNull())
            return fail("a topic's row has no icon");
        if (!gallerySupport::saveScreenshot(*catalog->window(), folder,
                                            QStringLiteral("catalog-") + entry->infoName()))
            return false;
    }
    catalog->close();
    runFor(200);

    // A topic as a sheet over a window, its button's action known as in the application.
    pf::Window parent(pf::Rect(60, 60, 1100, 760));
    parent.setTitle(QStringLiteral("Portrait"));
    parent.makeKeyAndOrderFront();
    OVInformationPanel* sheet =
        OVInformationPanel::showInformationForTitle(QStringLiteral("Retouching"), &parent);
    if (!sheet)
        return fail("the first tip was not shown");
    runFor(300);
    if (!gallerySupport::saveScreenshot(*sheet->window(), folder, QStringLiteral("sheet-retouching")))
        return false;
    sheet->closeSheet();
    runFor(100);

    // A movie playing with cues shown and its bar faded in, then in full screen.
    QTemporaryDir movies;
    const QString moviePath = makeMovie(movies);
    if (moviePath.isEmpty())
        return fail("the test movie could not be made (is ffmpeg installed?)");
    QString error;
    auto movie = pf::QtMovie::open(moviePath, &error);
    if (!movie)
        return fail(qPrintable(error));
    OVInformationPanel player(QStringLiteral("Layers"));
    player.setMovie(std::move(movie));
    OVMovieController* controller = player.movieController();
    controller->setSubtitles(OVSubtitle::subtitlesFromString(
        QStringLiteral("1\n00:00:00,000 --> 00:00:03,000\nEvery effect is a layer\n\n"
                       "2\n00:00:03,000 --> 00:00:06,000\nHide a layer to compare\n")));
    controller->setShowSubtitle(true);
    player.updateLayoutInstantly(true);
    player.window()->orderFront();
    controller->togglePlayPause();
    runFor(1500);
    OVHoverSupportView* hover = controller->hoverView();
    hover->mouseMoved(
        pf::Event::mouseEvent(pf::EventType::MouseMoved, pf::Point(100, 200), 0, 0, player.window()));
    runFor(600);
    if (!controller->isPlaying() || controller->currentTime() <= 0)
        return fail("the movie does not play");
    if (!gallerySupport::saveScreenshot(*player.window(), folder, QStringLiteral("movie-playing")))
        return false;
    controller->scrubThroughMovie(0.6);
    runFor(400);
    if (!gallerySupport::saveScreenshot(*player.window(), folder, QStringLiteral("movie-scrubbed")))
        return false;
    controller->toggleFullscreen();
    runFor(600);
    pf::Window* fullScreen = controller->view()->window();
    if (!fullScreen || fullScreen == player.window())
        return fail("full screen did not take the movie");
    hover->mouseMoved(
        pf::Event::mouseEvent(pf::EventType::MouseMoved, pf::Point(300, 300), 0, 0, fullScreen));
    runFor(500);
    if (!gallerySupport::saveScreenshot(*fullScreen, folder, QStringLiteral("movie-fullscreen")))
        return false;
    controller->cancelFullscreen();
    controller->togglePlayPause();
    runFor(200);
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    pf::Movie::chooseBackend();
    QApplication app(argc, argv);
    QString folder;
    gallerySupport::portraitOrExit(argc, argv, &folder); // the run needs the test data all the same
    return run(folder) ? 0 : 1;
}
