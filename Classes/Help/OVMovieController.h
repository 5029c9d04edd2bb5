#pragma once

#include "Classes/Framework/Toolkit/OVViewController.h"
#include "Classes/Help/OVSubtitle.h"
#include "Platform/Foundation/ObserverToken.h"
#include "Platform/Media/Movie.h"
#include "Platform/UI/Window.h"

#include <QPointer>
#include <memory>

class OVButton;
class OVHoverSupportView;
class OVImageView;
class OVSubtitleView;
class QSlider;

namespace pf {
class Movie;
class MovieView;
class Timer;
class Window;
} // namespace pf

// Plays a help movie: the picture, the subtitles over its lower part, and a control bar (play, full
// screen, subtitles, scrub slider) that fades in while the pointer moves over the movie. Its interface
// "OVMovieController" is built in code. Main thread.
class OVMovieController : public OVViewController
{
    Q_OBJECT
public:
    static constexpr double kBarBottom = 40;
    // The slider's steps: its value 0 to 1 in thousandths.
    static constexpr int kSliderSteps = 1000;

    OVMovieController();
    ~OVMovieController() override;
    QString className() const override { return QStringLiteral("OVMovieController"); }
    void loadView() override;

    // Not owned: the owner keeps the movie for as long as the controller shows it (null: none).
    void setMovie(pf::Movie* movie);
    pf::Movie* movie() const { return m_movie; }
    void setSubtitles(const OVSubtitleList& subtitles);
    OVSubtitleList subtitles() const;
    void setShowSubtitle(bool show);
    bool showSubtitle() const { return m_showSubtitle; }
    void setIsPlaying(bool playing);
    bool isPlaying() const { return m_isPlaying; }
    void setCurrentTime(double seconds);
    double currentTime() const;
    // Frames per second of the first video track; 0 without one.
    double fps() const;
    // The interval of the timer that follows the movie: one frame, or 1/30 s when the rate is unknown.
    double followInterval() const;
    void setAudioTrack(int index);
    int audioTrack() const;

    // Actions.
    void togglePlayPause();
    void jumpToBeginning();
    void toggleFullscreen();
    void cancelFullscreen();
    void toggleSubtitle();
    void scrubThroughMovie(double fraction);
    void makeFirstResponder();
    bool isInFullScreenMode() const { return m_fullScreenWindow != nullptr; }

    // Moves slider and subtitles to the movie's time (each frame while playing).
    void updateScrobberTimed();

    // Outlets, for the panel and tests.
    pf::MovieView* movieView() const;
    OVSubtitleView* subtitleView() const;
    OVHoverSupportView* hoverView() const;
    OVImageView* controllerView() const;
    OVButton* playButton() const;
    OVButton* fullscreenButton() const;
    OVButton* subtitleButton() const;
    QSlider* scrubSlider() const;
    double sliderValue() const;
    bool followTimerRunning() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void movieRateChanged();
    void viewBoundsChanged();
    void leaveFullScreen();
    void setSliderValue(double value);

    QPointer<pf::Movie> m_movie;
    QMetaObject::Connection m_rateConnection;
    std::shared_ptr<pf::Timer> m_scrubTimer;
    pf::ObserverToken m_windowCloseToken;
    bool m_isPlaying = false;
    bool m_showSubtitle = false;
    OVSubtitleList m_pendingSubtitles;
    // While full screen: the window, and where the view came from.
    QPointer<pf::Window> m_fullScreenWindow;
    QPointer<pf::View> m_formerSuperview;
    pf::Rect m_formerFrame;
};
