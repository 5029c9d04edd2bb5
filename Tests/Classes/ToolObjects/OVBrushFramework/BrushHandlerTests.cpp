#include "BrushTestSupport.h"

#include "Classes/ToolObjects/OVBrushFramework/GMBrushHandler.h"
#include "Classes/ToolObjects/OVBrushFramework/OVBrushPathImage.h"
#include "Classes/ToolObjects/OVBrushFramework/OVMaskBrush.h"

#include <gtest/gtest.h>

using namespace pf;
using namespace brushtest;

namespace {

// An additional brush with the capabilities it is given, recording what the handler tells it.
class FakeAdditionalBrush : public OVAdditionalBrushProtocol
{
public:
    FakeAdditionalBrush(bool dirty, bool forMask, bool preview)
        : dirty(dirty), forMask(forMask), preview(preview)
    {}
    void brushDownAtPoint(const OVBrush&, const Point&) override { ++downs; }
    void processPoint(const Point& p) override { processPoints({p}); }
    void processPoints(const std::vector<Point>& points) override
    {
        steps += int(points.size());
        lastPoints = points;
        masksBeforeSteps += mask.isNull() ? 0 : 1;
    }
    void brushUp() override { ++brushUps; }
    Image image() const override { return picture; }
    Image startImage() const override { return start; }
    void setStartImage(const Image& i) override { start = i; }
    Image backgroundImage() const override { return background; }
    void setBackgroundImage(const Image& i) override { background = i; }
    double brushSize() const override { return 0; }
    void setBrushSize(double) override {}
    bool hasDirtyRect() const override { return dirty; }
    Rect dirtyRect() const override { return Rect(5, 6, 7, 8); }
    Image maskImage() const override { return mask; }
    void setMaskImage(const Image& i) override { mask = i; }
    Image startMaskImage() const override { return startMask; }
    void setStartMaskImage(const Image& i) override { startMask = i; }
    double faceWidth() const override { return face; }
    void setFaceWidth(double w) override { face = w; }
    bool hasImageForMask() const override { return forMask; }
    Image imageForMask(const Image& m) override
    {
        maskForImage = m;
        return greyMask(m.extent().width(), m.extent().height(), 0.9);
    }
    bool hasPreviewQuality() const override { return preview; }
    bool previewQuality() const override { return previewOn; }
    void setPreviewQuality(bool on) override { previewOn = on; }

    bool dirty, forMask, preview, previewOn = false;
    Image picture = Image::constantColor(Color(0.2, 0.4, 0.6)).imageByCroppingToRect(Rect(0, 0, 100, 80));
    Image start, background, mask, startMask, maskForImage;
    double face = 0;
    int downs = 0, steps = 0, masksBeforeSteps = 0, brushUps = 0;
    std::vector<Point> lastPoints;
};

OVBrush makeBrush(qint32 type, qint32 subType)
{
    OVBrush brush;
    brush.type = type;
    brush.brushSubType = subType;
    brush.size = 16;
    brush.pressure = 1.0;
    return brush;
}

// Fakes for both additional brushes while a test runs; the last one made is kept.
struct Registered
{
    Registered()
    {
        // These cases are about the additional brushes: a click selects nothing of the grey photo and
        // is still a stroke, whichever click brush a test run before registered (the iris click finds
        // no iris there, and such a click is no step).
        OVMaskBrush::setClickBrushFactory(nullptr);
        for (const qint32 subType : {qint32(OVBrush::IrisReplacement), qint32(OVBrush::Healing)}) {
            // The replacement brush reports its rectangle and makes its picture for the mask; the healing
            // brush has neither but a preview mode.
            const bool replacement = subType == OVBrush::IrisReplacement;
            GMBrushHandler::setAdditionalBrushFactory(subType, [this, replacement] {
                last = std::make_shared<FakeAdditionalBrush>(replacement, replacement, !replacement);
                return last;
            });
        }
    }
    ~Registered()
    {
        GMBrushHandler::setAdditionalBrushFactory(OVBrush::IrisReplacement, nullptr);
        GMBrushHandler::setAdditionalBrushFactory(OVBrush::Healing, nullptr);
        OVMaskBrush::setClickBrushFactory(clickBrush);
    }
    OVMaskBrushFactory clickBrush = OVMaskBrush::clickBrushFactory();
    std::shared_ptr<FakeAdditionalBrush> last;
};

GMBrushHandler& prepared(GMBrushHandler& handler, double startValue = 0.25)
{
    handler.setBackgroundImage(greyMask(100, 80, 0.5));
    handler.setStartMaskImage(greyMask(100, 80, startValue));
    handler.setStartAdditionalImage(greyMask(100, 80, 0));
    return handler;
}

} // namespace

