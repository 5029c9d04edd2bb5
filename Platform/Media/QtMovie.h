#pragma once

#include "Platform/Media/Movie.h"

#include <QImage>
#include <QList>

class QMediaPlayer;
class QVideoSink;
class QVideoFrame;

namespace pf {

// A movie played by Qt Multimedia: frames arrive through a video sink and are kept as images for our
// own views to paint, so other views can lie above the picture. No audio output is attached: help
// movies are silent, and a machine without a sound device plays them too.
class QtMovie : public Movie
{
    Q_OBJECT
public:
    // Null when the file cannot be played; waits at most `timeoutSeconds` for it to load.
    static std::unique_ptr<QtMovie> open(const QString& path, QString* error = nullptr,
                                         double timeoutSeconds = 5);
    ~QtMovie() override;

    MovieTime currentTime() const override;
    MovieTime duration() const override;
    void setCurrentTime(const MovieTime& time) override;
    float rate() const override;
    int soundTrackCount() const override;
    bool isSoundTrackEnabled(int index) const override;
    void setSoundTrackEnabled(int index, bool enabled) override;
    int videoTrackCount() const override;
    qint64 videoSampleCount() const override;
    MovieTime videoDuration() const override;
    Size naturalSize() const override;
    void play() override;
    void pause() override;
    void gotoBeginning() override;
    QImage currentFrame() const override;

private:
    QtMovie();
    void frameArrived(const QVideoFrame& frame);
    void applySoundTracks();

    QMediaPlayer* m_player;
    QVideoSink* m_sink;
    QImage m_frame;
    QList<bool> m_soundEnabled;
};

} // namespace pf
