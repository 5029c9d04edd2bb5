#include "Classes/Help/OVMovieController.h"

#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVImageView.h"
#include "Classes/Help/OVHoverSupportView.h"
#include "Classes/Help/OVSubtitleView.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Media/Movie.h"
#include "Platform/Media/MovieView.h"
#include "Platform/UI/InterfaceRegistry.h"
#include "Platform/UI/Timer.h"
#include "Platform/UI/ViewAnimator.h"
#include "Platform/UI/Window.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QSlider>
#include <cmath>

namespace {

constexpr double kBarWidth = 340, kBarHeight = 36;

enum class Symbol
{
    Play,
    Pause,
    FullScreen,
    Subtitles,
};

// The bar's symbols, white on clear, drawn at twice their size for sharp edges.
QImage symbolImage(Symbol symbol)
{
    QImage image(40, 40, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::white, 1.6));
    painter.setBrush(Qt::white);
    switch (symbol) {
    case Symbol::Play: {
        QPainterPath path;
        path.moveTo(6, 4);
        path.lineTo(16, 10);
        path.lineTo(6, 16);
        path.closeSubpath();
        painter.drawPath(path);
        break;
    }
    case Symbol::Pause:
        painter.setPen(Qt::NoPen);
        painter.drawRect(QRectF(5.5, 4, 3.5, 12));
        painter.drawRect(QRectF(11, 4, 3.5, 12));
        break;
    case Symbol::FullScreen:
        painter.setBrush(Qt::NoBrush);
        painter.drawPolyline(QPolygonF({{3, 8}, {3, 3}, {8, 3}}));
        painter.drawPolyline(QPolygonF({{12, 3}, {17, 3}, {17, 8}}));
        painter.drawPolyline(QPolygonF({{17, 12}, {17, 17}, {12, 17}}));
        painter.drawPolyline(QPolygonF({{8, 17}, {3, 17}, {3, 12}}));
        break;
    case Symbol::Subtitles: {
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(2, 4, 16, 12), 2, 2);
        QFont font = painter.font();
        font.setPixelSize(8);
        font.setBold(true);
        painter.setFont(font);
        painter.drawText(QRectF(2, 4, 16, 12), Qt::AlignCenter, QStringLiteral("CC"));
        break;
    }
    }
    return image;
}

OVButton* barButton(pf::View* bar, double x, Symbol symbol, const QString& tip)
{
    auto* button = new OVButton(pf::Rect(x, 6, 24, 24));
    button->setImage(symbolImage(symbol));
    button->setToolTip(tip);
    // The captions lie below the bar: its tips stand above it.
    button->setToolTipAbove(true);
    bar->addSubview(button);
    return button;
}

pf::Interface buildMovieInterface(QObject*, const pf::Bundle&)
{
    const pf::Rect frame(0, 0, 480, 300);
    auto* root = new pf::View(frame);
    auto* movieView = new pf::MovieView(frame);
    movieView->setAutoresizingMask(pf::View::WidthSizable | pf::View::HeightSizable);
    root->addSubview(movieView);
    auto* subtitleView = new OVSubtitleView(frame);
    subtitleView->setAutoresizingMask(pf::View::WidthSizable | pf::View::HeightSizable);
    subtitleView->setTransparentForMouse(true);
    root->addSubview(subtitleView);
    auto* hoverView = new OVHoverSupportView(frame);
    hoverView->setAutoresizingMask(pf::View::WidthSizable | pf::View::HeightSizable);
    root->addSubview(hoverView);

    auto* bar = new OVImageView(pf::Rect(0, 0, kBarWidth, kBarHeight));
    QImage face(8, 8, QImage::Format_ARGB32_Premultiplied);
    face.fill(QColor(20, 20, 20, 190));
    bar->setImage(face);
    hoverView->setHoverView(bar);
    auto* play = barButton(bar, 10, Symbol::Play, QStringLiteral("Play or pause"));
    auto* fullScreen = barButton(bar, kBarWidth - 68, Symbol::FullScreen, QStringLiteral("Full screen"));
    auto* subtitles = barButton(bar, kBarWidth - 36, Symbol::Subtitles, QStringLiteral("Subtitles"));
    auto* slider = new QSlider(Qt::Horizontal, bar);
    slider->setRange(0, OVMovieController::kSliderSteps);
    slider->setGeometry(44, 8, int(kBarWidth - 44 - 78), 20);

    pf::Interface interface;
    interface.outlets.insert(QStringLiteral("view"), root);
    interface.outlets.insert(QStringLiteral("movieView"), movieView);
    interface.outlets.insert(QStringLiteral("subtitleView"), subtitleView);
    interface.outlets.insert(QStringLiteral("hoverView"), hoverView);
    interface.outlets.insert(QStringLiteral("controllerView"), bar);
    interface.outlets.insert(QStringLiteral("playButton"), play);
    interface.outlets.insert(QStringLiteral("fullscreenButton"), fullScreen);
    interface.outlets.insert(QStringLiteral("subtitleButton"), subtitles);
    interface.outlets.insert(QStringLiteral("scrubSlider"), slider);
    interface.topLevelObjects = {root};
    return interface;
}

} // namespace

