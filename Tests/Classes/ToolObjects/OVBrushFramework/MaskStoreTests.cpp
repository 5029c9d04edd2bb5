#include "../HeldSnapshotWrites.h"
#include "../WorkingAreaOverride.h"

#include "Classes/Framework/ImageFunctions.h"
#include "Classes/ToolObjects/OVBrushFramework/OVBrush.h"
#include "Classes/ToolObjects/OVBrushFramework/OVBrushPathImage.h"
#include "Classes/ToolObjects/OVBrushFramework/OVContentContainer.h"
#include "Platform/Foundation/FileSystem.h"
#include "Platform/Foundation/KeyedArchiver.h"
#include "Platform/Foundation/KeyedUnarchiver.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Foundation/UndoManager.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/ImageFile.h"
#include "Platform/Image/ImageNode.h"
#include "Platform/Image/RenderContext.h"
#include "Platform/Image/RenderStatistics.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <unistd.h>

using namespace pf;

namespace {

// A mask of the given size, grey `value` inside `rect` and black elsewhere.
Image maskImage(double width, double height, const Rect& rect, double value)
{
    const Image black = Image::constantColor(Color(0, 0, 0)).imageByCroppingToRect(Rect(0, 0, width, height));
    return Image::constantColor(Color(value, value, value))
        .imageByCroppingToRect(rect)
        .imageByCompositingOverImage(black);
}

OVContentContainerPtr strokeContainer(const Image& image)
{
    auto container = std::make_shared<OVContentContainer>();
    container->imageContainer()->setImage(image);
    return container;
}

// The grey value at pixel (x, y) (y counted upward) of a container's mask.
float maskValue(const OVContentContainerPtr& container, int x, int y)
{
    const Image image = container->imageContainer()->image();
    if (image.isNull())
        return -1;
    auto bitmap = RenderContext::shared()->render(image, Rect(x, y, 1, 1), Bitmap::Format::Grayf);
    float v = -1;
    if (bitmap)
        std::memcpy(&v, bitmap->data(), 4);
    return v;
}

class Recorder : public OVBrushPathImageDelegate
{
public:
    void brushPathImageDidChange(OVBrushPathImage*) override { ++changes; }
    int changes = 0;
};

void endTurn()
{
    QCoreApplication::processEvents();
}

} // namespace

TEST(OVImageContainer, PicturesOfOneValueAreKeptAsThatValueAndGiveBackTheSamePixels)
{
    struct Case
    {
        const char* name;
        Image picture;
        bool monochrome;
        bool compact; // held as its one value, without a bitmap of its size
    };
    const Rect area(0, 0, 40, 30);
    const Case cases[] = {
        {"a blank mask", Image::constantColor(Color(0, 0, 0, 0)).imageByCroppingToRect(area), true, true},
        {"a white mask", Image::constantColor(Color(1, 1, 1)).imageByCroppingToRect(area), true, true},
        {"a painted mask", maskImage(40, 30, Rect(10, 5, 20, 10), 0.5), true, false},
        {"a transparent picture", Image::constantColor(Color(0, 0, 0, 0)).imageByCroppingToRect(area), false,
         true},
        {"an orange picture", Image::constantColor(Color(1, 0.5, 0, 0.5)).imageByCroppingToRect(area), false,
         false},
    };
    QTemporaryDir dir;
    for (const Case& c : cases) {
        auto container = std::make_shared<OVImageContainer>(c.picture, c.monochrome);
        ASSERT_TRUE(container->flush()) << c.name;
        EXPECT_FALSE(container->isEmpty()) << c.name;
        EXPECT_EQ(container->size(), Size(40, 30)) << c.name;
        // Renders read no pixels for a picture of one value: its recipe is that value.
        EXPECT_EQ(container->image().node()->kind != ImageNode::Kind::Bitmap, c.compact) << c.name;

        const Bitmap::Format format = c.monochrome ? Bitmap::Format::Gray16 : Bitmap::Format::RGBAf;
        auto expected = RenderContext::shared()->render(c.picture, area, format);
        auto shown = RenderContext::shared()->render(container->image(), area, format);
        const Bitmap stored = container->bitmap();
        ASSERT_TRUE(expected && shown && !stored.isNull()) << c.name;
        EXPECT_EQ(stored.format(), format) << c.name << ": masks keep the 16 bits they are written with";
        EXPECT_EQ(0, std::memcmp(stored.data(), expected->data(), expected->byteCount())) << c.name;
        EXPECT_EQ(0, std::memcmp(shown->data(), expected->data(), expected->byteCount())) << c.name;

        const QString folder = dir.filePath(QString::fromUtf8(c.name));
        ASSERT_TRUE(container->writeToFolder(folder)) << c.name;
        auto back = OVImageContainer::readFromFolder(folder);
        auto reread = RenderContext::shared()->render(back->image(), area, format);
        ASSERT_TRUE(reread) << c.name;
        for (int y = 0; y < 30; y += 7) {
            for (int x = 0; x < 40; x += 9) {
                float a[4], b[4];
                reread->pixel(x, y, a);
                expected->pixel(x, y, b);
                for (int i = 0; i < 4; ++i)
                    EXPECT_NEAR(a[i], b[i], 1.0f / 65535) << c.name << " read back at " << x << "," << y;
            }
        }
    }
}

