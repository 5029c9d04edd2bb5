#include "RenderingTestSupport.h"

#include "Classes/ToolObjects/OVBrushFramework/OVAdditionalBrushProtocol.h"
#include "Classes/ToolObjects/OVRenderCache.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/ImageNode.h"
#include "Platform/Image/RenderContext.h"

#include <QScopeGuard>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

using namespace renderingtest;
using pf::Point;
using pf::Rect;
using pf::Size;

namespace {

const QString Standard = QStringLiteral("standard");

// A gate that background work waits at, shut until the test releases it or 20 seconds pass.
class HeldGate
{
public:
    // What the work calls at the gate.
    std::function<void()> waiter()
    {
        return [this] {
            std::unique_lock lock(m_mutex);
            ++m_held;
            m_changed.notify_all();
            if (!m_changed.wait_for(lock, std::chrono::seconds(20), [&] { return m_open; }))
                m_timedOut = true;
        };
    }
    // Whether some work came to the gate within 20 seconds.
    bool waitUntilHeld()
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(20), [&] { return m_held > 0; });
    }
    void release()
    {
        {
            std::lock_guard lock(m_mutex);
            m_open = true;
        }
        m_changed.notify_all();
    }
    bool releasedOrTimedOut()
    {
        std::lock_guard lock(m_mutex);
        return m_open || m_timedOut;
    }
    bool timedOut()
    {
        std::lock_guard lock(m_mutex);
        return m_timedOut;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false, m_timedOut = false;
    int m_held = 0;
};

// A healing-like additional brush: a preview while the stroke runs, its own picture for the final mask.
class FakeHealingBrush : public OVAdditionalBrushProtocol
{
public:
    void brushDownAtPoint(const OVBrush&, const Point&) override {}
    void processPoint(const Point&) override {}
    void processPoints(const std::vector<Point>&) override {}
    void brushUp() override {}
    pf::Image image() const override { return m_start; }
    pf::Image startImage() const override { return m_start; }
    void setStartImage(const pf::Image& image) override { m_start = image; }
    pf::Image backgroundImage() const override { return {}; }
    void setBackgroundImage(const pf::Image&) override {}
    double brushSize() const override { return 0; }
    void setBrushSize(double) override {}
    bool hasDirtyRect() const override { return false; }
    pf::Image maskImage() const override { return {}; }
    void setMaskImage(const pf::Image&) override {}
    pf::Image startMaskImage() const override { return {}; }
    void setStartMaskImage(const pf::Image&) override {}
    double faceWidth() const override { return 0; }
    void setFaceWidth(double) override {}
    bool hasImageForMask() const override { return true; }
    pf::Image imageForMask(const pf::Image& mask) override
    {
        return pf::Image::constantColor(pf::Color(0, 1, 0)).imageByCroppingToRect(mask.extent());
    }
    bool hasPreviewQuality() const override { return true; }

private:
    pf::Image m_start;
};

} // namespace