OVMovieController::OVMovieController()
{
    const QString name = QStringLiteral("OVMovieController");
    if (!pf::InterfaceRegistry::hasInterface(name))
        pf::InterfaceRegistry::registerInterface(name, buildMovieInterface);
}

OVMovieController::~OVMovieController()
{
    if (m_scrubTimer)
        m_scrubTimer->invalidate();
    QObject::disconnect(m_rateConnection);
    m_windowCloseToken.reset();
    if (m_fullScreenWindow)
        leaveFullScreen();
}

pf::MovieView* OVMovieController::movieView() const
{
    return outlet<pf::MovieView>(QStringLiteral("movieView"));
}
OVSubtitleView* OVMovieController::subtitleView() const
{
    return outlet<OVSubtitleView>(QStringLiteral("subtitleView"));
}
OVHoverSupportView* OVMovieController::hoverView() const
{
    return outlet<OVHoverSupportView>(QStringLiteral("hoverView"));
}
OVImageView* OVMovieController::controllerView() const
{
    return outlet<OVImageView>(QStringLiteral("controllerView"));
}
OVButton* OVMovieController::playButton() const
{
    return outlet<OVButton>(QStringLiteral("playButton"));
}
OVButton* OVMovieController::fullscreenButton() const
{
    return outlet<OVButton>(QStringLiteral("fullscreenButton"));
}
OVButton* OVMovieController::subtitleButton() const
{
    return outlet<OVButton>(QStringLiteral("subtitleButton"));
}
QSlider* OVMovieController::scrubSlider() const
{
    return outlet<QSlider>(QStringLiteral("scrubSlider"));
}

void OVMovieController::loadView()
{
    OVViewController::loadView();
    pf::View* root = isViewLoaded() ? view() : nullptr;
    if (!root)
        return;
    root->installEventFilter(this);
    if (auto* bar = controllerView())
        bar->setAutoresizingMask(pf::View::NotSizable);
    if (auto* button = subtitleButton())
        button->setAlphaValue(0);
    if (auto* subtitles = subtitleView())
        subtitles->setAlphaValue(m_showSubtitle ? 1 : 0);
    if (auto* button = playButton())
        button->setAction([this](OVButton*) { togglePlayPause(); });
    if (auto* button = fullscreenButton())
        button->setAction([this](OVButton*) { toggleFullscreen(); });
    if (auto* button = subtitleButton())
        button->setAction([this](OVButton*) { toggleSubtitle(); });
    if (auto* slider = scrubSlider())
        connect(slider, &QSlider::sliderMoved, this,
                [this](int value) { scrubThroughMovie(double(value) / kSliderSteps); });
    viewBoundsChanged();
}

bool OVMovieController::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize && isViewLoaded() && watched == view())
        viewBoundsChanged();
    return OVViewController::eventFilter(watched, event);
}

void OVMovieController::viewBoundsChanged()
{
    OVImageView* bar = controllerView();
    if (!bar || !isViewLoaded())
        return;
    const double width = view()->bounds().size.width;
    bar->setFrameOrigin(pf::Point((width - bar->frame().size.width) * 0.5, kBarBottom));
}

void OVMovieController::setMovie(pf::Movie* movie)
{
    if (!view())
        return;
    QObject::disconnect(m_rateConnection);
    m_movie = movie;
    if (auto* movieView = this->movieView())
        movieView->setMovie(movie);
    if (movie)
        m_rateConnection =
            connect(movie, &pf::Movie::rateChanged, this, &OVMovieController::movieRateChanged);
    movieRateChanged();
    updateScrobberTimed();
}

