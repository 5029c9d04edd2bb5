#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVImageView.h"
#include "Classes/Help/OVHoverSupportView.h"
#include "Classes/Help/OVMovieController.h"
#include "Classes/Help/OVSubtitleView.h"
#include "Platform/Media/FakeMovie.h"
#include "Platform/Media/QtMovie.h"
#include "Platform/UI/Event.h"
#include "Platform/UI/SteppedClock.h"
#include "Platform/UI/Window.h"
#include "Tests/ChildProcess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QSlider>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using pf::FakeMovie;

// A controller whose view fills a window, on a stepped clock.
struct Player
{
    pf::SteppedClock clock;
    pf::Window window{pf::Rect(0, 0, 480, 300), pf::Window::Titled};
    OVMovieController controller;
    FakeMovie movie;

    explicit Player(double duration = 10, double fps = 25, int soundTracks = 0)
        : movie(duration, fps, pf::Size(320, 240), soundTracks)
    {
        pf::View* root = controller.view();
        window.contentView()->addSubview(root);
        root->setFrame(window.contentView()->bounds());
        controller.setMovie(&movie);
    }
    ~Player() { controller.setMovie(nullptr); }
    OVHoverSupportView* hover() { return controller.hoverView(); }
    pf::View* bar() { return controller.controllerView(); }
    // Moves the clock and the playing movie on together, one step at a time.
    void play(double seconds, double step)
    {
        for (double t = 0; t < seconds - 1e-9; t += step) {
            movie.advance(step);
            clock.advance(step);
        }
    }
    pf::Event pointer(pf::EventType type, pf::Point inRoot, int clicks = 1)
    {
        const pf::Point inWindow = controller.view()->convertPointToView(inRoot, nullptr);
        return pf::Event::mouseEvent(type, inWindow, 0, clock.now(), &window, clicks);
    }
};

TEST(MovieController, FollowsThePlayingMovieEachFrameAndNotWhilePaused)
{
    Player player;
    player.controller.setSubtitles({std::make_shared<const OVSubtitle>(QStringLiteral("cue"), 1, 2)});
    EXPECT_FALSE(player.controller.isPlaying());
    EXPECT_FALSE(player.controller.followTimerRunning());
    EXPECT_DOUBLE_EQ(player.controller.fps(), 25);
    EXPECT_DOUBLE_EQ(player.controller.followInterval(), 0.04);

    const QImage playSymbol = player.controller.playButton()->image();
    player.controller.togglePlayPause(); // the playing state follows the movie's rate
    EXPECT_EQ(player.movie.playCalls, 1);
    EXPECT_TRUE(player.controller.isPlaying());
    EXPECT_TRUE(player.controller.playButton()->state());
    EXPECT_NE(player.controller.playButton()->image(), playSymbol)
        << "a playing movie's button offers to pause";
    QList<double> sliderValues;
    for (int frame = 0; frame < 50; ++frame) {
        player.play(0.04, 0.04);
        sliderValues.append(player.controller.sliderValue());
    }
    // Every frame moved the slider (0.4 % of the movie per frame, the slider in thousandths).
    for (qsizetype i = 1; i < sliderValues.size(); ++i)
        EXPECT_GT(sliderValues[i], sliderValues[i - 1]) << i;
    EXPECT_NEAR(sliderValues.last(), 0.2, 0.002);
    EXPECT_EQ(player.controller.subtitleView()->currentSubtitle()->string(), QStringLiteral("cue"));

    player.controller.togglePlayPause();
    EXPECT_FALSE(player.controller.isPlaying());
    EXPECT_FALSE(player.controller.followTimerRunning());
    EXPECT_FALSE(player.controller.playButton()->state());
    EXPECT_EQ(player.controller.playButton()->image(), playSymbol);
    player.movie.setCurrentTime({3000, 600, 0}); // moved by someone else while paused
    player.clock.advance(1);
    EXPECT_NEAR(player.controller.sliderValue(), 0.2, 0.002);

    player.controller.jumpToBeginning();
    EXPECT_EQ(player.movie.beginningCalls, 1);
    EXPECT_DOUBLE_EQ(player.controller.sliderValue(), 0);
}

