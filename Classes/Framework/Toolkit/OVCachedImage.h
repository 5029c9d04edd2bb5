#pragma once

#include "Platform/Foundation/Size.h"
#include "Platform/Image/Image.h"

#include <QImage>
#include <QMetaObject>
#include <QString>
#include <atomic>
#include <memory>
#include <mutex>

namespace pf {
class Timer;
}

// One image that may be large, kept on disk in the temporary folder and decoded in memory only while
// it is used: the memory copy is dropped after the cache strategy's time without use and read again
// from the disk copy when next asked for. It hands the image out as a QImage (nsImage, cgImage) or as
// a recipe of the image engine (ciImage), renders vector images (SVG, a PDF's first page) at a useful
// pixel size, and deletes its disk copy when it goes or the application quits.
//
// nsImage(), cgImage(), ciImage(), ciImageForSize() and setCacheStrategy() may be called from any
// thread: one lock covers the memory copy, its engine form and the disk copy, and the drop timer
// lives on the main thread (other threads reach it through pf::runOnMain). Hold it by std::shared_ptr.
class OVCachedImage : public std::enable_shared_from_this<OVCachedImage>
{
public:
    // How long the memory copy outlives its last use.
    enum CacheStrategy : int
    {
        DefaultStrategy = 0,  // 300 s (so does any value not listed)
        DropAtNextTurn = 1,   // at the next turn of the main event loop
        DropAfterAMinute = 2, // 60 s
        NeverDrop = 4,
    };
    // Seconds from the last use to the drop of the memory copy; negative: never.
    static double dropDelay(int strategy);

    // Null for a null image. A raster image; its disk copy is written at once.
    static std::shared_ptr<OVCachedImage> initWithNSImage(const QImage& image);
    // A copy of the file becomes the disk copy; null (with a warning) when no image can be read from it.
    static std::shared_ptr<OVCachedImage> initWithImageAtURL(const QString& path);
    static std::shared_ptr<OVCachedImage> cachedNSImage(const QImage& image, int strategy);
    static std::shared_ptr<OVCachedImage> cachedImageFile(const QString& path, int strategy);
    static std::shared_ptr<OVCachedImage> cachedImageURL(const QString& path, int strategy)
    {
        return cachedImageFile(path, strategy);
    }

    // A path directly in the temporary folder: 10 random characters, a dot and the extension, naming
    // nothing yet.
    static QString saveURLWithExtension(const QString& extension);

    ~OVCachedImage();
    OVCachedImage(const OVCachedImage&) = delete;
    OVCachedImage& operator=(const OVCachedImage&) = delete;

    // Writes the disk copy ("png" with transparency, else "jpg") when there is none yet; a failed write
    // is logged and the memory copy then stays for good.
    void writeToDisk();
    // Copies the disk copy (written first when needed) to `path` with its extension replaced by the disk
    // copy's; `writtenPath` receives the path written. False, with the reason, when there is no disk
    // copy or the copy failed.
    bool writeToURL(const QString& path, QString* error = nullptr, QString* writtenPath = nullptr);

    bool isCached() const;
    // The image (for vectors: drawn at its own size in points), read again from disk when dropped.
    // Each use restarts the wait before the drop.
    QImage nsImage();
    // The image for rendering: a vector image smaller than 1536 points on its longer side is drawn
    // larger, to 1536 on that side.
    QImage cgImage();
    // cgImage() as a recipe, made once and kept with the memory copy.
    pf::Image cachedCIImage();
    // cachedCIImage(), restarting the wait like nsImage().
    pf::Image ciImage();
    // cachedCIImage(), or for a vector image asked for more than that, the image drawn to cover `size`
    // (not kept).
    pf::Image ciImageForSize(pf::Size size);

    int cacheStrategy() const { return m_cacheStrategy.load(); }
    void setCacheStrategy(int strategy);
    // Restarts the drop timer; main thread.
    void updateCacheStrategy();
    // Drops the memory copy and its recipe.
    void cacheTimed();
    // Deletes the disk copy and forgets it.
    void applicationWillTerminate();

    bool hasTransparency() const { return m_hasTransparency; }
    bool isVectorial() const { return m_isVectorial; }
    bool preventColorCorrection() const { return m_preventColorCorrection; }
    void setPreventColorCorrection(bool flag) { m_preventColorCorrection = flag; }
    // The memory copy as it is now (null when dropped), without reading or restarting anything.
    QImage storedImage() const;
    QString imageURL() const;

private:
    struct Vector;
    OVCachedImage();
    void observeQuit();
    bool ensureLoadedLocked();
    void restartTimer();
    QImage vectorImageAt(QSize pixels) const;
    void deleteDiskCopy();

    mutable std::recursive_mutex m_mutex;
    QImage m_storedImage;
    pf::Image m_cachedCIImage;
    QString m_imageURL;
    std::shared_ptr<const Vector> m_vector; // set for vector images, made from the disk copy
    bool m_hasTransparency = false;
    bool m_isVectorial = false;
    std::atomic<bool> m_preventColorCorrection = false;
    std::atomic<int> m_cacheStrategy = DefaultStrategy;
    std::shared_ptr<pf::Timer> m_cacheTimer; // main thread only
    QMetaObject::Connection m_quitConnection;
};
