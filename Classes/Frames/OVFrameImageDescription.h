#pragma once

#include "Platform/Foundation/Size.h"
#include "Platform/Image/Image.h"

#include <QString>
#include <memory>

namespace pf {
class Timer;
}

// One image of a frame (a shade, a mask) and the geometry its file name carries: the band width, the
// corner and the repeat counts of the middle of each side (see docs/frames.md). The image is loaded on
// first use and released after `cacheTime` seconds without use. Main thread only.
class OVFrameImageDescription
{
public:
    struct Options
    {
        double width = 1.0;
        double corner = 0.0;
        quint64 repeatX = 0;
        quint64 repeatY = 0;
    };

    explicit OVFrameImageDescription(const QString& imagePath = QString());
    virtual ~OVFrameImageDescription();
    OVFrameImageDescription(const OVFrameImageDescription&) = delete;
    OVFrameImageDescription& operator=(const OVFrameImageDescription&) = delete;

    // "width-corner-repeatX-repeatY"; further fields are ignored. Width 1 for an empty text.
    static Options optionsFromString(const QString& options);

    const QString& imageURL() const { return m_imageURL; }
    // Takes the name and geometry from the file name and drops the cached image.
    void setImageURL(const QString& path);

    const QString& name() const { return m_name; }
    double width() const { return m_width; }
    double corner() const { return m_corner; }
    quint64 repeatX() const { return m_repeatX; }
    quint64 repeatY() const { return m_repeatY; }
    double maxCorner() const { return m_maxCorner; }
    void setMaxCorner(double corner) { m_maxCorner = corner; }
    double cacheTime() const { return m_cacheTime; }
    void setCacheTime(double seconds) { m_cacheTime = seconds; }
    // The corner square: the larger of width and corner.
    pf::Size cornerSize() const;

    // The cached image, loaded when there is none; each call postpones the release.
    virtual pf::Image image();
    bool hasCachedImage() const { return !m_cachedImage.isNull(); }
    virtual void clearCachedImage();
    // On the main thread: restarts the release timer while an image is cached.
    void updateCacheTimer();

protected:
    void stopCacheTimer();
    void setGeometry(const Options& options);
    pf::Image m_cachedImage;

private:
    QString m_imageURL;
    QString m_name;
    double m_width = 1.0;
    double m_corner = 0.0;
    quint64 m_repeatX = 0;
    quint64 m_repeatY = 0;
    double m_cacheTime = 300.0;
    double m_maxCorner = 0.0;
    std::shared_ptr<pf::Timer> m_cacheTimer;
};
