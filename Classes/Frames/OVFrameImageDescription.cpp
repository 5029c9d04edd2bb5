#include "Classes/Frames/OVFrameImageDescription.h"

#include "Classes/Framework/StringORVExtension.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/MainThread.h"
#include "Platform/UI/Timer.h"

#include <algorithm>
#include <cmath>

OVFrameImageDescription::OVFrameImageDescription(const QString& imagePath)
{
    setImageURL(imagePath);
}

OVFrameImageDescription::~OVFrameImageDescription()
{
    stopCacheTimer();
}

OVFrameImageDescription::Options OVFrameImageDescription::optionsFromString(const QString& text)
{
    Options options;
    if (text.isEmpty())
        return options;
    const QStringList fields = text.split(QLatin1Char('-'));
    auto number = [&](int i) {
        bool ok = false;
        const double value = i < fields.size() ? fields[i].toDouble(&ok) : 0.0;
        return ok && std::isfinite(value) ? value : 0.0;
    };
    options.width = number(0);
    options.corner = number(1);
    options.repeatX = quint64(std::max(0.0, std::floor(number(2))));
    options.repeatY = quint64(std::max(0.0, std::floor(number(3))));
    return options;
}

void OVFrameImageDescription::setImageURL(const QString& path)
{
    m_imageURL = path;
    const OVResourceInfo info = ORVExtension::resourceInfo(path);
    m_name = path.isEmpty() ? QString() : ORVExtension::resourceIDNameFor(info);
    setGeometry(optionsFromString(info.options().value_or(QString())));
    stopCacheTimer();
    m_cachedImage = pf::Image();
}

void OVFrameImageDescription::setGeometry(const Options& options)
{
    m_width = options.width;
    m_corner = options.corner;
    m_repeatX = options.repeatX;
    m_repeatY = options.repeatY;
}

pf::Size OVFrameImageDescription::cornerSize() const
{
    const double side = std::max(m_width, m_corner);
    return pf::Size(side, side);
}

pf::Image OVFrameImageDescription::image()
{
    if (m_cachedImage.isNull() && !m_imageURL.isEmpty()) {
        QString error;
        m_cachedImage = pf::Image::fromFile(m_imageURL, &error);
        if (m_cachedImage.isNull())
            pf::warning(QStringLiteral("Could not load frame image '%1': %2").arg(m_imageURL, error));
    }
    updateCacheTimer();
    return m_cachedImage;
}

void OVFrameImageDescription::clearCachedImage()
{
    stopCacheTimer();
    m_cachedImage = pf::Image();
}

void OVFrameImageDescription::stopCacheTimer()
{
    if (m_cacheTimer) {
        m_cacheTimer->invalidate();
        m_cacheTimer.reset();
    }
}

void OVFrameImageDescription::updateCacheTimer()
{
    if (!pf::isMainThread())
        return;
    stopCacheTimer();
    if (!m_cachedImage.isNull() && m_cacheTime > 0)
        m_cacheTimer = pf::Timer::scheduled(m_cacheTime, false, [this](pf::Timer&) { clearCachedImage(); });
}
