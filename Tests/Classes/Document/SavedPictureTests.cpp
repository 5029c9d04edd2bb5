#include "Classes/Document/GMChainRenderer.h"
#include "Classes/Document/GMPaintedRegion.h"
#include "Classes/Document/GMPhotoFile.h"
#include "Classes/Document/GMSavedPicture.h"
#include "DocumentTestSupport.h"
#include "Platform/Image/RenderContext.h"

#include <QBuffer>
#include <QImageWriter>
#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace {

// A photo of noise over gradients, so that a pixel taken from the wrong place shows.
QImage noisePhoto(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(quint32(width * 31 + height));
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            row[x] = qRgb((x * 3 + int(random.bounded(40))) % 256, (y * 2 + int(random.bounded(40))) % 256,
                          int(random.bounded(256)));
    }
    return image;
}

QByteArray fileOf(const QImage& image, const char* format)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(90);
    return writer.write(image) ? data : QByteArray();
}

// A mask painted (white) in the rectangles, black elsewhere.
OVContentContainerPtr strokes(int width, int height, const std::vector<QRect>& rects)
{
    pf::Image mask =
        pf::Image::constantColor(pf::Color(0, 0, 0, 1)).imageByCroppingToRect(pf::Rect(0, 0, width, height));
    for (const QRect& r : rects)
        mask = pf::Image::constantColor(pf::Color(1, 1, 1, 1))
                   .imageByCroppingToRect(pf::Rect(r.x(), r.y(), r.width(), r.height()))
                   .imageByCompositingOverImage(mask);
    return std::make_shared<OVContentContainer>(std::make_shared<OVImageContainer>(mask, true),
                                                std::make_shared<OVImageContainer>());
}

} // namespace

// A save composes the picture only where the layers painted, in bands along the rows (or the columns of
// a turned photo), each over the runs it was painted in: what it writes must be what the whole picture,
// composed at once, gives. Strokes cross the bands' and runs' edges; one effect reads its neighbours.
TEST(SavedPictures, ComposedWherePaintedWritesWhatTheWholePictureWrites)
{
    const QSize sizes[] = {{300, 200}, {520, 260}, {257, 513}};
    const char* kinds[] = {"jpeg", "png", "tiff"};
    for (const QSize size : sizes) {
        const int w = size.width(), h = size.height();
        const QImage photo = noisePhoto(w, h);
        auto chain = std::make_shared<PhotoToolChain>(pf::Image::fromQImage(photo));
        std::shared_ptr<GMEffectBlueprint> effects[] = {
            chaintest::tint(),
            GMDocument::blueprintCatalog().effectBlueprintWithName(QStringLiteral("BrighterEyes")),
            chaintest::grey()};
        const std::vector<QRect> painted[] = {{QRect(10, 250, 200, 12), QRect(60, 5, 8, h - 10)},
                                              {QRect(120, 30, 70, 40), QRect(w - 20, h - 30, 20, 30)},
                                              {QRect(0, 0, 3, 3), QRect(127, 127, 3, 3)}};
        int index = 0;
        for (int i = 0; i < 3; ++i) {
            if (!effects[i])
                continue;
            chain->insertPhotoToolWithBlueprint(effects[i], std::nullopt, index++);
            chain->brushPathImageAtIndex(index)->addContentContainer(strokes(w, h, painted[i]));
        }
        ASSERT_GE(index, 2);
        std::vector<pf::Image> masks;
        for (int i = 1; i <= index; ++i)
            masks.push_back(chain->brushPathImageAtIndex(i)->contentContainer()->imageContainer()->image());
        GMPaintedRegion region;
        QString error;
        pf::RenderContext context;
        ASSERT_TRUE(GMPaintedRegion::fromMasks(masks, w, h, context, &region, &error)) << qPrintable(error);

        const auto whole = GMChainRenderer::renderForSaving(*chain)();
        const auto parts = GMChainRenderer::pictureForSaving(*chain)();
        ASSERT_TRUE(whole && parts);
        ASSERT_EQ(parts->width(), w);

        // Every painted pixel of any rectangle, across or along the picture, is the whole render's.
        const QRect rects[] = {QRect(0, 0, w, 16),   QRect(0, 248, w, 16), QRect(0, h - 7, w, 7),
                               QRect(48, 0, 16, h),  QRect(56, 0, 16, h),  QRect(w - 9, 0, 9, h),
                               QRect(120, 32, 8, 8), QRect(0, 240, w, 300)};
        for (const QRect& rect : rects) {
            const QRect inside = rect & QRect(0, 0, w, h);
            const pf::Bitmap band = parts->paintedPart(inside, region);
            ASSERT_EQ(band.width(), inside.width());
            const size_t pixel = 4;
            for (int y = 0; y < inside.height(); ++y)
                for (int x = 0; x < inside.width(); ++x)
                    if (region.contains(inside.x() + x, inside.y() + y)) {
                        ASSERT_EQ(0, std::memcmp(band.row(y) + pixel * size_t(x),
                                                 whole->row(inside.y() + y) + pixel * size_t(inside.x() + x),
                                                 pixel))
                            << w << "x" << h << " at " << inside.x() + x << "," << inside.y() + y;
                    }
        }

        // And every kind written from it is the same file.
        for (const char* format : kinds) {
            const QByteArray original = fileOf(photo, format);
            const GMPhotoFile::Kind kind = GMPhotoFile::inspectData(original);
            ASSERT_TRUE(kind.isValid()) << format;
            GMPhotoFile::Source source;
            source.original = original;
            source.painted = &region;
            QString wholeError, partsError;
            const QByteArray fromWhole = GMPhotoFile::encode(*whole, kind, &wholeError, source);
            const auto banded = GMChainRenderer::pictureForSaving(*chain)();
            const QByteArray fromParts = GMPhotoFile::encode(*banded, kind, &partsError, source);
            ASSERT_FALSE(fromWhole.isEmpty()) << format << qPrintable(wholeError);
            EXPECT_TRUE(fromParts == fromWhole) << format << " " << w << "x" << h << qPrintable(partsError);
        }
    }
}
