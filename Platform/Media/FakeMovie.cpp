#include "Platform/Media/FakeMovie.h"

#include <QColor>
#include <algorithm>
#include <cmath>

namespace pf {

FakeMovie::FakeMovie(double durationSeconds, double framesPerSecond, Size naturalSize, int soundTracks)
    : m_duration(std::llround(std::max(0.0, durationSeconds) * kScale)),
      m_samples(std::llround(std::max(0.0, durationSeconds * framesPerSecond))), m_naturalSize(naturalSize),
      m_soundEnabled(std::max(0, soundTracks), false)
{
    if (!m_soundEnabled.isEmpty())
        m_soundEnabled[0] = true;
}

void FakeMovie::setCurrentTime(const MovieTime& time)
{
    m_time = std::clamp<qint64>(std::llround(time.seconds() * kScale), 0, m_duration);
    emit frameChanged();
}

bool FakeMovie::isSoundTrackEnabled(int index) const
{
    return index >= 0 && index < m_soundEnabled.size() && m_soundEnabled[index];
}

void FakeMovie::setSoundTrackEnabled(int index, bool enabled)
{
    if (index >= 0 && index < m_soundEnabled.size())
        m_soundEnabled[index] = enabled;
}

void FakeMovie::setRate(float rate)
{
    if (rate == m_rate)
        return;
    m_rate = rate;
    emit rateChanged();
}

void FakeMovie::play()
{
    ++playCalls;
    setRate(1);
}

void FakeMovie::pause()
{
    ++pauseCalls;
    setRate(0);
}

void FakeMovie::gotoBeginning()
{
    ++beginningCalls;
    setCurrentTime({});
}

void FakeMovie::advance(double seconds)
{
    if (m_rate <= 0)
        return;
    m_time = std::min(m_duration, m_time + std::llround(seconds * kScale));
    emit frameChanged();
    if (m_time >= m_duration)
        setRate(0);
}

QImage FakeMovie::currentFrame() const
{
    const int width = int(std::clamp(m_naturalSize.width, 0.0, 4096.0));
    const int height = int(std::clamp(m_naturalSize.height, 0.0, 4096.0));
    if (width == 0 || height == 0)
        return {};
    QImage frame(width, height, QImage::Format_RGB32);
    const double t = m_duration > 0 ? double(m_time) / double(m_duration) : 0;
    frame.fill(QColor::fromHsvF(float(t * 0.8), 0.5f, 0.7f));
    return frame;
}

} // namespace pf
