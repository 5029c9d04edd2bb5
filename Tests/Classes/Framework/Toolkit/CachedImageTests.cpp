#include "Classes/Framework/Toolkit/OVCachedImage.h"
#include "Platform/Foundation/Log.h"
#include "Platform/UI/SteppedClock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <atomic>
#include <gtest/gtest.h>
#include <limits>
#include <thread>

namespace {

QImage picture(bool alpha)
{
    QImage image(64, 48, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgba(x * 4, y * 5, 128, alpha ? 255 - x : 255));
    return image;
}

TEST(CachedImage, EachStrategyDropsTheMemoryCopyAfterItsTimeWithoutUse)
{
    struct Case
    {
        int strategy;
        double delay; // negative: never dropped
    };
    for (const Case& c : {Case{1, 0}, Case{2, 60}, Case{4, -1}, Case{0, 300}, Case{3, 300}}) {
        SCOPED_TRACE(c.strategy);
        pf::SteppedClock clock;
        const QImage original = picture(true);
        auto cached = OVCachedImage::cachedNSImage(original, c.strategy);
        ASSERT_TRUE(cached);
        ASSERT_TRUE(QFileInfo::exists(cached->imageURL()));
        EXPECT_TRUE(cached->isCached());
        if (c.delay < 0) {
            clock.advance(100000);
            EXPECT_TRUE(cached->isCached());
            continue;
        }
        if (c.delay >= 2) {
            clock.advance(c.delay - 1);
            EXPECT_TRUE(cached->isCached());
            cached->nsImage(); // each use restarts the wait
            clock.advance(c.delay - 1);
            EXPECT_TRUE(cached->isCached());
            cached->ciImage();
            clock.advance(c.delay - 1);
            EXPECT_TRUE(cached->isCached());
        }
        clock.advance(1.5);
        EXPECT_FALSE(cached->isCached());
        EXPECT_TRUE(cached->storedImage().isNull());
        // Read again from the disk copy (lossless: it has transparency, so it is a PNG).
        EXPECT_EQ(cached->nsImage().convertToFormat(QImage::Format_ARGB32), original);
        EXPECT_TRUE(cached->isCached());
    }
}

TEST(CachedImage, DiskCopiesKeepTransparencyAndGoWithTheImage)
{
    QTemporaryDir dir;
    for (bool alpha : {true, false}) {
        auto cached = OVCachedImage::initWithNSImage(picture(alpha));
        ASSERT_TRUE(cached);
        const QString disk = cached->imageURL();
        EXPECT_EQ(QFileInfo(disk).suffix(), alpha ? "png" : "jpg");
        EXPECT_EQ(cached->hasTransparency(), alpha);

        // The copy keeps the disk copy's type whatever the extension asked for, and says where it went.
        QString written, error;
        EXPECT_TRUE(cached->writeToURL(dir.filePath(QStringLiteral("export.tiff")), &error, &written));
        EXPECT_EQ(written, dir.filePath(alpha ? "export.png" : "export.jpg"));
        EXPECT_TRUE(QFileInfo::exists(written));

        cached->applicationWillTerminate();
        EXPECT_FALSE(QFileInfo::exists(disk));
        EXPECT_TRUE(cached->imageURL().isEmpty());
    }
    // A disk copy that cannot be written is logged; the memory copy then stays for good.
    QFile blocker(dir.filePath(QStringLiteral("not-a-folder")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QByteArray oldTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(blocker.fileName()));
    {
        pf::SteppedClock clock;
        pf::LogCapture log;
        auto unsaved = OVCachedImage::cachedNSImage(picture(false), 1);
        EXPECT_TRUE(unsaved->imageURL().isEmpty());
        EXPECT_TRUE(log.contains(QStringLiteral("Warning: Could not write")));
        clock.advance(10);
        EXPECT_TRUE(unsaved->isCached());
        QString error;
        EXPECT_FALSE(unsaved->writeToURL(dir.filePath(QStringLiteral("x.jpg")), &error));
        EXPECT_FALSE(error.isEmpty());
    }
    if (oldTmp.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", oldTmp);

    auto released = OVCachedImage::initWithNSImage(picture(false));
    const QString disk = released->imageURL();
    released.reset();
    EXPECT_FALSE(QFileInfo::exists(disk));
    EXPECT_EQ(OVCachedImage::initWithNSImage(QImage()), nullptr);
}

// A vector image of 100 x 50 points as SVG and as PDF.
void writeVectors(const QTemporaryDir& dir)
{
    QFile svg(dir.filePath(QStringLiteral("shape.svg")));
    ASSERT_TRUE(svg.open(QIODevice::WriteOnly));
    svg.write("<svg xmlns='http://www.w3.org/2000/svg' width='100' height='50' viewBox='0 0 100 50'>"
              "<rect x='0' y='0' width='50' height='50' fill='#c03020'/></svg>");
    svg.close();
    QPdfWriter pdf(dir.filePath(QStringLiteral("shape.pdf")));
    pdf.setPageSize(QPageSize(QSizeF(100, 50), QPageSize::Point));
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter(&pdf);
    painter.fillRect(QRectF(0, 0, pdf.width() / 2.0, pdf.height()), QColor(0xc0, 0x30, 0x20));
}

TEST(CachedImage, VectorImagesRenderAtAUsefulSize)
{
    QTemporaryDir dir;
    writeVectors(dir);
    for (const char* name : {"shape.svg", "shape.pdf"}) {
        SCOPED_TRACE(name);
        auto cached = OVCachedImage::initWithImageAtURL(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(cached);
        EXPECT_TRUE(cached->isVectorial());
        EXPECT_TRUE(cached->hasTransparency());
        EXPECT_EQ(QFileInfo(cached->imageURL()).suffix(), QFileInfo(QString::fromLatin1(name)).suffix());
        EXPECT_EQ(cached->nsImage().size(), QSize(100, 50));
        const QImage large = cached->cgImage();
        EXPECT_EQ(large.size(), QSize(1536, 768));
        EXPECT_GT(qRed(large.pixel(10, 10)), 150) << "drawn, not blank";
        EXPECT_EQ(cached->ciImage().extent().size, pf::Size(1536, 768));
        EXPECT_EQ(cached->ciImageForSize(pf::Size(3000, 100)).extent().size, pf::Size(3000, 1500));
        EXPECT_EQ(cached->ciImageForSize(pf::Size(300, 100)).extent().size, pf::Size(1536, 768));
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const double infinity = std::numeric_limits<double>::infinity();
        for (const pf::Size size :
             {pf::Size(nan, 100), pf::Size(3000, nan), pf::Size(infinity, 100), pf::Size(100, -infinity)})
            EXPECT_EQ(cached->ciImageForSize(size).extent().size, pf::Size(1536, 768)) << "the kept image";
    }
    // Both sides are rounded: 33 x 15.36 = 506.88 points high.
    QFile svg(dir.filePath(QStringLiteral("wide.svg")));
    ASSERT_TRUE(svg.open(QIODevice::WriteOnly));
    svg.write("<svg xmlns='http://www.w3.org/2000/svg' width='100' height='33'><rect width='100' "
              "height='33'/></svg>");
    svg.close();
    auto wide = OVCachedImage::initWithImageAtURL(svg.fileName());
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->cgImage().size(), QSize(1536, 507));
    EXPECT_EQ(wide->ciImageForSize(pf::Size(3000, 10)).extent().size, pf::Size(3000, 990));
}

TEST(CachedImage, UnreadableFilesGiveNoImage)
{
    QTemporaryDir dir;
    QFile eps(dir.filePath(QStringLiteral("drawing.eps")));
    ASSERT_TRUE(eps.open(QIODevice::WriteOnly));
    eps.write("%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 10 10\nnewpath 0 0 moveto 10 10 lineto stroke\n");
    eps.close();
    const auto epsCopies = [] {
        return QDir(QDir::tempPath()).entryList({QStringLiteral("*.eps")}, QDir::Files);
    };
    const QStringList before = epsCopies();
    pf::LogCapture log;
    EXPECT_EQ(OVCachedImage::initWithImageAtURL(eps.fileName()), nullptr);
    EXPECT_TRUE(log.contains(QStringLiteral("Warning: Could not load image")));
    EXPECT_EQ(OVCachedImage::initWithImageAtURL(dir.filePath(QStringLiteral("missing.png"))), nullptr);
    EXPECT_TRUE(log.contains(QStringLiteral("Warning: Could not copy: ")));
    EXPECT_EQ(epsCopies(), before) << "the copy that could not be read is not left behind";
}

// Eight threads ask for the image in both forms while the main thread lets drops fire.
TEST(CachedImage, ManyThreadsReadWhileTheMemoryCopyIsDropped)
{
    pf::SteppedClock clock;
    auto cached = OVCachedImage::cachedNSImage(picture(true), 1);
    std::atomic<int> running = 8;
    std::atomic<int> bad = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 40; ++i) {
                if ((i + t) % 2 == 0) {
                    if (cached->nsImage().size() != QSize(64, 48))
                        ++bad;
                } else if (cached->ciImage().extent().size != pf::Size(64, 48)) {
                    ++bad;
                }
                if (i % 10 == 0)
                    cached->setCacheStrategy(i % 20 == 0 ? 1 : 2);
            }
            --running;
        });
    }
    while (running > 0) {
        QCoreApplication::processEvents();
        clock.advance(0.5);
    }
    for (std::thread& thread : threads)
        thread.join();
    QCoreApplication::processEvents();
    EXPECT_EQ(bad, 0);
}

} // namespace