TEST(OVImageContainer, AColourPictureDefinedInAPartKeepsOnlyThatPartInItsFrame)
{
    // Healed spots on a large photo: the frame is the photo, the pixels a small part of it.
    const Rect frame(0, 0, 400, 300), spot(250, 40, 30, 20);
    const Color orange(1, 0.5, 0, 0.5);
    const Image picture = framedImage(Image::constantColor(orange), spot, frame);
    auto container = std::make_shared<OVImageContainer>(picture, false);
    ASSERT_TRUE(container->flush());
    EXPECT_EQ(container->size(), Size(400, 300));
    EXPECT_EQ(container->image().extent(), frame);
    EXPECT_EQ(container->image().definition().extent(), spot) << "only the part is kept and rendered";

    // Written whole, as every reader of the folder expects; rows top down.
    const Bitmap whole = container->bitmap();
    ASSERT_EQ(whole.width(), 400);
    ASSERT_EQ(whole.height(), 300);
    const struct
    {
        int x, y; // y up
        float alpha;
    } probes[] = {{250, 40, 0.5f}, {279, 59, 0.5f}, {265, 50, 0.5f}, {249, 50, 0}, {265, 60, 0}, {10, 10, 0}};
    QTemporaryDir dir;
    ASSERT_TRUE(container->writeToFolder(dir.filePath(QStringLiteral("spot"))));
    auto back = OVImageContainer::readFromFolder(dir.filePath(QStringLiteral("spot")));
    EXPECT_EQ(back->size(), Size(400, 300));
    for (const auto& p : probes) {
        float stored[4], shown[4];
        whole.pixel(p.x, 299 - p.y, stored);
        EXPECT_NEAR(stored[3], p.alpha, 1e-6) << p.x << "," << p.y;
        auto read =
            RenderContext::shared()->render(back->image(), Rect(p.x, p.y, 1, 1), Bitmap::Format::RGBAf);
        ASSERT_TRUE(read);
        read->pixel(0, 0, shown);
        EXPECT_NEAR(shown[3], p.alpha, 1.0f / 65535) << "read back at " << p.x << "," << p.y;
        EXPECT_NEAR(shown[0], p.alpha * 1.0f, 1.0f / 65535) << "read back at " << p.x << "," << p.y;
    }

    // Placed onto as a layer's picture, the part stays what is rendered and kept.
    const Image second = framedImage(Image::constantColor(orange), Rect(20, 200, 10, 10), frame);
    auto placed =
        std::make_shared<OVImageContainer>(second.imageByCompositingOverImage(container->image()), false);
    ASSERT_TRUE(placed->flush());
    EXPECT_EQ(placed->image().definition().extent(), Rect(20, 40, 260, 170));
}

TEST(OVImageContainer, AColourStrokeOverAStoredPartKeepsAPartGrownByWhereItLanded)
{
    // A healing layer's next spot stored over its stored spots (or over its blank start): the result is
    // again a part of the frame, holding the old spots and the new one, never the frame's pixels.
    const Rect frame(0, 0, 400, 300), first(250, 40, 30, 20), second(20, 200, 10, 10);
    const Color orange(1, 0.5, 0, 0.5), blue(0, 0, 1, 1);
    const struct
    {
        const char* name;
        bool blankBase;
        Rect landed;
        Rect kept;
    } cases[] = {
        {"a spot beside a stored spot", false, second, Rect(20, 40, 260, 170)},
        {"a spot on a blank layer", true, second, second},
        {"nothing landing on a stored spot", false, Rect::null(), first},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto base = std::make_shared<OVImageContainer>(Image(), false);
        if (c.blankBase)
            base->setBlank(frame.size);
        else
            base->setImage(framedImage(Image::constantColor(orange), first, frame));
        ASSERT_TRUE(base->flush());
        const Image spot = c.landed.isNull()
                               ? Image::constantColor(Color(0, 0, 0, 0)).imageByCroppingToRect(frame)
                               : framedImage(Image::constantColor(blue), c.landed, frame);
        auto placed = std::make_shared<OVImageContainer>(Image(), false);
        placed->setImageOverStored(spot.imageByCompositingOverImage(base->image()), base,
                                   c.landed.isNull() ? Rect::null() : c.landed);
        ASSERT_TRUE(placed->flush());
        EXPECT_EQ(placed->size(), frame.size);
        EXPECT_EQ(placed->image().definition().extent(), c.kept);

        const Bitmap whole = placed->bitmap(); // rows top down
        ASSERT_EQ(whole.width(), 400);
        const struct
        {
            int x, y; // y up
            float alpha;
        } probes[] = {{265, 50, c.blankBase ? 0.0f : 0.5f},
                      {25, 205, c.landed.isNull() ? 0.0f : 1.0f},
                      {100, 100, 0},
                      {31, 205, 0}};
        for (const auto& p : probes) {
            float stored[4];
            whole.pixel(p.x, 299 - p.y, stored);
            EXPECT_NEAR(stored[3], p.alpha, 1e-6) << p.x << "," << p.y;
        }
    }
}

TEST(OVBrushPathImage, AStrokeOnStoredPixelsRendersOnlyWhereItLandsWhenStored)
{
    // A 2000 x 1500 mask, grey on its left half and stored as pixels; a stroke painted in a 400 x 300
    // channel (five mask pixels to one) that defines only a 20-pixel square.
    OVBrushPathImage mask(Size(2000, 1500),
                          strokeContainer(maskImage(2000, 1500, Rect(0, 0, 1000, 1500), 0.5)));
    OVBrushPathImage::waitForPendingWrites();
    ASSERT_TRUE(mask.contentContainer()->imageContainer()->isStored());
    const Image stroke =
        framedImage(Image::constantColor(Color(1, 1, 1)), Rect(100, 100, 20, 20), Rect(0, 0, 400, 300));
    {
        // The stroke's snapshot write is held until the placement is looked at: on free cores it would
        // otherwise render the patch into stored pixels before the next line runs.
        const HeldSnapshotWrites held;
        mask.addContentContainerWithRect(strokeContainer(stroke), Rect(0, 0, 1, 1));
        const auto patch = mask.contentContainer()->imageContainer()->patchOver();
        ASSERT_TRUE(patch) << "the stroke is placed over the stored pixels";
        EXPECT_TRUE(Rect(497, 497, 106, 106).contains(patch->second)) << "only the stroke's part is rendered";
    }
    const OVContentContainerPtr stored = mask.contentContainer();
    const struct
    {
        int x, y;
        float value;
    } probes[] = {{550, 550, 1}, {50, 50, 0.5f}, {990, 1400, 0.5f}, {1500, 1000, 0}, {1010, 700, 0}};
    for (const auto& p : probes)
        EXPECT_NEAR(maskValue(stored, p.x, p.y), p.value, 1.0f / 255) << p.x << "," << p.y;
}