TEST(GMBrushHandler, AdditionalBrushTableAndWhatEachBrushReports)
{
    struct Case
    {
        qint32 type, subType;
        bool additional, additionalDirty, preview;
    };
    const std::vector<Case> cases = {
        {OVBrush::Draw, OVBrush::None, false, false, false},
        {OVBrush::Draw, OVBrush::IrisReplacement, false, false, false}, // replacement only with a click
        {OVBrush::Draw, OVBrush::Healing, true, false, true},
        {OVBrush::Eraser, OVBrush::Healing, true, false, true},
        {OVBrush::Click, OVBrush::Healing, true, false, true},
    };
    Registered fakes;
    for (const Case& c : cases) {
        SCOPED_TRACE(QStringLiteral("type %1 subtype %2").arg(c.type).arg(c.subType).toStdString());
        fakes.last.reset();
        GMBrushHandler handler;
        prepared(handler).setScaleFactor(2.0);
        handler.brushDownAtPoint(makeBrush(c.type, c.subType), Point(0.5, 0.5), 123);
        handler.processPoints({Point(0.5, 0.5), Point(0.6, 0.5)});
        ASSERT_EQ(bool(handler.additionalBrush()), c.additional);
        EXPECT_EQ(handler.usesPreview(), c.preview);
        const Rect maskDirty = handler.maskBrush()->dirtyRect();
        EXPECT_EQ(handler.dirtyRect(), c.additionalDirty ? Rect(5, 6, 7, 8) : maskDirty);
        if (c.additional) {
            EXPECT_EQ(fakes.last->face, 123);
            EXPECT_EQ(fakes.last->steps, 2);
            EXPECT_EQ(fakes.last->masksBeforeSteps, 1);
            EXPECT_TRUE(fakes.last->previewOn);
        }
        const OVContentContainerPtr container = handler.brushUp();
        ASSERT_TRUE(container);
        EXPECT_TRUE(container->imageContainer()->isMonochrome());
        EXPECT_EQ(!container->additionalImageContainer()->isEmpty(), c.additional);
        if (c.additional) {
            EXPECT_FALSE(fakes.last->previewOn); // the final picture at full quality
            EXPECT_EQ(fakes.last->brushUps, 1);
        }
    }
}

// A point from a damaged record or a device far outside the canvas (1e300) is held a canvas's size
// beyond its edge, for the mask brush and the additional brush alike: the rectangles the step reports
// stay about the canvas's size instead of 1e302 pixels wide.
TEST(GMBrushHandler, FarPointsAreHeldNearTheCanvas)
{
    Registered fakes;
    for (const qint32 subType : {qint32(OVBrush::None), qint32(OVBrush::Healing)}) {
        SCOPED_TRACE(subType);
        GMBrushHandler handler;
        prepared(handler);
        handler.brushDownAtPoint(makeBrush(OVBrush::Draw, subType), Point(0.5, 0.5), 0);
        handler.processPoints({Point(0.5, 0.5), Point(1e300, -1e300)});
        const Rect dirty = handler.maskBrush()->dirtyRect();
        EXPECT_TRUE(Rect(-100 - 58, -80 - 58, 300 + 116, 240 + 116).contains(dirty))
            << dirty.minX() << "," << dirty.minY() << " " << dirty.width() << " x " << dirty.height();
        if (subType == OVBrush::Healing) {
            ASSERT_EQ(fakes.last->lastPoints.size(), 2u);
            EXPECT_EQ(fakes.last->lastPoints.back(), Point(2, -1));
        }
        handler.brushUp();
    }
}

TEST(GMBrushHandler, ReplacementClickReportsItsOwnRectangleAndPicturesAtThePhotosResolution)
{
    Registered fakes;
    GMBrushHandler handler;
    prepared(handler).setScaleFactor(2.0);
    handler.brushDownAtPoint(makeBrush(OVBrush::Click, OVBrush::IrisReplacement), Point(0.5, 0.5), 80);
    handler.processPoint(Point(0.5, 0.5));
    ASSERT_TRUE(fakes.last);
    EXPECT_EQ(handler.dirtyRect(), Rect(5, 6, 7, 8));
    EXPECT_FALSE(handler.usesPreview());
    const OVContentContainerPtr container = handler.brushUp();
    ASSERT_TRUE(container);
    EXPECT_EQ(fakes.last->maskForImage.extent(), Rect(0, 0, 200, 160)); // the stroke mask, scaled by 2
    EXPECT_FALSE(container->additionalImageContainer()->isMonochrome());
    EXPECT_EQ(container->additionalImageContainer()->size(), Size(200, 160));
    // The replacement picture is rasterised and carried into the next stroke.
    EXPECT_EQ(handler.startAdditionalImage(), handler.additionalImage());
    EXPECT_NEAR(render(handler.startAdditionalImage(), Rect(10, 10, 1, 1)).at(10, 10)[2], 0.6f, 1.0f / 255);

    // Every stroke gets a brush of its own.
    const std::shared_ptr<FakeAdditionalBrush> first = fakes.last;
    handler.brushDownAtPoint(makeBrush(OVBrush::Click, OVBrush::IrisReplacement), Point(0.4, 0.5), 80);
    EXPECT_NE(fakes.last, first);
    EXPECT_EQ(handler.additionalBrush(), fakes.last);
    EXPECT_EQ(fakes.last->start, handler.startAdditionalImage());
}