TEST(MovieController, ScrubbingAndSettingTheTimeMoveMovieSliderAndCuesAtOnce)
{
    Player player;
    player.controller.setSubtitles({std::make_shared<const OVSubtitle>(QStringLiteral("middle"), 4.5, 5.5)});
    player.controller.scrubThroughMovie(0.5);
    EXPECT_DOUBLE_EQ(player.controller.currentTime(), 5);
    ASSERT_NE(player.controller.subtitleView()->currentSubtitle(), nullptr);
    EXPECT_EQ(player.controller.subtitleView()->currentSubtitle()->string(), QStringLiteral("middle"));

    player.controller.setCurrentTime(2.5);
    EXPECT_DOUBLE_EQ(player.controller.currentTime(), 2.5);
    EXPECT_DOUBLE_EQ(player.controller.sliderValue(), 0.25);
    EXPECT_EQ(player.controller.subtitleView()->currentSubtitle(), nullptr);
}

TEST(MovieController, AMovieOfNoLengthOrUnknownRateStaysUsable)
{
    // No length: scrubbing and setting the time change nothing and the slider stays at its start.
    Player empty(0, 0);
    empty.controller.scrubThroughMovie(0.5);
    empty.controller.setCurrentTime(3);
    EXPECT_DOUBLE_EQ(empty.controller.currentTime(), 0);
    EXPECT_DOUBLE_EQ(empty.controller.sliderValue(), 0);
    // No frame rate: the movie is still followed, thirty times a second.
    EXPECT_DOUBLE_EQ(empty.controller.fps(), 0);
    EXPECT_DOUBLE_EQ(empty.controller.followInterval(), 1.0 / 30);
    empty.controller.togglePlayPause();
    EXPECT_TRUE(empty.controller.followTimerRunning());
    empty.clock.advance(0.1);
}

TEST(MovieController, SubtitlesFadeInAndTheirButtonShowsOnlyWithCues)
{
    Player player;
    EXPECT_DOUBLE_EQ(player.controller.subtitleButton()->alphaValue(), 0);
    player.controller.setSubtitles({});
    EXPECT_DOUBLE_EQ(player.controller.subtitleButton()->alphaValue(), 0);
    player.controller.setSubtitles({std::make_shared<const OVSubtitle>(QStringLiteral("a"), 0, 1)});
    EXPECT_DOUBLE_EQ(player.controller.subtitleButton()->alphaValue(), 1);

    OVSubtitleView* subtitles = player.controller.subtitleView();
    EXPECT_DOUBLE_EQ(subtitles->alphaValue(), 0);
    player.controller.toggleSubtitle();
    EXPECT_TRUE(player.controller.showSubtitle());
    EXPECT_TRUE(player.controller.subtitleButton()->state());
    player.clock.advance(0.1);
    EXPECT_GT(subtitles->alphaValue(), 0);
    EXPECT_LT(subtitles->alphaValue(), 1);
    player.clock.advance(0.3);
    EXPECT_DOUBLE_EQ(subtitles->alphaValue(), 1);
}

TEST(MovieController, TheBarStaysCentred40PointsAboveTheBottom)
{
    Player player;
    const auto expectCentred = [&](double width) {
        const pf::Rect bar = player.bar()->frame();
        EXPECT_DOUBLE_EQ(bar.origin.x, (width - bar.size.width) * 0.5) << width;
        EXPECT_DOUBLE_EQ(bar.origin.y, OVMovieController::kBarBottom) << width;
    };
    expectCentred(480);
    player.window.orderFront(); // a shown view is told of its resizing as it happens
    player.window.setContentSize(pf::Size(800, 500));
    player.controller.view()->setFrame(player.window.contentView()->bounds());
    expectCentred(800);

    player.controller.toggleFullscreen();
    ASSERT_TRUE(player.controller.isInFullScreenMode());
    EXPECT_TRUE(player.controller.fullscreenButton()->state());
    EXPECT_NE(player.controller.view()->window(), &player.window);
    expectCentred(player.controller.view()->bounds().size.width);
    EXPECT_EQ(player.controller.view()->bounds().size.width,
              QGuiApplication::primaryScreen()->geometry().width());

    player.controller.cancelFullscreen();
    EXPECT_FALSE(player.controller.isInFullScreenMode());
    EXPECT_FALSE(player.controller.fullscreenButton()->state());
    EXPECT_EQ(player.controller.view()->window(), &player.window);
    EXPECT_EQ(player.controller.view()->frame().size, pf::Size(800, 500));
    expectCentred(800);
}