TEST(OVImageContainer, ABlankPictureHoldsWhatAFlushedTransparentOneHolds)
{
    // A new layer's mask is made blank without drawing it; everything downstream (renders, strokes,
    // snapshots) must meet the same picture as when its transparent recipe was flushed.
    const Rect area(0, 0, 40, 30);
    for (const bool monochrome : {true, false}) {
        OVImageContainer flushed(Image::constantColor(Color(0, 0, 0, 0)).imageByCroppingToRect(area),
                                 monochrome);
        ASSERT_TRUE(flushed.flush());
        OVImageContainer blank(Image(), monochrome);
        blank.setBlank(Size(40, 30));
        EXPECT_EQ(blank.size(), flushed.size()) << monochrome;
        EXPECT_NE(blank.image().node()->kind, ImageNode::Kind::Bitmap) << monochrome;
        const Bitmap a = blank.bitmap(), b = flushed.bitmap();
        ASSERT_TRUE(!a.isNull() && a.format() == b.format()) << monochrome;
        EXPECT_EQ(0, std::memcmp(a.data(), b.data(), a.byteCount())) << monochrome;
        const auto format = monochrome ? Bitmap::Format::Gray16 : Bitmap::Format::RGBAf;
        auto shownA = RenderContext::shared()->render(blank.image(), area, format);
        auto shownB = RenderContext::shared()->render(flushed.image(), area, format);
        ASSERT_TRUE(shownA && shownB);
        EXPECT_EQ(0, std::memcmp(shownA->data(), shownB->data(), shownA->byteCount())) << monochrome;
    }
}

TEST(OVImageContainer, FoldersRoundTripAndEmptyOnesWriteNothing)
{
    QTemporaryDir dir;
    auto container = strokeContainer(maskImage(40, 30, Rect(10, 5, 20, 10), 0.5));
    EXPECT_EQ(container->size(), Size(40, 30)); // pending: the extent
    ASSERT_TRUE(container->writeToFolder(dir.path()));
    EXPECT_TRUE(QFile::exists(dir.filePath("imageContainer/image.png")));
    EXPECT_FALSE(QDir(dir.filePath("additionalImageContainer")).exists());

    auto back = OVContentContainer::readFromFolder(dir.path());
    EXPECT_TRUE(back->imageContainer()->isMonochrome());
    EXPECT_EQ(back->size(), Size(40, 30));
    EXPECT_NEAR(maskValue(back, 15, 8), 0.5f, 1.0f / 65535);
    EXPECT_NEAR(maskValue(back, 2, 2), 0.0f, 1e-6);
    EXPECT_TRUE(back->additionalImageContainer()->isEmpty());

    // Writing an empty container over it removes the stale picture, so it cannot come back.
    ASSERT_TRUE(std::make_shared<OVContentContainer>()->writeToFolder(dir.path()));
    auto empty = OVContentContainer::readFromFolder(dir.path());
    EXPECT_TRUE(empty->imageContainer()->isEmpty());
    EXPECT_TRUE(empty->imageContainer()->isMonochrome());
    EXPECT_TRUE(empty->additionalImageContainer()->isMonochrome()); // read back without "content"

    // A colour picture keeps its colour and alpha; a "content" without the flag reads as colour.
    auto colour = std::make_shared<OVImageContainer>(
        Image::constantColor(Color(1, 0.5, 0, 0.5)).imageByCroppingToRect(Rect(0, 0, 4, 4)), false);
    ASSERT_TRUE(colour->writeToFolder(dir.filePath("colour")));
    auto colourBack = OVImageContainer::readFromFolder(dir.filePath("colour"));
    EXPECT_FALSE(colourBack->isMonochrome());
    float px[4];
    colourBack->bitmap().pixel(1, 1, px);
    EXPECT_NEAR(px[0], 0.5f, 1e-4);
    EXPECT_NEAR(px[3], 0.5f, 1e-4);
    QFile content(dir.filePath("colour/content"));
    ASSERT_TRUE(content.open(QIODevice::WriteOnly));
    content.write(*PropertyList::toData(QVariantMap{}, PropertyList::Format::Xml));
    content.close();
    EXPECT_FALSE(OVImageContainer::readFromFolder(dir.filePath("colour"))->isMonochrome());
}

// A healing layer keeps its pixels in float at the photo's size and writes them as 16-bit PNG; read
// back, such a picture takes more than a photo from elsewhere may (at 108 MP it did, and the healing
// showed empty after a quit). What the application wrote reads back; a file from elsewhere keeps the limit.
TEST(OVImageContainer, APictureItWroteReadsBackBeyondTheLimitOfPicturesFromElsewhere)
{
    QTemporaryDir dir;
    auto healed = std::make_shared<OVImageContainer>(
        Image::constantColor(Color(0.8, 0.6, 0.5, 1)).imageByCroppingToRect(Rect(0, 0, 300, 200)), false);
    ASSERT_TRUE(healed->writeToFolder(dir.filePath("healed")));
    pf::ImageFile::setAllocationLimitForTesting(
        1); // 300 x 200 decoded in 16 bits with its float copy: 1.4 MB
    const auto restore = qScopeGuard([] { pf::ImageFile::setAllocationLimitForTesting(0); });
    QString refusal;
    EXPECT_TRUE(pf::ImageFile::read(dir.filePath("healed/image.png"), &refusal).isNull());
    EXPECT_TRUE(refusal.contains("too large")) << refusal.toStdString();
    QString problem;
    auto back = OVImageContainer::readFromFolder(dir.filePath("healed"), &problem);
    EXPECT_TRUE(problem.isEmpty()) << problem.toStdString();
    ASSERT_EQ(back->size(), Size(300, 200));
    float px[4];
    back->bitmap().pixel(150, 100, px);
    EXPECT_NEAR(px[0], 0.8f, 1e-4);
    EXPECT_NEAR(px[3], 1.0f, 1e-4);
}

TEST(OVBrushPathImage, StrokeUndoRedoRestoreExactPixelsAndNames)
{
    auto undo = std::make_shared<UndoManager>();
    Recorder recorder;
    OVBrushPathImage path(Size(40, 30), strokeContainer(maskImage(40, 30, Rect(0, 0, 40, 30), 0.0)));
    path.setUndoManager(undo);
    path.setDelegate(&recorder);
    EXPECT_FALSE(undo->canUndo()); // the first snapshot is not undoable

    path.addContentContainer(strokeContainer(maskImage(40, 30, Rect(0, 0, 20, 30), 1.0)));
    endTurn();
    EXPECT_EQ(undo->undoActionName(), "Draw Segment");
    const QStringList afterStroke = path.segmentImageNames();
    ASSERT_EQ(afterStroke.size(), 2);
    EXPECT_EQ(afterStroke[0].size(), 20);

    undo->undo();
    EXPECT_EQ(path.segmentImageNames(), QStringList{afterStroke[0]});
    EXPECT_NEAR(maskValue(path.contentContainer(), 5, 5), 0.0f, 1e-6);
    undo->redo();
    const QStringList afterRedo = path.segmentImageNames();
    ASSERT_EQ(afterRedo.size(), 2);
    EXPECT_EQ(afterRedo[0], afterStroke[0]);
    EXPECT_NE(afterRedo[1], afterStroke[1]); // the redone snapshot has a folder of its own
    EXPECT_NEAR(maskValue(path.contentContainer(), 5, 5), 1.0f, 1e-6);
    EXPECT_NEAR(maskValue(path.contentContainer(), 35, 5), 0.0f, 1e-6);
    EXPECT_EQ(recorder.changes, 3);
}

