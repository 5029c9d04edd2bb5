#pragma once

#include "Platform/Foundation/Size.h"

#include <QImage>
#include <QObject>
#include <QString>
#include <memory>

namespace pf {

// A time of a movie: a count of units and the units per second, as the movie service keeps them.
struct MovieTime
{
    qint64 value = 0;
    qint32 scale = 1000;
    quint32 flags = 0;
    // Seconds; 0 for a scale of 0.
    double seconds() const { return scale > 0 ? double(value) / double(scale) : 0.0; }
    bool operator==(const MovieTime&) const = default;
};

// An open movie: its times, its playing rate, its sound and video tracks, its frames. The player needs
// nothing more, so tests play a FakeMovie and the application a QtMovie. Main thread.
class Movie : public QObject
{
    Q_OBJECT
public:
    ~Movie() override = default;

    // Opens the movie at `path` with the platform's player, waiting (at most 5 s) until it has loaded or
    // failed; null with the reason in `error` when it cannot be played.
    static std::unique_ptr<Movie> open(const QString& path, QString* error = nullptr);
    // The FFmpeg back end reads our movies the same on every machine; call before the application object.
    static void chooseBackend();

    virtual MovieTime currentTime() const = 0;
    virtual MovieTime duration() const = 0;
    virtual void setCurrentTime(const MovieTime& time) = 0;
    // Above 0 while playing, 0 while stopped.
    virtual float rate() const = 0;

    virtual int soundTrackCount() const = 0;
    virtual bool isSoundTrackEnabled(int index) const = 0;
    virtual void setSoundTrackEnabled(int index, bool enabled) = 0;
    virtual int videoTrackCount() const = 0;
    // The first video track's number of frames and its duration (0 when unknown).
    virtual qint64 videoSampleCount() const = 0;
    virtual MovieTime videoDuration() const = 0;
    virtual Size naturalSize() const = 0;

    virtual void play() = 0;
    virtual void pause() = 0;
    virtual void gotoBeginning() = 0;
    // The frame on show (null before the first).
    virtual QImage currentFrame() const = 0;

signals:
    // The playing rate changed (started, stopped).
    void rateChanged();
    // A new frame is on show.
    void frameChanged();
};

} // namespace pf