TEST(GMBrushHandler, WithoutImageForMaskTheAdditionalPictureIsCutToTheStroke)
{
    GMBrushHandler::setAdditionalBrushFactory(
        OVBrush::Healing, [] { return std::make_shared<FakeAdditionalBrush>(false, false, false); });
    GMBrushHandler handler;
    prepared(handler);
    OVBrush brush = makeBrush(OVBrush::Draw, OVBrush::Healing);
    handler.brushDownAtPoint(brush, Point(0.2, 0.5), 50);
    handler.processPoint(Point(0.2, 0.5)); // a dot of radius 8 at (20, 40)
    const OVContentContainerPtr container = handler.brushUp();
    GMBrushHandler::setAdditionalBrushFactory(OVBrush::Healing, nullptr);
    ASSERT_TRUE(container);
    const Image cut = container->additionalImageContainer()->image();
    EXPECT_EQ(cut.extent(), Rect(0, 0, 100, 80));
    EXPECT_NEAR(render(cut, Rect(20, 40, 1, 1)).at(20, 40)[1], 0.4f, 1.0f / 255);
    EXPECT_EQ(render(cut, Rect(60, 40, 1, 1)).at(60, 40)[3], 0.0f);
}

TEST(GMBrushHandler, CachesPerStepAndChainsStrokes)
{
    GMBrushHandler handler;
    prepared(handler, 0.0);
    handler.brushDownAtPoint(makeBrush(OVBrush::Draw, OVBrush::None), Point(0.2, 0.5), 0);
    handler.processPoint(Point(0.2, 0.5));
    const Image first = handler.maskImage();
    EXPECT_EQ(handler.maskImage(), first); // the same image object until the next point
    handler.processPoint(Point(0.3, 0.5));
    EXPECT_NE(handler.maskImage(), first);
    ASSERT_TRUE(handler.brushUp());
    const Image integrated = handler.startMaskImage();
    EXPECT_EQ(handler.maskImage(), integrated);

    // Without reset the next stroke starts where this one ended.
    handler.brushDownAtPoint(makeBrush(OVBrush::Draw, OVBrush::None), Point(0.8, 0.5), 0);
    EXPECT_EQ(handler.maskBrush()->startImage(), integrated);
    handler.processPoint(Point(0.8, 0.5));
    const Image both = handler.maskImage();
    EXPECT_NEAR(render(both, Rect(20, 40, 1, 1)).at(20, 40)[1], 1.0f, 1e-6);
    EXPECT_NEAR(render(both, Rect(80, 40, 1, 1)).at(80, 40)[1], 1.0f, 1e-6);
    handler.brushUp();

    handler.reset();
    EXPECT_TRUE(handler.startMaskImage().isNull());
    EXPECT_TRUE(handler.maskImage().isNull());
}

// The whole path of a stroke into the mask store: the stored mask becomes what the live view showed,
// for a draw and then an erase; a stray brush-up stores nothing.
TEST(GMBrushHandler, StrokesReachTheMaskStoreAsPaintedAndStrayBrushUpsDoNothing)
{
    auto start = std::make_shared<OVContentContainer>();
    start->imageContainer()->setImage(greyMask(100, 80, 0.4));
    OVBrushPathImage store(Size(100, 80), start);
    GMBrushHandler handler;
    handler.setBackgroundImage(greyMask(100, 80, 0.5));

    for (const qint32 type : {qint32(OVBrush::Draw), qint32(OVBrush::Eraser)}) {
        SCOPED_TRACE(type);
        handler.setStartMaskImage(store.contentContainer()->imageContainer()->image());
        OVBrush brush = makeBrush(type, OVBrush::None);
        brush.pressure = 0.6;
        brush.smoothness = 0.5;
        handler.brushDownAtPoint(brush, Point(0.3, 0.5), 0);
        handler.processPoints({Point(0.3, 0.5), Point(0.6, 0.45)});
        const OVContentContainerPtr stroke = handler.brushUp();
        ASSERT_TRUE(stroke);
        store.addContentContainerWithRect(stroke, Rect(0, 0, 1, 1));
        const Pixels live = render(handler.startMaskImage(), Rect(0, 0, 100, 80));
        const Pixels stored =
            render(store.contentContainer()->imageContainer()->image(), Rect(0, 0, 100, 80));
        float worst = 0;
        for (int y = 0; y < 80; ++y)
            for (int x = 0; x < 100; ++x)
                worst = std::max(worst, std::abs(live.at(x, y)[1] - stored.at(x, y)[0]));
        EXPECT_LT(worst, 1.5f / 255);
    }

    const QStringList names = store.segmentImageNames();
    const OVContentContainerPtr last = handler.imageContainer();
    const Image mask = handler.startMaskImage();
    EXPECT_FALSE(handler.brushUp());
    EXPECT_EQ(handler.imageContainer(), last);
    EXPECT_EQ(handler.startMaskImage(), mask);
    EXPECT_EQ(store.segmentImageNames(), names);
}