TEST(OVBrushPathImage, ManyStrokesWithUndoAndRedoWhileWritesRun)
{
    auto undo = std::make_shared<UndoManager>();
    undo->setGroupsByEvent(false);
    OVBrushPathImage path(Size(64, 64), strokeContainer(maskImage(64, 64, Rect(0, 0, 64, 64), 0.0)));
    path.setUndoManager(undo);
    for (int i = 1; i <= 12; ++i) {
        undo->beginUndoGrouping();
        path.addContentContainer(strokeContainer(maskImage(64, 64, Rect(0, 0, 64, 64), i / 16.0)));
        undo->endUndoGrouping();
        if (i % 3 == 0) {
            undo->undo(); // reads back a folder whose write may still be running
            EXPECT_NEAR(maskValue(path.contentContainer(), 3, 3), (i - 1) / 16.0, 1e-4) << i;
            undo->redo();
            EXPECT_NEAR(maskValue(path.contentContainer(), 3, 3), i / 16.0, 1e-4) << i;
        }
    }
    for (int i = 12; i >= 1; --i) {
        EXPECT_NEAR(maskValue(path.contentContainer(), 3, 3), i / 16.0, 1e-4) << i;
        undo->undo();
    }
    EXPECT_NEAR(maskValue(path.contentContainer(), 3, 3), 0.0, 1e-6);
    EXPECT_FALSE(undo->canUndo());
}

TEST(OVBrushPathImage, FailedWritesLeaveUndoWorkingFromMemory)
{
    QTemporaryDir area;
    FileSystem::setApplicationSupportDirectoryForTesting(area.path());
    QFile blocker(area.filePath("cache")); // a file where the folder should be: every write fails
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    LogCapture capture;
    auto undo = std::make_shared<UndoManager>();
    undo->setGroupsByEvent(false);
    OVBrushPathImage path(Size(16, 16), strokeContainer(maskImage(16, 16, Rect(0, 0, 16, 16), 0.25)));
    path.setUndoManager(undo);
    undo->beginUndoGrouping();
    path.addContentContainer(strokeContainer(maskImage(16, 16, Rect(0, 0, 16, 16), 0.75)));
    undo->endUndoGrouping();
    undo->undo();
    EXPECT_NEAR(maskValue(path.contentContainer(), 3, 3), 0.25, 1e-4);
    undo->redo();
    EXPECT_NEAR(maskValue(path.contentContainer(), 3, 3), 0.75, 1e-4);
    OVBrushPathImage::waitForPendingWrites();
    EXPECT_TRUE(capture.contains("A mask snapshot could not be written"));
    QTemporaryDir fresh;
    FileSystem::setApplicationSupportDirectoryForTesting(fresh.path());
}

