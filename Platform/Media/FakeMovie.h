#pragma once

#include "Platform/Media/Movie.h"

#include <QList>

namespace pf {

// A movie that plays only when told: tests set its length, frame rate, tracks and size, and move its
// time with advance(). Its frames are flat colours that change with the time.
class FakeMovie : public Movie
{
    Q_OBJECT
public:
    FakeMovie(double durationSeconds, double framesPerSecond, Size naturalSize, int soundTracks = 0);

    MovieTime currentTime() const override { return {m_time, kScale, 0}; }
    MovieTime duration() const override { return {m_duration, kScale, 0}; }
    void setCurrentTime(const MovieTime& time) override;
    float rate() const override { return m_rate; }
    int soundTrackCount() const override { return int(m_soundEnabled.size()); }
    bool isSoundTrackEnabled(int index) const override;
    void setSoundTrackEnabled(int index, bool enabled) override;
    int videoTrackCount() const override { return m_samples > 0 ? 1 : 0; }
    qint64 videoSampleCount() const override { return m_samples; }
    MovieTime videoDuration() const override { return duration(); }
    Size naturalSize() const override { return m_naturalSize; }
    void play() override;
    void pause() override;
    void gotoBeginning() override;
    QImage currentFrame() const override;

    // Moves the time on while playing (clamped to the end, where it stops).
    void advance(double seconds);
    int playCalls = 0, pauseCalls = 0, beginningCalls = 0;

private:
    static constexpr qint32 kScale = 600;
    void setRate(float rate);

    qint64 m_time = 0;
    qint64 m_duration;
    qint64 m_samples;
    Size m_naturalSize;
    float m_rate = 0;
    QList<bool> m_soundEnabled;
};

} // namespace pf
