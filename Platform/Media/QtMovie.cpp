#include "Platform/Media/QtMovie.h"

#include "Platform/Foundation/Log.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QMediaMetaData>
#include <QMediaPlayer>
#include <QTimer>
#include <QUrl>
#include <QVideoFrame>
#include <QVideoSink>
#include <cmath>

namespace pf {

void Movie::chooseBackend()
{
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", "ffmpeg");
}

std::unique_ptr<Movie> Movie::open(const QString& path, QString* error)
{
    return QtMovie::open(path, error);
}

QtMovie::QtMovie() : m_player(new QMediaPlayer(this)), m_sink(new QVideoSink(this))
{
    m_player->setVideoSink(m_sink);
    connect(m_sink, &QVideoSink::videoFrameChanged, this, &QtMovie::frameArrived);
    connect(m_player, &QMediaPlayer::playbackStateChanged, this, &Movie::rateChanged);
}

QtMovie::~QtMovie()
{
    disconnect(m_sink, nullptr, this, nullptr);
    disconnect(m_player, nullptr, this, nullptr);
    m_player->stop();
}

std::unique_ptr<QtMovie> QtMovie::open(const QString& path, QString* error, double timeoutSeconds)
{
    const auto fail = [&](const QString& reason) {
        if (error)
            *error = reason;
        return nullptr;
    };
    if (!QFileInfo(path).isFile())
        return fail(QStringLiteral("no movie at \"%1\"").arg(path));
    std::unique_ptr<QtMovie> movie(new QtMovie());
    QMediaPlayer* player = movie->m_player;
    QEventLoop loop;
    const auto settled = [player] {
        const auto status = player->mediaStatus();
        return status == QMediaPlayer::LoadedMedia || status == QMediaPlayer::InvalidMedia ||
               player->error() != QMediaPlayer::NoError;
    };
    QObject::connect(player, &QMediaPlayer::mediaStatusChanged, &loop, [&] {
        if (settled())
            loop.quit();
    });
    QObject::connect(player, &QMediaPlayer::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(int(timeoutSeconds * 1000), &loop, &QEventLoop::quit);
    player->setSource(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
    if (!settled())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (player->error() != QMediaPlayer::NoError)
        return fail(player->errorString());
    if (player->mediaStatus() != QMediaPlayer::LoadedMedia)
        return fail(QStringLiteral("\"%1\" did not load within %2 s").arg(path).arg(timeoutSeconds));
    // A movie that has not played yet shows its first picture, not a black area: the first frame is
    // decoded now, before anyone listens to the rate.
    if (player->hasVideo()) {
        QEventLoop first;
        QObject::connect(movie->m_sink, &QVideoSink::videoFrameChanged, &first, &QEventLoop::quit);
        QTimer::singleShot(1000, &first, &QEventLoop::quit);
        player->play();
        if (movie->m_frame.isNull())
            first.exec(QEventLoop::ExcludeUserInputEvents);
        player->pause();
        player->setPosition(0);
    }
    movie->m_soundEnabled = QList<bool>(player->audioTracks().size(), false);
    if (!movie->m_soundEnabled.isEmpty())
        movie->m_soundEnabled[0] = true;
    return movie;
}

void QtMovie::frameArrived(const QVideoFrame& frame)
{
    if (!frame.isValid())
        return;
    m_frame = frame.toImage();
    emit frameChanged();
}

MovieTime QtMovie::currentTime() const
{
    return {m_player->position(), 1000, 0};
}

MovieTime QtMovie::duration() const
{
    return {m_player->duration(), 1000, 0};
}

void QtMovie::setCurrentTime(const MovieTime& time)
{
    m_player->setPosition(qint64(std::llround(time.seconds() * 1000)));
}

float QtMovie::rate() const
{
    // Playing is what the player reports, not its speed setting, which stays 1 while paused.
    return m_player->playbackState() == QMediaPlayer::PlayingState ? float(m_player->playbackRate()) : 0.0f;
}

int QtMovie::soundTrackCount() const
{
    return int(m_soundEnabled.size());
}

bool QtMovie::isSoundTrackEnabled(int index) const
{
    return index >= 0 && index < m_soundEnabled.size() && m_soundEnabled[index];
}

void QtMovie::setSoundTrackEnabled(int index, bool enabled)
{
    if (index < 0 || index >= m_soundEnabled.size())
        return;
    m_soundEnabled[index] = enabled;
    applySoundTracks();
}

void QtMovie::applySoundTracks()
{
    // The player plays one sound track at most: the first one enabled.
    const qsizetype first = m_soundEnabled.indexOf(true);
    m_player->setActiveAudioTrack(int(first));
}

int QtMovie::videoTrackCount() const
{
    return int(m_player->videoTracks().size());
}

qint64 QtMovie::videoSampleCount() const
{
    const double fps = m_player->metaData().value(QMediaMetaData::VideoFrameRate).toDouble();
    if (!(fps > 0) || !std::isfinite(fps) || videoTrackCount() == 0)
        return 0;
    return std::llround(fps * double(m_player->duration()) / 1000.0);
}

MovieTime QtMovie::videoDuration() const
{
    return videoTrackCount() > 0 ? duration() : MovieTime{};
}

Size QtMovie::naturalSize() const
{
    const QSize size = m_player->metaData().value(QMediaMetaData::Resolution).toSize();
    return Size(std::max(0, size.width()), std::max(0, size.height()));
}

void QtMovie::play()
{
    m_player->play();
}

void QtMovie::pause()
{
    m_player->pause();
}

void QtMovie::gotoBeginning()
{
    m_player->setPosition(0);
}

QImage QtMovie::currentFrame() const
{
    return m_frame;
}

} // namespace pf