TEST(OVBrushPathImage, MaskFoldersKeepTheirSizeOrFallBackToThePixels)
{
    QTemporaryDir dir;
    OVBrushPathImage path(Size(4000.25, 30), strokeContainer(maskImage(8, 6, Rect(0, 0, 4, 6), 1.0)));
    ASSERT_TRUE(path.writeToURL(dir.filePath("layer_1")));
    auto back = OVBrushPathImage::readFromFolder(dir.filePath("layer_1"));
    EXPECT_EQ(back->size(), Size(4000.25, 30));
    EXPECT_EQ(back->segmentImageNames().size(), 1); // a copy in a new snapshot folder, no undo
    EXPECT_NEAR(maskValue(back->contentContainer(), 1, 1), 1.0f, 1e-4);

    QFile::remove(dir.filePath("layer_1/content"));
    auto withoutContent = OVBrushPathImage::readFromFolder(dir.filePath("layer_1"));
    EXPECT_EQ(withoutContent->size(), Size(8, 6));

    // A failed write is reported, not hidden.
    QFile blocker(dir.filePath("blocked"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QString error;
    EXPECT_FALSE(path.writeToURL(dir.filePath("blocked/layer_1"), &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(OVBrush, ArchivesItsEightFieldsButNotSubtypeOrKernel)
{
    OVBrush::registerArchiveClass();
    auto brush = std::make_shared<OVBrush>();
    brush->type = OVBrush::Click;
    brush->brushSubType = OVBrush::Beard;
    brush->kernelName = QStringLiteral("GMAutoBrushSkinFilter");
    brush->size = 42.5;
    brush->smoothness = 0.25;
    brush->pressure = 0.75;
    brush->tolerance = 1;
    brush->fadeTolerance = 2;
    brush->coherenceTolerance = 3;
    QString error;
    const auto data = KeyedArchiver::archivedData({{"brush", QVariant::fromValue(brush)}}, &error);
    ASSERT_TRUE(data) << error.toStdString();
    const auto roots = KeyedUnarchiver::unarchive(*data, &error);
    ASSERT_TRUE(roots) << error.toStdString();
    const OVBrushPtr back = roots->value("brush").value<OVBrushPtr>();
    ASSERT_TRUE(back);
    EXPECT_EQ(back->type, OVBrush::Click);
    EXPECT_EQ(back->brushSubType, OVBrush::None);
    EXPECT_TRUE(back->kernelName.isEmpty());
    EXPECT_EQ(back->size, 42.5);
    EXPECT_EQ(back->smoothness, 0.25);
    EXPECT_EQ(back->pressure, 0.75);
    EXPECT_EQ(back->tolerance, 1);
    EXPECT_EQ(back->fadeTolerance, 2);
    EXPECT_EQ(back->coherenceTolerance, 3);
}

TEST(OVBrushPathImage, StrokesAreCompositedIntoTheirRectangleOfTheMask)
{
    auto start = strokeContainer(maskImage(20, 20, Rect(0, 0, 20, 20), 0.0));
    start->additionalImageContainer()->setImage(
        Image::constantColor(Color(0, 0, 1, 1)).imageByCroppingToRect(Rect(0, 0, 20, 20)));
    OVBrushPathImage path(Size(20, 20), start);

    // A 10 x 10 white stroke over the top-right quarter.
    path.addContentContainerWithRect(strokeContainer(maskImage(10, 10, Rect(0, 0, 10, 10), 1.0)),
                                     Rect(0.5, 0.5, 0.5, 0.5));
    const auto current = path.contentContainer();
    EXPECT_NEAR(maskValue(current, 15, 15), 1.0f, 1e-3);
    EXPECT_NEAR(maskValue(current, 5, 5), 0.0f, 1e-3);
    EXPECT_NEAR(maskValue(current, 15, 5), 0.0f, 1e-3);
    // The stroke had no additional picture: the layer's stays.
    EXPECT_FALSE(current->additionalImageContainer()->isEmpty());

    // A stroke over the whole mask at the mask's size is composited too, never pushed as it is: its
    // transparent part shows the mask below.
    auto partial = std::make_shared<OVContentContainer>();
    partial->imageContainer()->setImage(
        Image::constantColor(Color(0.5, 0.5, 0.5))
            .imageByCroppingToRect(Rect(0, 0, 10, 20))
            .imageByCompositingOverImage(
                Image::constantColor(Color(0, 0, 0, 0)).imageByCroppingToRect(Rect(0, 0, 20, 20))));
    path.addContentContainerWithRect(partial, Rect(0, 0, 1, 1));
    EXPECT_NEAR(maskValue(path.contentContainer(), 5, 5), 0.5f, 2e-3);
    EXPECT_NEAR(maskValue(path.contentContainer(), 15, 15), 1.0f, 2e-3);
    EXPECT_FALSE(path.contentContainer()->additionalImageContainer()->isEmpty());

    // The part a render channel shows, at its own pixel size.
    const auto part = path.contentContainerForRect(Rect(0.5, 0.5, 0.5, 0.5), Size(40, 40));
    EXPECT_EQ(part->imageContainer()->image().extent(), Rect(0, 0, 40, 40));
    EXPECT_NEAR(maskValue(part, 20, 20), 1.0f, 2e-3);
}

TEST(OVContentContainer, KeyedArchivesKeepTheFlushedPicturesAndFlags)
{
    OVImageContainer::registerArchiveClasses();
    auto container = strokeContainer(maskImage(12, 8, Rect(0, 0, 6, 8), 0.75));
    QString error;
    const auto data = KeyedArchiver::archivedData({{"mask", QVariant::fromValue(container)}}, &error);
    ASSERT_TRUE(data) << error.toStdString();
    const auto roots = KeyedUnarchiver::unarchive(*data, &error);
    ASSERT_TRUE(roots) << error.toStdString();
    const auto back = roots->value("mask").value<OVContentContainerPtr>();
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->imageContainer()->isMonochrome());
    EXPECT_FALSE(back->additionalImageContainer()->isMonochrome());
    EXPECT_TRUE(back->additionalImageContainer()->isEmpty());
    EXPECT_EQ(back->size(), Size(12, 8));
    EXPECT_NEAR(maskValue(back, 2, 2), 0.75f, 1e-4);
    EXPECT_NEAR(maskValue(back, 9, 2), 0.0f, 1e-4);
}

TEST(OVBrushPathImage, StrokesLandWhereTheLayerHasNoPictureOfItsSize)
{
    QTemporaryDir dir;
    // A mask folder with a description but without "imageContainer/", and one with a damaged picture.
    OVBrushPathImage(Size(20, 20), std::make_shared<OVContentContainer>()).writeToURL(dir.filePath("bare"));
    OVBrushPathImage(Size(20, 20), strokeContainer(maskImage(20, 20, Rect(0, 0, 20, 20), 0.25)))
        .writeToURL(dir.filePath("damaged"));
    QFile png(dir.filePath("damaged/imageContainer/image.png"));
    ASSERT_TRUE(png.open(QIODevice::WriteOnly));
    png.write("not a picture");
    png.close();

    auto placeholder = std::make_shared<OVContentContainer>();
    placeholder->imageContainer()->setImage(maskImage(20, 20, Rect(0, 0, 20, 20), 0.0));
    placeholder->additionalImageContainer()->setImage(
        Image::constantColor(Color(0, 0, 0, 0)).imageByCroppingToRect(Rect(0, 0, 1, 1)));

    LogCapture capture;
    const std::vector<std::pair<const char*, std::function<std::unique_ptr<OVBrushPathImage>()>>> layers{
        {"no history", [] { return std::make_unique<OVBrushPathImage>(Size(20, 20)); }},
        {"empty container",
         [] {
             return std::make_unique<OVBrushPathImage>(Size(20, 20), std::make_shared<OVContentContainer>());
         }},
        {"folder without its picture",
         [&] { return OVBrushPathImage::readFromFolder(dir.filePath("bare")); }},
        {"damaged picture", [&] { return OVBrushPathImage::readFromFolder(dir.filePath("damaged")); }},
        {"1 x 1 additional placeholder",
         [&] { return std::make_unique<OVBrushPathImage>(Size(20, 20), placeholder); }},
    };
    for (const auto& [name, make] : layers) {
        const auto path = make();
        auto stroke = strokeContainer(maskImage(10, 10, Rect(0, 0, 10, 10), 1.0));
        stroke->additionalImageContainer()->setImage(
            Image::constantColor(Color(0, 0, 1, 1)).imageByCroppingToRect(Rect(0, 0, 10, 10)));
        path->addContentContainerWithRect(stroke, Rect(0.5, 0.5, 0.5, 0.5));
        const auto current = path->contentContainer();
        EXPECT_EQ(current->size(), Size(20, 20)) << name;
        EXPECT_NEAR(maskValue(current, 15, 15), 1.0f, 1e-3) << name;
        EXPECT_NEAR(maskValue(current, 5, 5), 0.0f, 1e-3) << name;
        EXPECT_EQ(current->additionalImageContainer()->size(), Size(20, 20)) << name;
        float blue[4] = {};
        auto additional = RenderContext::shared()->render(current->additionalImageContainer()->image(),
                                                          Rect(15, 15, 1, 1), Bitmap::Format::RGBAf);
        ASSERT_TRUE(additional) << name;
        additional->pixel(0, 0, blue);
        EXPECT_NEAR(blue[2], 1.0f, 1e-3) << name;
        EXPECT_FALSE(current->additionalImageContainer()->isMonochrome()) << name;

        // A stroke that brings no mask of its own keeps the one painted so far.
        path->addContentContainerWithRect(std::make_shared<OVContentContainer>(), Rect(0, 0, 0.5, 0.5));
        EXPECT_NEAR(maskValue(path->contentContainer(), 15, 15), 1.0f, 1e-3) << name;
        EXPECT_FALSE(path->contentContainer()->additionalImageContainer()->isEmpty()) << name;
    }

    // A mask smaller than the layer is scaled up, not thrown away, before the stroke lands on it.
    OVBrushPathImage small(Size(20, 20), strokeContainer(maskImage(10, 10, Rect(0, 0, 5, 10), 1.0)));
    small.addContentContainerWithRect(strokeContainer(maskImage(4, 4, Rect(0, 0, 4, 4), 0.5)),
                                      Rect(0.8, 0.8, 0.2, 0.2));
    EXPECT_NEAR(maskValue(small.contentContainer(), 3, 10), 1.0f, 1e-3);
    EXPECT_NEAR(maskValue(small.contentContainer(), 18, 18), 0.5f, 3e-3);
    EXPECT_NEAR(maskValue(small.contentContainer(), 15, 5), 0.0f, 1e-3);
}

TEST(OVBrushPathImage, RenderAndWriteFailuresLoseNothingOnDiskOrInMemory)
{
    QTemporaryDir dir;
    const QString layer = dir.filePath("layer_1");
    const Image blue = Image::constantColor(Color(0, 0, 1, 1)).imageByCroppingToRect(Rect(0, 0, 20, 20));
    auto good = strokeContainer(maskImage(20, 20, Rect(0, 0, 10, 20), 0.5));
    good->additionalImageContainer()->setImage(blue);
    ASSERT_TRUE(OVBrushPathImage(Size(20, 20), good).writeToURL(layer));

    // A render that fails (the picture is too large to allocate) is a failed save, not an empty mask.
    LogCapture capture;
    auto undo = std::make_shared<UndoManager>();
    undo->setGroupsByEvent(false);
    OVBrushPathImage failing(Size(20, 20), strokeContainer(maskImage(20, 20, Rect(0, 0, 20, 20), 0.25)));
    failing.setUndoManager(undo);
    const Size huge(1.1e6, 1.1e6);
    undo->beginUndoGrouping();
    failing.addContentContainer(
        strokeContainer(Image::constantColor(Color(0.75, 0.75, 0.75))
                            .imageByCroppingToRect(Rect(0, 0, huge.width, huge.height))));
    undo->endUndoGrouping();
    QString error;
    EXPECT_FALSE(failing.writeToURL(layer, &error));
    EXPECT_TRUE(error.contains("could not be rendered")) << error.toStdString();
    auto onDisk = OVContentContainer::readFromFolder(layer);
    EXPECT_NEAR(maskValue(onDisk, 5, 5), 0.5f, 1e-4);
    EXPECT_FALSE(onDisk->additionalImageContainer()->isEmpty());
    EXPECT_EQ(failing.contentContainer()->size(), huge); // still the pending picture
    undo->undo();
    EXPECT_NEAR(maskValue(failing.contentContainer(), 5, 5), 0.25f, 1e-4);
    undo->redo();
    EXPECT_EQ(failing.contentContainer()->size(), huge);
    OVBrushPathImage::waitForPendingWrites();
    EXPECT_TRUE(capture.contains("Error: A mask snapshot could not be written"));

    // A write that fails half way reports it and keeps every picture in memory.
    QDir(layer + "/additionalImageContainer").removeRecursively();
    QFile blocker(layer + "/additionalImageContainer");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    auto next = strokeContainer(maskImage(20, 20, Rect(0, 0, 20, 20), 1.0));
    next->additionalImageContainer()->setImage(blue);
    OVBrushPathImage blocked(Size(20, 20), next);
    EXPECT_FALSE(blocked.writeToURL(layer, &error));
    EXPECT_NEAR(maskValue(OVContentContainer::readFromFolder(layer), 15, 5), 1.0f, 1e-4);
    EXPECT_FALSE(blocked.contentContainer()->additionalImageContainer()->isEmpty());
    EXPECT_NEAR(maskValue(blocked.contentContainer(), 15, 5), 1.0f, 1e-4);
}

TEST(OVBrushPathImage, UnreadableOrVanishedFoldersAreErrorsNeverEmptyMasks)
{
    QTemporaryDir dir;
    LogCapture capture;
    // A folder where a file should be, or one this process may not list, is an error, not an empty mask.
    ASSERT_TRUE(QDir(dir.path()).mkpath("notAFolder"));
    QFile file(dir.filePath("notAFolder/imageContainer"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    QString problem;
    EXPECT_TRUE(OVContentContainer::readFromFolder(dir.filePath("notAFolder"), &problem)
                    ->imageContainer()
                    ->isEmpty());
    EXPECT_TRUE(problem.contains("is not a folder")) << problem.toStdString();
    EXPECT_TRUE(capture.contains("Error: A mask picture cannot be read"));
    if (geteuid() != 0) { // permissions do not bind the superuser
        ASSERT_TRUE(QDir(dir.path()).mkpath("locked"));
        QFile::setPermissions(dir.filePath("locked"), QFileDevice::Permissions());
        problem.clear();
        OVContentContainer::readFromFolder(dir.filePath("locked"), &problem);
        EXPECT_TRUE(problem.contains("permission denied")) << problem.toStdString();
        QFile::setPermissions(dir.filePath("locked"),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    capture.clear();

    // The cache vanishes after the writes: undo still shows the strokes it can, and says what it cannot.
    WorkingAreaOverride area(dir.filePath("area"));
    auto undo = std::make_shared<UndoManager>();
    undo->setGroupsByEvent(false);
    OVBrushPathImage path(Size(8, 8), strokeContainer(maskImage(8, 8, Rect(0, 0, 8, 8), 0.25)));
    path.setUndoManager(undo);
    for (double value : {0.5, 0.75}) {
        undo->beginUndoGrouping();
        path.addContentContainer(strokeContainer(maskImage(8, 8, Rect(0, 0, 8, 8), value)));
        undo->endUndoGrouping();
    }
    OVBrushPathImage::waitForPendingWrites();
    ASSERT_TRUE(QDir(OVBrushPathImage::cacheFolder()).removeRecursively());
    undo->undo();
    EXPECT_NEAR(maskValue(path.contentContainer(), 3, 3), 0.5f, 1e-4);
    EXPECT_TRUE(capture.contains("Error: The mask snapshot before the current one is lost"));
    undo->undo();
    EXPECT_NEAR(maskValue(path.contentContainer(), 3, 3), 0.5f, 1e-4) << "kept, never emptied";
    EXPECT_TRUE(capture.contains("Error: Undo cannot restore the mask snapshot"));
    undo->redo();
    EXPECT_NEAR(maskValue(path.contentContainer(), 3, 3), 0.5f, 1e-4);
    OVBrushPathImage::waitForPendingWrites();
}

TEST(OVBrushPathImage, SavingOnAnotherThreadWhileStrokesArePushed)
{
    QTemporaryDir dir;
    auto undo = std::make_shared<UndoManager>();
    undo->setGroupsByEvent(false);
    OVBrushPathImage path(Size(32, 32), strokeContainer(maskImage(32, 32, Rect(0, 0, 32, 32), 0.0)));
    path.setUndoManager(undo);
    std::atomic<bool> stop{false};
    std::atomic<int> saves{0}, failures{0};
    std::thread document([&] {
        while (!stop.load() || saves.load() == 0) {
            if (!path.writeToURL(dir.filePath("package/layer_1")))
                failures++;
            saves++;
        }
    });
    for (int i = 0; i < 24; ++i) {
        undo->beginUndoGrouping();
        path.addContentContainerWithRect(strokeContainer(maskImage(4, 4, Rect(0, 0, 4, 4), 1.0)),
                                         Rect((i % 8) / 8.0, (i / 8) / 8.0, 0.125, 0.125));
        undo->endUndoGrouping();
        if (i % 5 == 4)
            undo->undo();
    }
    stop = true;
    document.join();
    EXPECT_EQ(failures.load(), 0);
    ASSERT_TRUE(path.writeToURL(dir.filePath("package/layer_1")));
    auto saved = OVBrushPathImage::readFromFolder(dir.filePath("package/layer_1"));
    for (auto [x, y] : {std::pair{1, 1}, {9, 1}, {5, 5}, {30, 30}})
        EXPECT_NEAR(maskValue(saved->contentContainer(), x, y), maskValue(path.contentContainer(), x, y),
                    1e-4);
}

TEST(OVBrushPathImage, StrokesStoredFasterThanTheirWritesAllReachEverySnapshotAfterThem)
{
    // Brush-up hands the write a recipe over the mask below, itself maybe still a recipe: every
    // snapshot on disk must hold its stroke and all before it, whatever order the writes ran in.
    QTemporaryDir dir;
    WorkingAreaOverride area(dir.filePath("area"));
    auto undo = std::make_shared<UndoManager>();
    undo->setGroupsByEvent(false);
    OVBrushPathImage path(Size(60, 10), strokeContainer(maskImage(60, 10, Rect(0, 0, 60, 10), 0.25)));
    path.setUndoManager(undo);
    constexpr int strokes = 6;
    for (int i = 0; i < strokes; ++i) {
        undo->beginUndoGrouping();
        path.addContentContainerWithRect(strokeContainer(maskImage(10, 10, Rect(0, 0, 10, 10), 1.0)),
                                         Rect(i / 6.0, 0, 1 / 6.0, 1));
        undo->endUndoGrouping();
    }
    OVBrushPathImage::waitForPendingWrites();
    const QStringList names = path.segmentImageNames();
    ASSERT_EQ(names.size(), strokes + 1);
    for (int k = 0; k <= strokes; ++k) {
        const auto onDisk = OVContentContainer::readFromFolder(OVBrushPathImage::urlForFileName(names[k]));
        for (int cell = 0; cell < strokes; ++cell)
            EXPECT_NEAR(maskValue(onDisk, cell * 10 + 5, 5), cell < k ? 1.0f : 0.25f, 1e-3)
                << "snapshot " << k << ", cell " << cell;
    }
    undo->undo();
    undo->undo();
    EXPECT_NEAR(maskValue(path.contentContainer(), 35, 5), 1.0f, 1e-3);
    EXPECT_NEAR(maskValue(path.contentContainer(), 45, 5), 0.25f, 1e-3);
    undo->redo();
    EXPECT_NEAR(maskValue(path.contentContainer(), 45, 5), 1.0f, 1e-3);
}

TEST(OVBrushPathImage, ASnapshotNoLongerNeededIsFreedOffTheInterfacesThread)
{
    // Freeing the mask of a large photo takes milliseconds: a stroke stored on the interface's thread
    // must leave that to another one, whichever holds the snapshot last.
    const std::thread::id interface = std::this_thread::get_id();
    std::atomic<int> freedHere{0}, freed{0};
    auto tracked = [&](const Image& image) {
        auto* container = new OVContentContainer();
        container->imageContainer()->setImage(image);
        return OVContentContainerPtr(container, [&, interface](OVContentContainer* c) {
            if (std::this_thread::get_id() == interface)
                ++freedHere;
            ++freed;
            delete c;
        });
    };
    {
        OVBrushPathImage path(Size(40, 30), tracked(maskImage(40, 30, Rect(0, 0, 40, 30), 0.0)));
        for (int stroke = 1; stroke <= 4; ++stroke) {
            OVBrushPathImage::waitForPendingWrites(); // every write done: the store holds the last reference
            path.addContentContainer(tracked(maskImage(40, 30, Rect(0, 0, 10 * stroke, 30), 1.0)));
        }
        OVBrushPathImage::waitForPendingWrites();
        EXPECT_EQ(freed.load(), 3); // all but the current snapshot and the one an undo brings back
        EXPECT_EQ(freedHere.load(), 0);
    }
    OVBrushPathImage::waitForPendingWrites();
}

TEST(OVBrushPathImage, OnlyTheMaskPaintedLastKeepsItsUndoSnapshotInMemory)
{
    // Painting layer after layer of a large photo must not hold two snapshots of every layer: the
    // others' undo reads their folders back, with the same pixels.
    auto undo = std::make_shared<UndoManager>();
    OVBrushPathImage first(Size(40, 30), strokeContainer(maskImage(40, 30, Rect(0, 0, 40, 30), 0.0)));
    OVBrushPathImage second(Size(40, 30), strokeContainer(maskImage(40, 30, Rect(0, 0, 40, 30), 0.0)));
    first.setUndoManager(undo);
    second.setUndoManager(undo);
    first.addContentContainer(strokeContainer(maskImage(40, 30, Rect(0, 0, 20, 30), 0.5)));
    endTurn();
    first.addContentContainer(strokeContainer(maskImage(40, 30, Rect(0, 0, 20, 30), 1.0)));
    endTurn();
    EXPECT_TRUE(first.keepsPreviousSnapshot());
    second.addContentContainer(strokeContainer(maskImage(40, 30, Rect(20, 0, 20, 30), 1.0)));
    endTurn();
    EXPECT_TRUE(second.keepsPreviousSnapshot());
    EXPECT_FALSE(first.keepsPreviousSnapshot());
    OVBrushPathImage::waitForPendingWrites();

    undo->undo(); // the second's stroke
    EXPECT_NEAR(maskValue(second.contentContainer(), 25, 5), 0.0f, 1e-6);
    undo->undo(); // the first's second stroke, read back from its folder
    EXPECT_NEAR(maskValue(first.contentContainer(), 5, 5), 0.5f, 1.0f / 65535);
    EXPECT_TRUE(first.keepsPreviousSnapshot()); // the undone mask is the one worked on now
    EXPECT_FALSE(second.keepsPreviousSnapshot());
    undo->undo();
    EXPECT_NEAR(maskValue(first.contentContainer(), 5, 5), 0.0f, 1e-6);
}

TEST(OVImageContainer, AViewOfMuchOfAPictureShowsWhatReadingItReducedShows)
{
    // A view of a whole layer reduced to a quarter (a zoom showing all of the photo): the view's
    // pixels, made from memory, against the picture read reduced, stroke pending or stored.
    const Rect frame(0, 0, 400, 300), spot(120, 80, 36, 28);
    const AffineTransform quarter = AffineTransform::scale(0.25, 0.25);
    const Rect crop(0, 0, 100, 75);
    const auto storedMask = [&] {
        auto mask = std::make_shared<OVImageContainer>(maskImage(400, 300, Rect(0, 0, 200, 300), 0.5));
        EXPECT_TRUE(mask->flush());
        return mask;
    };
    const auto storedPart = [&] {
        auto part = std::make_shared<OVImageContainer>(
            framedImage(Image::constantColor(Color(1, 0.5, 0, 0.5)), Rect(240, 40, 60, 44), frame), false);
        EXPECT_TRUE(part->flush());
        return part;
    };
    const auto pendingOver = [&](const OVImageContainerPtr& base, const Color& colour) {
        auto placed = std::make_shared<OVImageContainer>(Image(), base->isMonochrome());
        placed->setImageOverStored(
            framedImage(Image::constantColor(colour), spot, frame).imageByCompositingOverImage(base->image()),
            base, spot.insetBy(-2, -2));
        return placed;
    };
    const struct
    {
        const char* name;
        std::function<OVImageContainerPtr()> make;
    } cases[] = {
        {"a stored mask", storedMask},
        {"a stored colour part of its frame", storedPart},
        {"a stroke pending over a stored mask", [&] { return pendingOver(storedMask(), Color(1, 1, 1)); }},
        {"a spot pending over a stored part",
         [&] { return pendingOver(storedPart(), Color(0, 0, 1, 0.75)); }},
        {"a first spot pending, nothing stored below",
         [&] {
             auto first = std::make_shared<OVImageContainer>(Image(), false);
             first->setImage(framedImage(Image::constantColor(Color(0, 0.5, 1, 0.75)), spot, frame));
             return first;
         }},
        {"a blank mask",
         [&] {
             auto blank = std::make_shared<OVImageContainer>();
             blank->setBlank(frame.size);
             return blank;
         }},
    };
    RenderContext& context = *RenderContext::shared();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const OVImageContainerPtr container = c.make();
        // Passes drawn by the rasterizer (the count includes the CPU's).
        const auto drawn = [] { return RenderStatistics::passes() - RenderStatistics::cpuPasses(); };
        const uint64_t passes = drawn();
        const Image viewed = container->viewedImage(quarter, crop, context);
        const auto ours = context.render(viewed, crop, Bitmap::Format::RGBAf);
        EXPECT_EQ(drawn(), passes) << "made from memory, without passes";
        const auto reduced =
            context.render(container->image().imageByApplyingTransform(quarter).imageByCroppingToRect(crop),
                           crop, Bitmap::Format::RGBAf);
        ASSERT_TRUE(ours && reduced);
        EXPECT_EQ(viewed.extent(), crop);
        float largest = 0;
        for (int y = 0; y < ours->height(); ++y)
            for (int x = 0; x < ours->width(); ++x) {
                float a[4], b[4];
                ours->pixel(x, y, a);
                reduced->pixel(x, y, b);
                for (int k = 0; k < 4; ++k)
                    largest = std::max(largest, std::abs(a[k] - b[k]));
            }
        EXPECT_LE(largest, 1.0f / 255);
    }
}

TEST(OVBrushPathImage, MasksReadOnOpeningThreadsLeaveThePaintedMasksUndoSnapshotAlone)
{
    // Documents read their masks on threads of their own while the interface paints another one: a
    // mask read is no mask painted, and takes nothing from the one that was.
    QTemporaryDir dir;
    WorkingAreaOverride area(dir.filePath("area"));
    auto undo = std::make_shared<UndoManager>();
    OVBrushPathImage painted(Size(40, 30), strokeContainer(maskImage(40, 30, Rect(0, 0, 40, 30), 0.0)));
    painted.setUndoManager(undo);
    painted.addContentContainer(strokeContainer(maskImage(40, 30, Rect(0, 0, 20, 30), 1.0)));
    ASSERT_TRUE(painted.writeToURL(dir.filePath("stored")));
    ASSERT_TRUE(painted.keepsPreviousSnapshot());
    std::vector<std::thread> openings;
    for (int opening = 0; opening < 2; ++opening)
        openings.emplace_back([&] {
            for (int read = 0; read < 8; ++read)
                EXPECT_TRUE(OVBrushPathImage::readFromFolder(dir.filePath("stored")));
        });
    for (std::thread& opening : openings)
        opening.join();
    EXPECT_TRUE(painted.keepsPreviousSnapshot());
    OVBrushPathImage::waitForPendingWrites();
}