TEST(MovieController, SoundTracks)
{
    struct Case
    {
        int tracks, chosen, enabled;
    };
    const Case cases[] = {{3, 1, 1}, {3, 2, 2}, {3, 3, 0}, {3, -1, 0}, {1, 5, 0}};
    for (const Case& c : cases) {
        Player player(10, 25, c.tracks);
        player.controller.setAudioTrack(c.chosen);
        EXPECT_EQ(player.controller.audioTrack(), c.enabled) << c.chosen;
        int enabled = 0;
        for (int i = 0; i < c.tracks; ++i)
            enabled += player.movie.isSoundTrackEnabled(i) ? 1 : 0;
        EXPECT_EQ(enabled, 1) << c.chosen;
    }
    Player silent(10, 25, 0);
    silent.controller.setAudioTrack(2);
    EXPECT_EQ(silent.controller.audioTrack(), 0);
}

TEST(MovieController, TheBarShowsOnMovementAndHidesAfterARest)
{
    Player player;
    OVHoverSupportView* hover = player.hover();
    pf::View* bar = player.bar();
    const pf::Point overMovie(50, 250), overBar(bar->frame().midX(), bar->frame().midY());

    hover->hideHover();
    player.clock.advance(1);
    ASSERT_DOUBLE_EQ(bar->alphaValue(), 0);

    hover->mouseMoved(player.pointer(pf::EventType::MouseMoved, overMovie));
    player.clock.advance(OVHoverSupportView::kShowDuration + 0.01);
    EXPECT_DOUBLE_EQ(bar->alphaValue(), 1);
    player.clock.advance(2.5);
    EXPECT_DOUBLE_EQ(bar->alphaValue(), 1);
    player.clock.advance(0.6 + OVHoverSupportView::kHideDuration);
    EXPECT_DOUBLE_EQ(bar->alphaValue(), 0);

    // Resting on the bar keeps it.
    hover->mouseMoved(player.pointer(pf::EventType::MouseMoved, overMovie));
    hover->mouseMoved(player.pointer(pf::EventType::MouseMoved, overBar));
    player.clock.advance(20);
    EXPECT_DOUBLE_EQ(bar->alphaValue(), 1);
    EXPECT_FALSE(hover->hideTimerPending());

    // A single click hides a shown bar at once, and shows a hidden one for ten seconds.
    hover->mouseUp(player.pointer(pf::EventType::LeftMouseUp, overMovie));
    player.clock.advance(OVHoverSupportView::kHideDuration + 0.01);
    EXPECT_DOUBLE_EQ(bar->alphaValue(), 0);
    hover->mouseUp(player.pointer(pf::EventType::LeftMouseUp, overMovie, 2));
    player.clock.advance(1);
    EXPECT_DOUBLE_EQ(bar->alphaValue(), 0);
    hover->mouseUp(player.pointer(pf::EventType::LeftMouseUp, overMovie));
    player.clock.advance(9.5);
    EXPECT_DOUBLE_EQ(bar->alphaValue(), 1);
    player.clock.advance(0.5 + OVHoverSupportView::kHideDuration + 0.01);
    EXPECT_DOUBLE_EQ(bar->alphaValue(), 0);
}