void OVMovieController::movieRateChanged()
{
    setIsPlaying(m_movie && m_movie->rate() > 0);
}

double OVMovieController::fps() const
{
    if (!m_movie || m_movie->videoTrackCount() == 0)
        return 0;
    const pf::MovieTime duration = m_movie->videoDuration();
    if (duration.value <= 0 || duration.scale <= 0)
        return 0;
    return double(float(m_movie->videoSampleCount()) / (float(duration.value) / float(duration.scale)));
}

double OVMovieController::followInterval() const
{
    const double rate = fps();
    // A movie whose frame rate is unknown still moves the slider, thirty times a second.
    return rate > 0 && std::isfinite(rate) ? 1.0 / rate : 1.0 / 30.0;
}

void OVMovieController::setIsPlaying(bool playing)
{
    if (playing == m_isPlaying)
        return;
    m_isPlaying = playing;
    if (m_scrubTimer)
        m_scrubTimer->invalidate();
    m_scrubTimer.reset();
    if (playing) {
        m_scrubTimer = pf::Timer::scheduled(
            followInterval(), true, [this](pf::Timer&) { updateScrobberTimed(); }, this);
        if (auto* button = playButton()) {
            button->setState(true);
            button->setImage(symbolImage(Symbol::Pause));
        }
        pf::Window* window = isViewLoaded() ? view()->window() : nullptr;
        if (window) {
            QPointer<OVMovieController> self(this);
            m_windowCloseToken = pf::NotificationCenter::defaultCenter().addObserver(
                pf::Window::willCloseNotification, window, [self](const pf::Notification&) {
                    if (self && self->m_movie)
                        self->m_movie->pause();
                });
        }
    } else {
        if (auto* button = playButton()) {
            button->setState(false);
            button->setImage(symbolImage(Symbol::Play));
        }
        m_windowCloseToken.reset();
    }
    if (auto* hover = hoverView())
        hover->updateTrackingAreas();
}

bool OVMovieController::followTimerRunning() const
{
    return m_scrubTimer && m_scrubTimer->isValid();
}

void OVMovieController::setSliderValue(double value)
{
    if (auto* slider = scrubSlider()) {
        const QSignalBlocker quiet(slider);
        slider->setValue(int(std::lround(std::clamp(value, 0.0, 1.0) * kSliderSteps)));
    }
}

double OVMovieController::sliderValue() const
{
    const QSlider* slider = scrubSlider();
    return slider ? double(slider->value()) / kSliderSteps : 0;
}

void OVMovieController::updateScrobberTimed()
{
    if (!m_movie) {
        setSliderValue(0);
        return;
    }
    const pf::MovieTime now = m_movie->currentTime();
    const pf::MovieTime duration = m_movie->duration();
    // A movie of no length has no position: the slider stays at its start.
    setSliderValue(duration.value > 0 ? double(now.value) / double(duration.value) : 0);
    if (auto* subtitles = subtitleView())
        subtitles->setCurrentTime(now.seconds());
}

void OVMovieController::scrubThroughMovie(double fraction)
{
    if (!m_movie)
        return;
    const pf::MovieTime duration = m_movie->duration();
    if (duration.value <= 0) {
        setSliderValue(0);
        return;
    }
    const pf::MovieTime now = m_movie->currentTime();
    const double f = std::clamp(fraction, 0.0, 1.0);
    const pf::MovieTime target{qint64(f * double(duration.value)), now.scale, now.flags};
    m_movie->setCurrentTime(target);
    if (auto* subtitles = subtitleView())
        subtitles->setCurrentTime(target.seconds());
}

void OVMovieController::setCurrentTime(double seconds)
{
    if (!m_movie)
        return;
    const pf::MovieTime duration = m_movie->duration();
    const double d = duration.seconds();
    if (duration.value <= 0 || !(d > 0) || !std::isfinite(seconds)) {
        setSliderValue(0);
        return;
    }
    const pf::MovieTime now = m_movie->currentTime();
    const double t = std::clamp(seconds, 0.0, d);
    m_movie->setCurrentTime({qint64(t / d * double(duration.value)), now.scale, now.flags});
    if (auto* subtitles = subtitleView())
        subtitles->setCurrentTime(t);
    setSliderValue(t / d);
}