TEST(GMZoomRenderer, TheInvalidatedRectangleIsAtLeast256SquareAndInsideTheLayer)
{
    const struct
    {
        Rect dirty;
        Size layer;
        Rect expected;
    } cases[] = {
        {Rect(10, 10, 40, 40), Size(500, 400), Rect(10, 10, 256, 256)},
        {Rect(480, 390, 30, 30), Size(500, 400), Rect(244, 144, 256, 256)},
        {Rect(50, 60, 10, 10), Size(200, 200), Rect(0, 0, 256, 256)},
        {Rect(150, 150, 300, 20), Size(200, 200), Rect(0, 0, 300, 256)},
        {Rect(-20, 30, 400, 300), Size(1000, 800), Rect(0, 30, 400, 300)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GMZoomRenderer::invalidationRect(c.dirty, c.layer), c.expected)
            << c.expected.minX() << "," << c.expected.minY();
}

TEST_F(RenderingTest, RequestsAreCoalescedAndOnlyTheNewestPictureIsReported)
{
    // Two requests in a row: one composition, one report.
    auto gate = holdQueue();
    renderer->activateChannel(Standard, Rect(0, 0, 1, 1));
    renderer->updateActiveChannels();
    EXPECT_EQ(zoom().waitingCompositions(), 1);
    gate->count_down();
    settle();
    EXPECT_EQ(zoom().compositionCount(), 1u);
    EXPECT_EQ(window.told, QStringList{QStringLiteral("visible standard")});

    // A picture overtaken while it was composed is still shown (it is the newest there is), but only
    // the newest request's picture is reported.
    renderer->updateActiveChannels();
    renderer->renderQueue()->waitUntilEmpty();
    gate = holdQueue();
    renderer->updateActiveChannels();
    const qint64 before = standard->contents().cacheKey();
    QCoreApplication::processEvents();
    EXPECT_NE(standard->contents().cacheKey(), before);
    EXPECT_FALSE(zoom().isBlocked());
    gate->count_down();
    settle();
    EXPECT_EQ(zoom().compositionCount(), 3u);
    EXPECT_EQ(window.told.size(), 2);

    // Requests made while the queue is busy: one composition waits, and it composes the newest.
    gate = holdQueue();
    for (int i = 0; i < 5; ++i)
        renderer->updateActiveChannels();
    EXPECT_EQ(zoom().waitingCompositions(), 1);
    gate->count_down();
    settle();
    EXPECT_EQ(zoom().compositionCount(), 4u);
    EXPECT_EQ(window.told.size(), 3);
}

TEST_F(RenderingTest, ADeactivatedChannelStaysEmpty)
{
    renderer->activateChannel(Standard, Rect(0, 0, 1, 1));
    settle();
    ASSERT_FALSE(standard->contents().isNull());
    window.told.clear();

    // Deactivated while its composition waits on the queue, and while its picture is on its way.
    auto gate = holdQueue();
    renderer->activateChannel(Standard, Rect(0, 0, 0.5, 0.5));
    renderer->deactivateRenderChannel(Standard);
    EXPECT_TRUE(standard->contents().isNull());
    gate->count_down();
    settle();
    renderer->activateChannel(Standard, Rect(0, 0, 1, 1));
    renderer->renderQueue()->waitUntilEmpty();
    EXPECT_TRUE(zoom().isBlocked()) << "a composition waits for display";
    renderer->deactivateRenderChannel(Standard);
    settle();
    EXPECT_TRUE(standard->contents().isNull());
    EXPECT_FALSE(zoom().isBlocked()) << "a picture that is not shown still lets points through";
    EXPECT_TRUE(window.told.isEmpty());
    EXPECT_TRUE(renderer->activeChannels().isEmpty());
}

TEST_F(RenderingTest, WithoutAPictureTheLayerIsEmptiedAndNothingIsReported)
{
    // Nothing prepared and nothing composed: a redraw draws nothing.
    standard->setNeedsDisplay();
    standard->displayIfNeeded();
    EXPECT_EQ(standard->contents().pixel(80, 60), 0u);

    renderer->activateChannel(Standard, Rect(0, 0, 1, 1));
    settle();
    ASSERT_EQ(window.told.size(), 1);
    // A rectangle of no size composes no picture.
    renderer->activateChannel(Standard, Rect(0, 0, 0, 0));
    settle();
    EXPECT_TRUE(standard->contents().isNull());
    EXPECT_EQ(window.told.size(), 1);
}

TEST_F(RenderingTest, PointsArrivingBeforeTheStepIsDrawnAreDropped)
{
    renderer->activateChannel(Standard, Rect(0, 0, 1, 1));
    settle();
    renderer->brushDownAtPoint(drawBrush(), Point(0.2, 0.5), Standard);
    EXPECT_TRUE(zoom().isBlocked());
    renderer->processPoint(Point(0.4, 0.5)); // dropped: the dot is not drawn yet
    EXPECT_EQ(zoom().droppedPoints(), 1);
    frame();
    EXPECT_FALSE(zoom().isBlocked());
    renderer->processPoint(Point(0.6, 0.5));
    renderer->processPoint(Point(0.8, 0.5));   // dropped
    renderer->brushUpAtPoint(Point(0.8, 0.5)); // never dropped
    settle();

    EXPECT_EQ(zoom().droppedPoints(), 2);
    ASSERT_EQ(window.strokes.size(), 1u);
    // The stroke ends at the last accepted point (x = 0.6 of 160 pixels), and it starts at the dot.
    const pf::Image mask = chain->brushPathImageAtIndex(2)->contentContainer()->imageContainer()->image();
    const pf::Image stroke = window.strokes[0].container->imageContainer()->image();
    ASSERT_FALSE(mask.isNull());
    ASSERT_FALSE(stroke.isNull());
    auto value = [&](double x) { return pixelAt(stroke, Point(x * 160, 60))[1]; };
    EXPECT_GT(value(0.2), 0.9);
    EXPECT_GT(value(0.5), 0.9);
    EXPECT_LT(value(0.7), 0.1);
}

TEST_F(RenderingTest, ARequestDuringAStrokeWaitsForTheStrokeToBeStored)
{
    GMBrushHandler::setAdditionalBrushFactory(OVBrush::Healing,
                                              [] { return std::make_shared<FakeHealingBrush>(); });
    renderer->activateChannel(Standard, Rect(0, 0, 1, 1));
    settle();
    OVBrush healing = drawBrush();
    healing.brushSubType = OVBrush::Healing;
    renderer->brushDownAtPoint(healing, Point(0.5, 0.5), Standard);
    frame();
    const quint64 before = zoom().currentRenderNo();
    chain->setSettingsForToolAtIndex({{QStringLiteral("intensity"), 0.2}}, 2); // asks for a composition
    EXPECT_EQ(zoom().currentRenderNo(), before);
    EXPECT_TRUE(zoom().isPrepared());
    EXPECT_TRUE(zoom().brushHandler().additionalBrush());
    renderer->processPoint(Point(0.6, 0.5));
    frame();
    // Storing the stroke asks again (ignored during the hand-over); the settings' request runs after it.
    renderer->brushUpAtPoint(Point(0.6, 0.5));
    EXPECT_EQ(zoom().currentRenderNo(), before + 1);
    EXPECT_FALSE(zoom().isPrepared());
    settle();
    GMBrushHandler::setAdditionalBrushFactory(OVBrush::Healing, nullptr);

    ASSERT_EQ(window.strokes.size(), 1u);
    const OVContentContainerPtr stroke = window.strokes[0].container;
    ASSERT_TRUE(stroke->additionalImageContainer());
    EXPECT_FALSE(stroke->additionalImageContainer()->image().isNull());
    EXPECT_FALSE(
        chain->brushPathImageAtIndex(2)->contentContainer()->additionalImageContainer()->image().isNull());
    EXPECT_EQ(window.told.count(QStringLiteral("visible standard")), 2);
}

TEST_F(RenderingTest, AStrokeGoesToTheLayerItWasBegunOn)
{
    renderer->activateChannel(Standard, Rect(0, 0, 1, 1));
    settle();
    renderer->brushDownAtPoint(drawBrush(), Point(0.5, 0.5), Standard);
    frame();
    chain->setSelectionIndex(1);
    renderer->brushUpAtPoint(Point(0.5, 0.5));
    ASSERT_EQ(window.strokes.size(), 1u);
    EXPECT_EQ(window.strokes[0].target, chain->brushPathImageAtIndex(2));

    // The next stroke is prepared for the layer selected now.
    renderer->brushDownAtPoint(drawBrush(), Point(0.5, 0.5), Standard);
    frame();
    renderer->brushUpAtPoint(Point(0.5, 0.5));
    ASSERT_EQ(window.strokes.size(), 2u);
    EXPECT_EQ(window.strokes[1].target, chain->brushPathImageAtIndex(1));
}

TEST_F(RenderingTest, APictureThatLandsDuringAStrokeKeepsTheStrokeOnScreen)
{
    renderer->activateChannel(Standard, Rect(0, 0, 1, 1));
    settle();
    // Asked for before the stroke, composed without it, arriving in the middle of it.
    auto gate = holdQueue();
    renderer->updateActiveChannels();
    renderer->brushDownAtPoint(drawBrush(20), Point(0.25, 0.5), Standard);
    frame();
    renderer->processPoint(Point(0.5, 0.5));
    frame();
    gate->count_down();
    settle();
    frame();
    const QImage shown = standard->contents();
    const QColor painted = shown.pixelColor(60, 60), untouched = shown.pixelColor(60, 110);
    EXPECT_GT(painted.red() - untouched.red(), 80) << "the tint where the stroke went";
    EXPECT_LE(zoom().lastLiveArea(), 256.0 * 120.0) << "only the stroke is drawn live";
    renderer->brushUpAtPoint(Point(0.5, 0.5));
}

TEST_F(RenderingTest, StrokesInARowStartFromPixelsOfTheMaskPaintedSoFar)
{
    // Without a request between them (the delegate's storing asks for none), each stroke starts from
    // the last one's mask: as pixels, or every step of a later stroke would recompute every earlier one.
    renderer->activateChannel(Standard, Rect(0, 0, 1, 1));
    settle();
    const double rows[] = {0.3, 0.5, 0.7};
    for (const double y : rows) {
        drawStroke(10, Point(0.2, y), Point(0.8, y));
        const pf::Image start = zoom().brushHandler().startMaskImage();
        ASSERT_FALSE(start.isNull());
        EXPECT_EQ(start.node()->kind, pf::ImageNode::Kind::Bitmap) << y;
        // Only the stroke's part is rendered anew; the pixels are the whole mask's all the same.
        auto& context = *pf::RenderContext::shared();
        const auto kept = context.render(start, Rect(0, 0, 160, 120));
        const auto whole = context.render(zoom().brushHandler().maskImage(), Rect(0, 0, 160, 120));
        ASSERT_TRUE(kept && whole) << y;
        EXPECT_EQ(0, std::memcmp(kept->data(), whole->data(), whole->byteCount())) << y;
    }
    EXPECT_TRUE(zoom().isPrepared());
    // Every stroke is still in the mask the next one would start from.
    const pf::Image start = zoom().brushHandler().startMaskImage();
    for (const double y : rows) {
        EXPECT_GT(pixelAt(start, Point(0.5 * 160, y * 120))[1], 0.9) << y;
        EXPECT_LT(pixelAt(start, Point(0.5 * 160, (y + 0.1) * 120))[1], 0.1) << y;
    }
    settle();
    EXPECT_EQ(window.strokes.size(), 3u);
}

TEST_F(RenderingTest, EveryStepRendersAtMostItsInvalidatedSquareTheFirstIncluded)
{
    // Painting begun outside live editing: the channel is activated at brush-down, and its first
    // picture is still on the queue when the first steps are drawn. The view's own picture shows
    // below the channel meanwhile, so a step renders its square only.
    auto large = pf::Layer::create();
    large->setFrame(Rect(0, 0, 1024, 683));
    renderer->setLayerForRenderChannel(large, Standard);
    constexpr double MostPerStep = 256.0 * 256.0;
    std::vector<double> areas;
    auto gate = holdQueue();
    renderer->activateChannel(Standard, Rect(0, 0, 1, 1));
    renderer->brushDownAtPoint(drawBrush(12), Point(0.2, 0.5), Standard);
    large->displayIfNeeded();
    areas.push_back(zoom().lastLiveArea());
    for (int i = 1; i <= 3; ++i) {
        renderer->processPoint(Point(0.2 + 0.05 * i, 0.5));
        large->displayIfNeeded();
        areas.push_back(zoom().lastLiveArea());
    }
    gate->count_down();
    settle();
    ASSERT_FALSE(large->contents().isNull()) << "the channel's picture arrived";
    for (int i = 1; i <= 3; ++i) {
        renderer->processPoint(Point(0.35 + 0.05 * i, 0.5));
        large->displayIfNeeded();
        areas.push_back(zoom().lastLiveArea());
    }
    renderer->brushUpAtPoint(Point(0.5, 0.5));
    settle();
    ASSERT_EQ(areas.size(), 7u);
    for (size_t i = 0; i < areas.size(); ++i) {
        EXPECT_GT(areas[i], 0) << "step " << i;
        EXPECT_LE(areas[i], MostPerStep) << "step " << i;
    }
    EXPECT_EQ(window.strokes.size(), 1u);
}

TEST_F(RenderingTest, ABrushDownNeverWaitsForTheLastStrokesSnapshotToBeWritten)
{
    // The snapshot write of a stroke is held open; a new stroke, prepared afresh after a composition,
    // starts and shows its first step while it is.
    HeldGate gate;
    OVBrushPathImage::setWriteGateForTesting(gate.waiter());
    // Whatever happens below, the writes go on and the gate goes before its state does.
    const auto cleanup = qScopeGuard([&] {
        gate.release();
        OVBrushPathImage::waitForPendingWrites();
        OVBrushPathImage::setWriteGateForTesting(nullptr);
    });
    renderer->activateChannel(Standard, Rect(0, 0, 1, 1));
    settle();
    drawStroke(12, Point(0.2, 0.3), Point(0.8, 0.3));
    ASSERT_TRUE(gate.waitUntilHeld());
    settle();
    // Painting again from outside live editing: the channel is shown afresh and prepares again.
    renderer->deactivateRenderChannel(Standard);
    renderer->activateChannel(Standard, Rect(0, 0, 1, 1));
    EXPECT_FALSE(zoom().isPrepared());
    renderer->brushDownAtPoint(drawBrush(12), Point(0.2, 0.7), Standard);
    frame();
    renderer->processPoint(Point(0.8, 0.7));
    frame();
    EXPECT_FALSE(gate.releasedOrTimedOut()) << "the stroke began while the write was held";
    EXPECT_TRUE(zoom().isPrepared());
    EXPECT_GT(zoom().lastLiveArea(), 0);
    renderer->brushUpAtPoint(Point(0.8, 0.7));
    gate.release();
    OVBrushPathImage::waitForPendingWrites();
    EXPECT_FALSE(gate.timedOut());
    settle();
    ASSERT_EQ(window.strokes.size(), 2u);
    // Both strokes are in the mask.
    const pf::Image mask = chain->brushPathImageAtIndex(2)->contentContainer()->imageContainer()->image();
    EXPECT_GT(pixelAt(mask, Point(0.5 * 320, 0.3 * 240))[1], 0.9);
    EXPECT_GT(pixelAt(mask, Point(0.5 * 320, 0.7 * 240))[1], 0.9);
}

TEST_F(RenderingTest, HealingStrokesInARowStartFromStoredPixelsNeverFromAPreview)
{
    // Each stroke's stored pixels are cut to the channel off the main thread once its snapshot is
    // written, and arrive here during the next stroke: every stroke starts from pixels, never from a
    // preview nested in the previews of the strokes before it.
    GMBrushHandler::setAdditionalBrushFactory(OVBrush::Healing,
                                              [] { return std::make_shared<FakeHealingBrush>(); });
    const auto cleanup =
        qScopeGuard([] { GMBrushHandler::setAdditionalBrushFactory(OVBrush::Healing, nullptr); });
    renderer->activateChannel(Standard, Rect(0, 0, 1, 1));
    settle();
    OVBrush healing = drawBrush();
    healing.brushSubType = OVBrush::Healing;
    auto startIsPixels = [&] {
        const pf::Image start = zoom().brushHandler().startAdditionalImage();
        return !start.isNull() && start.node()->kind == pf::ImageNode::Kind::Bitmap;
    };
    const double rows[] = {0.3, 0.5, 0.7, 0.4};
    for (const double y : rows) {
        renderer->brushDownAtPoint(healing, Point(0.3, y), Standard);
        // The fresh layer has no picture yet; from the third stroke on, the first one's pixels are in.
        if (y == rows[0] || y == rows[1])
            EXPECT_TRUE(zoom().brushHandler().startAdditionalImage().isNull()) << y;
        else
            EXPECT_TRUE(startIsPixels()) << y;
        frame();
        // The last stroke's snapshot written, its pixels on their way and arriving meanwhile.
        OVBrushPathImage::waitForPendingWrites();
        for (int turn = 0; turn < 20; ++turn) {
            settle();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        renderer->processPoint(Point(0.6, y));
        frame();
        renderer->brushUpAtPoint(Point(0.6, y));
    }
    OVBrushPathImage::waitForPendingWrites();
    for (int turn = 0; turn < 40; ++turn) {
        settle();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_TRUE(startIsPixels());
    // Every stroke's stored green, at the channel's size.
    const pf::Image start = zoom().brushHandler().startAdditionalImage();
    EXPECT_EQ(start.extent(), Rect(0, 0, 160, 120));
    for (const double y : rows)
        EXPECT_GT(pixelAt(start, Point(0.45 * 160, y * 120))[1], 0.9) << y;
    EXPECT_EQ(window.strokes.size(), 4u);
}

TEST_F(RenderingTest, ABrushDownNeverWaitsForTheQueuesComposition)
{
    // Painting again from outside live editing while the render queue composes the channel's picture,
    // held open inside the render cache's fill: the stroke starts and shows its steps meanwhile, from the
    // stack below as the cache keeps it, or, for a part of the photo not composed yet, from a recipe of
    // it that the queue's pixels replace once made.
    const struct
    {
        const char* name;
        Rect rect;
        bool recipe;
    } cases[] = {
        {"the part composed before", Rect(0, 0, 1, 1), false},
        {"a part never composed", Rect(0.25, 0.25, 0.5, 0.5), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        renderer->activateChannel(Standard, Rect(0, 0, 1, 1));
        settle();
        drawStroke(20, Point(0.2, 0.3), Point(0.8, 0.3));
        settle();
        OVBrushPathImage::waitForPendingWrites();

        HeldGate gate;
        OVRenderCache::setFillGateForTesting(gate.waiter());
        const auto cleanup = qScopeGuard([&] {
            gate.release();
            settle();
            OVRenderCache::setFillGateForTesting(nullptr);
        });

        renderer->deactivateRenderChannel(Standard);
        renderer->activateChannel(Standard, c.rect);
        ASSERT_TRUE(gate.waitUntilHeld());
        renderer->brushDownAtPoint(drawBrush(20), Point(0.2, 0.6), Standard);
        frame();
        renderer->processPoint(Point(0.6, 0.6));
        frame();
        EXPECT_FALSE(gate.releasedOrTimedOut()) << "the steps were drawn while the composition was held";
        EXPECT_GT(zoom().lastLiveArea(), 0);
        EXPECT_EQ(zoom().isBackgroundRecipe(), c.recipe);
        const QColor during = standard->contents().pixelColor(64, 48);

        // The queue's pixels take over from the recipe, and the picture stays what it was.
        gate.release();
        settle();
        EXPECT_FALSE(zoom().isBackgroundRecipe());
        frame();
        const QColor after = standard->contents().pixelColor(64, 48);
        const QColor untouched = standard->contents().pixelColor(150, 48); // right of every stroke
        EXPECT_GT(during.red() - untouched.red(), 80) << "the stroke shows its tint";
        EXPECT_NEAR(during.red(), after.red(), 2);
        EXPECT_NEAR(during.green(), after.green(), 2);
        EXPECT_NEAR(during.blue(), after.blue(), 2);
        renderer->brushUpAtPoint(Point(0.6, 0.6));
        settle();
        EXPECT_FALSE(gate.timedOut());
    }
    EXPECT_EQ(window.strokes.size(), 4u);
}