TEST(MovieController, PressesReachTheBarsControlsAndStopAtTheHoverViewElsewhere)
{
    Player player;
    OVHoverSupportView* hover = player.hover();
    pf::View* root = player.controller.view();
    const auto hitAt = [&](pf::Point inRoot) {
        return root->hitTest(root->convertPointToView(inRoot, root->superview()));
    };
    const pf::Rect play =
        player.controller.playButton()->convertRectToView(player.controller.playButton()->bounds(), root);
    EXPECT_EQ(hitAt(pf::Point(play.midX(), play.midY())), player.controller.playButton());
    EXPECT_EQ(hitAt(pf::Point(50, 250)), hover);
    EXPECT_EQ(hitAt(pf::Point(5, 5)), hover);
    // Beside the buttons, the bar itself is no target: the press lands on the hover view.
    const pf::Rect bar = player.bar()->frame();
    pf::View* onBar = hitAt(pf::Point(bar.origin.x + 2, bar.origin.y + 2));
    EXPECT_TRUE(onBar == player.bar() || onBar == hover);
}

// One real movie, made by the packaged encoder: a test pattern with two sine sound tracks.
TEST(MovieController, PlaysARealMovieOffscreen)
{
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (ffmpeg.isEmpty())
        GTEST_SKIP() << "ffmpeg is not installed";
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("pattern.mov"));
    ChildProcess encoder;
    ASSERT_TRUE(encoder.start(ffmpeg, {QStringLiteral("-v"),
                                       QStringLiteral("error"),
                                       QStringLiteral("-f"),
                                       QStringLiteral("lavfi"),
                                       QStringLiteral("-i"),
                                       QStringLiteral("testsrc=size=320x240:rate=25"),
                                       QStringLiteral("-f"),
                                       QStringLiteral("lavfi"),
                                       QStringLiteral("-i"),
                                       QStringLiteral("sine=frequency=440"),
                                       QStringLiteral("-f"),
                                       QStringLiteral("lavfi"),
                                       QStringLiteral("-i"),
                                       QStringLiteral("sine=frequency=660"),
                                       QStringLiteral("-t"),
                                       QStringLiteral("2"),
                                       QStringLiteral("-map"),
                                       QStringLiteral("0"),
                                       QStringLiteral("-map"),
                                       QStringLiteral("1"),
                                       QStringLiteral("-map"),
                                       QStringLiteral("2"),
                                       QStringLiteral("-c:v"),
                                       QStringLiteral("libx264"),
                                       QStringLiteral("-pix_fmt"),
                                       QStringLiteral("yuv420p"),
                                       QStringLiteral("-threads"),
                                       QStringLiteral("1"),
                                       QStringLiteral("-c:a"),
                                       QStringLiteral("aac"),
                                       path}));
    ASSERT_TRUE(encoder.waitForFinished(60000));
    ASSERT_EQ(encoder.exitCode(), 0) << encoder.errors().toStdString();

    QString error;
    auto movie = pf::QtMovie::open(path, &error);
    ASSERT_TRUE(movie) << error.toStdString();
    EXPECT_EQ(movie->naturalSize(), pf::Size(320, 240));
    EXPECT_EQ(movie->soundTrackCount(), 2);
    EXPECT_EQ(movie->videoTrackCount(), 1);
    EXPECT_NEAR(movie->duration().seconds(), 2, 0.1);

    pf::Window window(pf::Rect(0, 0, 480, 300), pf::Window::Titled);
    OVMovieController controller;
    window.contentView()->addSubview(controller.view());
    controller.setMovie(movie.get());
    EXPECT_NEAR(controller.fps(), 25, 0.5);
    controller.togglePlayPause();
    QElapsedTimer waited;
    waited.start();
    while ((movie->currentFrame().isNull() || movie->currentTime().value == 0) && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_FALSE(movie->currentFrame().isNull());
    EXPECT_GT(movie->currentTime().value, 0);
    EXPECT_TRUE(controller.isPlaying());
    controller.togglePlayPause();
    controller.setMovie(nullptr);

    // What is no movie opens as none, with the reason.
    EXPECT_FALSE(pf::QtMovie::open(folder.filePath(QStringLiteral("missing.mov")), &error));
    EXPECT_FALSE(error.isEmpty());
}

} // namespace