double OVMovieController::currentTime() const
{
    return m_movie ? m_movie->currentTime().seconds() : 0;
}

void OVMovieController::setSubtitles(const OVSubtitleList& subtitles)
{
    if (!view())
        return;
    if (auto* subtitleView = this->subtitleView())
        subtitleView->setSubtitles(subtitles);
    if (auto* button = subtitleButton())
        button->setAlphaValue(subtitles.isEmpty() ? 0 : 1);
}

OVSubtitleList OVMovieController::subtitles() const
{
    const OVSubtitleView* subtitleView = isViewLoaded() ? this->subtitleView() : nullptr;
    return subtitleView ? subtitleView->subtitles() : OVSubtitleList();
}

void OVMovieController::setShowSubtitle(bool show)
{
    m_showSubtitle = show;
    if (auto* subtitles = isViewLoaded() ? subtitleView() : nullptr)
        pf::ViewAnimator::runGroup(pf::ViewAnimator::defaultDuration, [subtitles, show] {
            pf::ViewAnimator::animateAlpha(subtitles, show ? 1 : 0);
        });
    if (auto* button = isViewLoaded() ? subtitleButton() : nullptr)
        button->setState(show);
}

void OVMovieController::toggleSubtitle()
{
    setShowSubtitle(!m_showSubtitle);
}

int OVMovieController::audioTrack() const
{
    if (!m_movie)
        return 0;
    for (int i = 0; i < m_movie->soundTrackCount(); ++i)
        if (m_movie->isSoundTrackEnabled(i))
            return i;
    return 0;
}

void OVMovieController::setAudioTrack(int index)
{
    // A movie without sound has no track to choose.
    if (!m_movie || m_movie->soundTrackCount() == 0)
        return;
    const int count = m_movie->soundTrackCount();
    const int chosen = index >= 0 && index < count ? index : 0;
    for (int i = 0; i < count; ++i)
        m_movie->setSoundTrackEnabled(i, i == chosen);
}

void OVMovieController::togglePlayPause()
{
    pf::MovieView* movieView = isViewLoaded() ? this->movieView() : nullptr;
    if (!movieView)
        return;
    if (m_isPlaying)
        movieView->pause();
    else
        movieView->play();
}

void OVMovieController::jumpToBeginning()
{
    if (pf::MovieView* movieView = isViewLoaded() ? this->movieView() : nullptr)
        movieView->gotoBeginning();
    updateScrobberTimed();
}

void OVMovieController::toggleFullscreen()
{
    if (!isViewLoaded())
        return;
    if (m_fullScreenWindow) {
        leaveFullScreen();
        return;
    }
    pf::View* root = view();
    pf::Window* window = root->window();
    QScreen* screen = window && window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->geometry() : QRect(0, 0, 1280, 800);
    m_formerSuperview = root->superview();
    m_formerFrame = root->frame();
    auto* fullScreen = new pf::Window(pf::Rect(0, 0, area.width(), area.height()), pf::Window::Borderless);
    auto* holder = new pf::View(pf::Rect(0, 0, area.width(), area.height()));
    fullScreen->setContentView(holder);
    holder->addSubview(root);
    root->setFrame(holder->bounds());
    m_fullScreenWindow = fullScreen;
    fullScreen->makeKeyAndOrderFront();
    if (auto* button = fullscreenButton())
        button->setState(true);
}

void OVMovieController::cancelFullscreen()
{
    if (m_fullScreenWindow)
        leaveFullScreen();
}

void OVMovieController::leaveFullScreen()
{
    pf::View* root = isViewLoaded() ? view() : nullptr;
    if (root) {
        root->removeFromSuperview();
        if (m_formerSuperview)
            m_formerSuperview->addSubview(root);
        root->setFrame(m_formerFrame);
    }
    QPointer<pf::Window> window = m_fullScreenWindow;
    m_fullScreenWindow = nullptr;
    if (window)
        window->close();
    if (window)
        window->deleteLater();
    if (auto* button = fullscreenButton())
        button->setState(false);
}

void OVMovieController::makeFirstResponder()
{
    OVButton* button = isViewLoaded() ? playButton() : nullptr;
    if (button && button->window())
        button->window()->makeFirstResponder(button);
}
