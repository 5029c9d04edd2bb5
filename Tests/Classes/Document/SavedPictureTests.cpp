#include "Classes/Document/GMChainRenderer.h"
#include "Classes/Document/GMPaintedRegion.h"
#include "Classes/Document/GMPhotoFile.h"
#include "Classes/Document/GMSavedPicture.h"
#include "Classes/ToolObjects/OVRenderCache.h"
#include "DocumentTestSupport.h"
#include "HeldSnapshotWrites.h"
#include "Platform/Image/RenderContext.h"
#include "Platform/Image/RenderStatistics.h"

#include <QBuffer>
#include <QImageWriter>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <cmath>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>

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

// The kept edits' preview taken right after a stroke, while the stroke's snapshot is still being written,
// is the stack as the canvas composes its own preview (each mask read reduced, the stroke only where it
// went): of the canvas preview's size, the stroke in it. Read as one recipe instead, every mask of a
// large photo was made at its full size first, and quitting right after a stroke waited seconds for it.
TEST(SavedPictures, APreviewRightAfterAStrokeIsTheCanvasPreviewOfTheStack)
{
    struct Case
    {
        int width, height;
        QSize preview;
    };
    const Case cases[] = {{2048, 1536, {1024, 768}}, {600, 800, {600, 800}}};
    for (const Case& c : cases) {
        auto chain = std::make_shared<PhotoToolChain>(pf::Image::fromQImage(noisePhoto(c.width, c.height)));
        chain->insertPhotoToolWithBlueprint(
            chaintest::tint(), QVariantMap{{"color", QVariant::fromValue(pf::Color(0.1, 0.8, 0.3, 1))}}, 0);
        const auto mask = chain->brushPathImageAtIndex(1);
        mask->addContentContainer(strokes(c.width, c.height, {QRect(0, 0, c.width / 3, c.height)}));
        ASSERT_TRUE(mask->contentContainer()->imageContainer()->flush());
        OVBrushPathImage::waitForPendingWrites();
        const auto unstroked = GMChainRenderer::renderForSaving(*chain, pf::Size(1024, 1024))();
        ASSERT_TRUE(unstroked);

        // The stroke's snapshot is held back until both pictures are made.
        const HeldSnapshotWrites held;
        const pf::Size strokeSize(std::round(c.width * 0.2), std::round(c.height * 0.2));
        auto stroke = std::make_shared<OVContentContainer>();
        stroke->imageContainer()->setImage(
            pf::Image::constantColor(pf::Color(1, 1, 1, 1))
                .imageByCroppingToRect(pf::Rect(0, 0, strokeSize.width, strokeSize.height)));
        mask->addContentContainerWithRect(stroke, pf::Rect(0.6, 0.4, 0.2, 0.2));
        ASSERT_FALSE(mask->contentContainer()->imageContainer()->isStored())
            << "the stroke is not stored yet";

        const auto preview = GMChainRenderer::renderForSaving(*chain, pf::Size(1024, 1024))();
        OVRenderCache canvas(chain, chain.get());
        canvas.fitOutputSizeInside(
            pf::Size(std::min(1024, c.width), std::min(1024, c.height))); // as the editor's own preview
        const auto shown = pf::RenderContext::shared()->render(
            canvas.composedImageToIndex(1), pf::Rect(0, 0, c.preview.width(), c.preview.height()),
            pf::Bitmap::Format::RGBA8);
        ASSERT_TRUE(preview && shown) << c.width;
        ASSERT_EQ(QSize(preview->width(), preview->height()), c.preview) << c.width;
        int largest = 0;
        for (int y = 0; y < preview->height(); ++y)
            for (int x = 0; x < preview->width() * 4; ++x)
                largest = std::max(largest, std::abs(int(preview->row(y)[x]) - int(shown->row(y)[x])));
        EXPECT_LE(largest, 1) << c.width << "x" << c.height;
        // Where the stroke went, the picture is not the one before it.
        const int x = int(preview->width() * 0.7), y = preview->height() / 2;
        int changed = 0;
        for (int k = 0; k < 3; ++k)
            changed = std::max(changed,
                               std::abs(int(preview->row(y)[4 * x + k]) - int(unstroked->row(y)[4 * x + k])));
        EXPECT_GT(changed, 20) << c.width << "x" << c.height;
    }
}

// Right after a stroke the canvas still holds the layers below it, composed at the preview's size: the
// kept edits' preview starts from them and composes only the stroked layer, with the pixels a fresh
// composition gives. Layers of anything but this very state at this size (another photo's chain at the
// same count of changes, a canvas of another size) are never laid under it.
TEST(SavedPictures, APreviewAfterAStrokeStartsFromTheCanvasLayersBelowIt)
{
    enum Canvas
    {
        OfThisState,
        OfAnotherPhoto,
        OfAnotherSize
    };
    const pf::Size box(1024, 1024);
    for (const Canvas kind : {OfThisState, OfAnotherPhoto, OfAnotherSize}) {
        const auto makeChain = [](const QImage& photo) {
            auto chain = std::make_shared<PhotoToolChain>(pf::Image::fromQImage(photo));
            chain->insertPhotoToolWithBlueprint(chaintest::tint(), std::nullopt, 0);
            chain->brushPathImageAtIndex(1)->addContentContainer(
                strokes(1600, 1200, {QRect(0, 0, 900, 1200)}));
            chain->insertPhotoToolWithBlueprint(chaintest::grey(), std::nullopt, 1);
            return chain;
        };
        auto chain = makeChain(noisePhoto(1600, 1200));
        QImage plain(1600, 1200, QImage::Format_RGB32);
        plain.fill(qRgb(200, 120, 90));
        auto other = makeChain(plain);
        auto shownSource = kind == OfAnotherPhoto ? other : chain;
        OVRenderCache canvas(shownSource, shownSource.get());
        canvas.fitOutputSizeInside(kind == OfAnotherSize ? pf::Size(800, 800) : box);
        ASSERT_FALSE(canvas.composedImageToIndex(2).isNull());
        // The stroke, on the top layer of both chains alike.
        for (PhotoToolChain* stroked : {chain.get(), other.get()})
            stroked->brushPathImageAtIndex(2)->addContentContainer(
                strokes(1600, 1200, {QRect(200, 300, 500, 400)}));
        OVBrushPathImage::waitForPendingWrites();
        ASSERT_EQ(chain->version(), other->version());
        ASSERT_EQ(canvas.cachedStackCount(), 2) << "the canvas holds the layers below the stroke";

        pf::RenderContext::waitForPathMeasures();
        pf::RenderStatistics::resetPasses();
        const auto fresh = GMChainRenderer::renderForSaving(*chain, box)();
        const uint64_t freshPasses = pf::RenderStatistics::passes();
        pf::RenderContext::waitForPathMeasures();
        pf::RenderStatistics::resetPasses();
        const auto started =
            GMChainRenderer::renderForSaving(*chain, box, pf::Bitmap::Format::RGBA8, &canvas)();
        const uint64_t startedPasses = pf::RenderStatistics::passes();
        ASSERT_TRUE(fresh && started) << kind;
        ASSERT_EQ(QSize(started->width(), started->height()), QSize(1024, 768)) << kind;
        int largest = 0;
        for (int y = 0; y < started->height(); ++y)
            for (int x = 0; x < started->width() * 4; ++x)
                largest = std::max(largest, std::abs(int(started->row(y)[x]) - int(fresh->row(y)[x])));
        EXPECT_LE(largest, 1) << kind;
        if (kind == OfThisState) {
            EXPECT_LT(startedPasses, freshPasses);
        }
    }
}
