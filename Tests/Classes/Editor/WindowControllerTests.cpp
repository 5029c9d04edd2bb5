#include "ChainTestSupport.h"
#include "Classes/Editor/EffectIntensity.h"
#include "Classes/Editor/GMCollectionViewEffectItem.h"
#include "Classes/Editor/GMEffectBrowserController.h"
#include "Classes/Editor/GMEffectIconView.h"
#include "Classes/Editor/GMEventView.h"
#include "Classes/Editor/GMLoupeStrokeHint.h"
#include "Classes/Editor/GMSettingsController.h"
#include "Classes/Editor/GMSlider.h"
#include "Classes/Editor/GMWindowController.h"
#include "Classes/Editor/OVHoverView.h"
#include "Classes/Editor/OVLayerBrowser.h"
#include "Classes/Editor/OVLoupeView.h"
#include "Classes/Editor/OVTransformedScrollView.h"
#include "Classes/Editor/OVZoomView.h"
#include "Classes/Framework/Toolkit/OV3DView.h"
#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVCursorStack.h"
#include "Classes/Framework/Toolkit/OVToolTipController.h"
#include "Classes/Rendering/GMRealTimeRenderer.h"
#include "Classes/ToolObjects/OVBrushFramework/OVBrush.h"
#include "Classes/ToolObjects/OVBrushFramework/OVBrushPathImage.h"
#include "Classes/ToolObjects/OVBrushFramework/OVImageContainer.h"
#include "Classes/ToolObjects/OVRenderCache.h"
#include "EditorTestSupport.h"
#include "Platform/Foundation/SerialQueue.h"
#include "Platform/Foundation/UndoManager.h"
#include "Platform/Image/RenderContext.h"
#include "Platform/UI/Alert.h"
#include "Platform/UI/Document.h"
#include "Platform/UI/Event.h"
#include "Platform/UI/Layer.h"
#include "Platform/UI/SteppedClock.h"
#include "Tests/PointerParking.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QNativeGestureEvent>
#include <QRegularExpression>
#include <QTest>
#include <QWheelEvent>
#include <QWindow>
#include <cmath>
#include <gtest/gtest.h>

using pf::Point;
using pf::Rect;
using pf::Size;

// Readable failures.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* os)
{
    *os << '{';
    for (qsizetype i = 0; i < list.size(); ++i)
        *os << (i ? ", \"" : "\"") << list[i].toStdString() << '"';
    *os << '}';
}

namespace {

const QString Standard = QStringLiteral("standard");
const QString Loupe = QStringLiteral("loupe");

// The live renderer as the window drives it: every call is written down, nothing is drawn.
class RecordingRenderer : public GMRealTimeRenderer
{
public:
    using GMRealTimeRenderer::GMRealTimeRenderer;

    QStringList calls;
    OVBrush brush;
    Point point;
    Rect rect;

    void setLayerForRenderChannel(const std::shared_ptr<pf::Layer>&, const QString&) override {}
    void activateChannel(const QString& channel, const Rect& contentsRect) override
    {
        calls << QStringLiteral("activate ") + channel;
        rect = contentsRect;
    }
    void deactivateRenderChannel(const QString& channel) override
    {
        calls << QStringLiteral("deactivate ") + channel;
    }
    void hideDrawLayer(bool hide) override { calls << QStringLiteral("hide %1").arg(hide); }
    void updateActiveChannels() override { calls << QStringLiteral("update"); }
    void contentDidChangeAtIndex(int index) override { calls << QStringLiteral("content %1").arg(index); }
    void brushDownAtPoint(const OVBrush& b, const Point& p, const QString& channel) override
    {
        calls << QStringLiteral("down ") + channel;
        brush = b;
        point = p;
    }
    void processPoint(const Point& p) override
    {
        calls << QStringLiteral("drag");
        point = p;
    }
    void brushUpAtPoint(const Point& p) override
    {
        calls << QStringLiteral("up");
        point = p;
    }
    bool lastStrokeFoundNothing() const override { return foundNothing; }
    bool foundNothing = false;
    // The calls since the last look.
    QStringList take() { return std::exchange(calls, {}); }
};

class WindowControllerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        controller = std::make_unique<GMWindowController>();
        controller->setBlueprintCatalog(&chaintest::catalog());
        controller->setRendererFactory([this](std::shared_ptr<PhotoToolChain> chain) {
            auto recording = std::make_unique<RecordingRenderer>(std::move(chain));
            renderer = recording.get();
            return recording;
        });
        ASSERT_TRUE(controller->loadWindow());
        controller->setUndoManager(undo);
        controller->setOriginalImage(chaintest::photo(640, 480));
        chain = controller->toolChain();
        settle();
        renderer->take();
    }
    void TearDown() override
    {
        controller.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        pf::Event::setModifierFlagsProvider(nullptr);
    }

    // Runs what is due now and lets the previews under way arrive.
    void settle()
    {
        clock.advance(0);
        QElapsedTimer waited;
        waited.start();
        while (controller->isPreviewPending() && waited.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        clock.advance(0);
    }
    // An effect layer on top, selected, and the window live on it.
    void addLayer(std::shared_ptr<GMEffectBlueprint> blueprint = nullptr)
    {
        if (!blueprint)
            blueprint = editortest::blueprint(QStringLiteral("Wash"), QStringLiteral("brush,eraser"));
        chain->insertPhotoToolWithBlueprint(blueprint, std::nullopt, chain->numberOfTools() - 1);
        goLive();
    }
    void goLive()
    {
        settle();
        controller->realTimeRenderChannelDidBecomeVisible(renderer, Standard);
        renderer->take();
    }
    OVDrawSender* canvas() const { return controller->zoomView(); }
    OVDrawSender* loupe() const { return controller->loupe(); }

    pf::SteppedClock clock;
    std::shared_ptr<pf::UndoManager> undo = std::make_shared<pf::UndoManager>();
    std::unique_ptr<GMWindowController> controller;
    std::shared_ptr<PhotoToolChain> chain;
    RecordingRenderer* renderer = nullptr;
};

} // namespace

TEST_F(WindowControllerTest, TheSwitchToLiveEditingIsDebounced)
{
    // Requests in order, with the time passed after each; when the activation is seen.
    struct Case
    {
        const char* what;
        std::vector<std::pair<int, double>> requests;
        bool shift;
        double activatesAfter; // seconds after the last request
    };
    const Case cases[] = {
        {"a change switches after the current event", {{1, 0}}, false, 0},
        {"a settled zoom waits half a second", {{2, 0}}, false, 0.5},
        {"a later settled zoom restarts the wait", {{2, 0.4}, {2, 0}}, false, 0.5},
        {"a settled zoom never replaces a pending change", {{1, 0}, {2, 0}}, false, 0},
        {"a change replaces a pending settled zoom", {{2, 0.2}, {1, 0}}, false, 0},
        {"Shift held waits five seconds", {{2, 0}}, true, 5.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        pf::Event::setModifierFlagsProvider([shift = c.shift] { return shift ? pf::Modifier::Shift : 0u; });
        for (const auto& [kind, pause] : c.requests) {
            controller->prepareEditing(kind);
            if (pause > 0)
                clock.advance(pause);
        }
        if (c.activatesAfter > 0) {
            clock.advance(c.activatesAfter - 0.01);
            EXPECT_FALSE(renderer->take().contains(QStringLiteral("activate standard")));
        }
        clock.advance(0.02);
        EXPECT_EQ(renderer->take(), QStringList{QStringLiteral("activate standard")});
        EXPECT_FALSE(controller->isEditSwitchPending());
        pf::Event::setModifierFlagsProvider(nullptr);
    }
}

TEST_F(WindowControllerTest, LiveOnlyIn2DAndOnlyOnceTheChannelShows)
{
    EXPECT_EQ(controller->viewMode(), GMWindowController::Preview);
    controller->prepareEditing(0);
    EXPECT_EQ(renderer->take(), QStringList{QStringLiteral("activate standard")});
    EXPECT_EQ(controller->zoomView()->zoomLayer()->contentsRect(), renderer->rect);
    EXPECT_EQ(controller->viewMode(), GMWindowController::Preview) << "not before the picture is there";
    controller->realTimeRenderChannelDidBecomeVisible(renderer, Standard);
    EXPECT_EQ(controller->viewMode(), GMWindowController::Live);

    // Going to 3D: a pending switch only drops its timer, and the preview is not shown.
    controller->prepareEditing(2);
    controller->layerBrowser()->setShow3DView(true);
    EXPECT_EQ(controller->viewMode(), GMWindowController::Layers3D);
    renderer->take();
    clock.advance(0.6);
    controller->prepareEditingTimed();
    controller->showPreview(true);
    EXPECT_EQ(renderer->take(), QStringList{}) << "nothing live while the layers are shown in 3D";
    EXPECT_FALSE(controller->isEditSwitchPending());
    EXPECT_FALSE(controller->isPreviewPending());
}

TEST_F(WindowControllerTest, ThePreviewIsShownOnceUnlessForcedAndReplacesTheLivePictureWhenItArrives)
{
    addLayer();
    const int shown = controller->previewsShown();
    controller->showPreview(true);
    // The live picture stays until the preview is there.
    EXPECT_EQ(renderer->take(), QStringList{});
    EXPECT_TRUE(controller->isPreviewPending());
    settle();
    EXPECT_EQ(controller->previewsShown(), shown + 1);
    EXPECT_EQ(renderer->take(), QStringList{QStringLiteral("deactivate standard")});
    EXPECT_EQ(controller->viewMode(), GMWindowController::Preview);

    controller->showPreview(false);
    EXPECT_FALSE(controller->isPreviewPending()) << "already showing the preview";
    controller->showPreview(true);
    settle();
    EXPECT_EQ(controller->previewsShown(), shown + 2);
    renderer->take();

    // The picture is the preview cache's composition of the stack up to the selection.
    const QImage shownPicture = controller->zoomView()->zoomLayer()->contents();
    const pf::Image composed = controller->previewRenderer()->composedImageToIndex(chain->selectionIndex());
    const QImage expected = pf::RenderContext::shared()->renderToQImage(composed, composed.extent());
    EXPECT_EQ(shownPicture.size(), QSize(640, 480)) << "fitted inside 1024 x 1024 and never enlarged";
    EXPECT_EQ(shownPicture.convertToFormat(QImage::Format_RGBA8888),
              expected.convertToFormat(QImage::Format_RGBA8888));

    // Editing asked for again before the preview arrives keeps the channel.
    controller->showPreview(true);
    controller->prepareEditing(0);
    settle();
    EXPECT_EQ(renderer->take(), QStringList{QStringLiteral("activate standard")});
}

TEST_F(WindowControllerTest, TheZoomSliderDrivesTheCanvasAndTheKeysSettle)
{
    GMSlider* slider = controller->zoomSlider();
    // A drag: the first change animated, the others not, the last re-arms.
    for (const auto& [value, preview, firstAfter] :
         {std::tuple{0.8, true, false}, std::tuple{0.6, true, false}, std::tuple{0.5, false, true}}) {
        controller->sliderDidChangeValue(slider, value, preview);
        EXPECT_EQ(controller->isFirstZoom(), firstAfter);
        EXPECT_DOUBLE_EQ(controller->zoomView()->zoomFactor(), value);
    }
    // Zoom in and out step by a tenth, clamped, and settle after 0.6 and 0.3 s.
    struct Case
    {
        double from;
        bool in;
        double to;
        double settle;
    };
    for (const Case& c :
         {Case{0.05, true, 0.0, 0.6}, Case{0.5, true, 0.4, 0.6}, Case{0.95, false, 1.0, 0.3}}) {
        slider->setValue(c.from);
        c.in ? controller->zoomIn() : controller->zoomOut();
        // The canvas keeps a factor a hair above 0, and the slider follows it.
        EXPECT_NEAR(slider->value(), c.to, 1e-4);
        EXPECT_NEAR(controller->zoomView()->zoomFactor(), c.to, 1e-4);
        EXPECT_TRUE(controller->zoomView()->previewActive());
        clock.advance(c.settle - 0.01);
        EXPECT_TRUE(controller->isZoomSettlePending());
        clock.advance(0.02);
        EXPECT_FALSE(controller->isZoomSettlePending());
        EXPECT_FALSE(controller->zoomView()->previewActive()) << "the zoom settled";
        EXPECT_TRUE(controller->isEditSwitchPending()) << "live editing follows the settled zoom";
        clock.advance(0.6);
    }
}

TEST_F(WindowControllerTest, SavingPicturesOfTheBackgroundAloneGivesTheOriginal)
{
    const pf::Bitmap original =
        *pf::RenderContext::shared()->render(chain->originalImage(), Rect(0, 0, 640, 480));
    for (const pf::Image& image : {controller->imageForSaving(), controller->previewForSaving()}) {
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.extent(), Rect(0, 0, 640, 480));
        const auto pixels = pf::RenderContext::shared()->render(image, image.extent());
        ASSERT_TRUE(pixels);
        EXPECT_EQ(pixels->toQImage(), original.toQImage());
    }
}

TEST_F(WindowControllerTest, StrokesAreClampedAndSizedWithTheDrawingArea)
{
    addLayer();
    controller->layerBrowser()->setFrameSize(Size(800, controller->layerBrowser()->frame().height()));
    goLive();
    controller->settingsController()->brushSizeSlider()->setValue(0.5);
    controller->drawSenderBrushDownAtPoint(canvas(), Point(-0.2, 1.3));
    EXPECT_EQ(renderer->point, Point(0, 1));
    EXPECT_DOUBLE_EQ(renderer->brush.size, 121);
    EXPECT_TRUE(controller->zoomView()->blockScrolling());
    controller->drawSenderBrushDraggedAtPoint(canvas(), Point(1.5, 0.5));
    EXPECT_EQ(renderer->point, Point(1, 0.5));
    controller->drawSenderBrushUpAtPoint(canvas(), Point(0.5, -3));
    EXPECT_EQ(renderer->point, Point(0.5, 0));
    EXPECT_FALSE(controller->zoomView()->blockScrolling());
    EXPECT_EQ(renderer->take(), (QStringList{"down standard", "drag", "up"}));

    // The background takes no strokes, and scrolling stays free.
    chain->setSelectionIndex(0);
    goLive();
    controller->drawSenderBrushDownAtPoint(canvas(), Point(0.5, 0.5));
    controller->drawSenderBrushDraggedAtPoint(canvas(), Point(0.6, 0.5));
    controller->drawSenderBrushUpAtPoint(canvas(), Point(0.6, 0.5));
    EXPECT_EQ(renderer->take(), QStringList{});
    EXPECT_FALSE(controller->zoomView()->blockScrolling());
}

// A click of an eye tool where no iris stands out paints nothing and stores no step: the user is told,
// once per such click, and not after a stroke that painted.
TEST_F(WindowControllerTest, AClickThatFindsNoIrisSaysSo)
{
    addLayer();
    QStringList told;
    pf::Alert::setResponder([&](const pf::Alert& alert) {
        told << alert.messageText;
        return pf::Alert::firstButtonReturn;
    });
    for (const bool nothing : {true, false, true}) {
        renderer->foundNothing = nothing;
        controller->drawSenderBrushDownAtPoint(canvas(), Point(0.5, 0.5));
        controller->drawSenderBrushUpAtPoint(canvas(), Point(0.5, 0.5));
    }
    pf::Alert::setResponder(nullptr);
    EXPECT_EQ(told, (QStringList{"No iris found here", "No iris found here"}));
}

TEST_F(WindowControllerTest, CommandAndTheWheelOverTheCanvasSizeOrSoftenTheBrush)
{
    addLayer();
    controller->zoomView()->setCursorState(1);
    GMSlider* size = controller->settingsController()->brushSizeSlider();
    GMSlider* smoothness = controller->settingsController()->brushSmoothnessSlider();
    struct Case
    {
        unsigned flags;
        double dx, dy;
        bool consumed;
        double sizeStep, smoothnessStep; // what the panel's sliders move by
    };
    const unsigned command = pf::Modifier::Command;
    // The wheel turned up (a positive step) makes the brush larger, as it raises every value here.
    for (const Case& c : {Case{command, 3, -3, true, -0.05, 0}, Case{command, 6, 1, true, 0, -0.1},
                          Case{command | pf::Modifier::Shift, 0, 1.2, true, 0.02, 0},
                          Case{command | pf::Modifier::Option, 0, 3, false, 0, 0}, Case{0, 0, 3, false, 0, 0},
                          Case{command, 0, 0, false, 0, 0}}) {
        SCOPED_TRACE(testing::Message() << c.flags << " " << c.dx << " " << c.dy);
        size->setValue(0.5);
        smoothness->setValue(0.5);
        EXPECT_EQ(controller->eventViewDidScroll(controller->windowContentView(),
                                                 editortest::wheel(c.dx, c.dy, c.flags)),
                  c.consumed);
        EXPECT_NEAR(size->value(), 0.5 + c.sizeStep, 1e-9);
        EXPECT_NEAR(smoothness->value(), 0.5 + c.smoothnessStep, 1e-9);
    }
    // Not over the photo: the wheel goes on.
    controller->zoomView()->setCursorState(0);
    EXPECT_FALSE(
        controller->eventViewDidScroll(controller->windowContentView(), editortest::wheel(0, 3, command)));
}

TEST_F(WindowControllerTest, CopyingAMaskKeepsTheTargetsAdditionalImageInOneUndoStep)
{
    addLayer();
    addLayer();
    const Size size = chain->originalImageSize();
    const auto solid = [&](double grey) {
        return std::make_shared<OVImageContainer>(pf::Image::constantColor(pf::Color(grey, grey, grey, 1))
                                                      .imageByCroppingToRect(Rect(Point(), size)),
                                                  true);
    };
    chain->brushPathImageAtIndex(1)->addContentContainer(
        std::make_shared<OVContentContainer>(solid(1), solid(0.1)));
    const auto texture = solid(0.7);
    const auto targetBefore = chain->brushPathImageAtIndex(2);
    targetBefore->addContentContainer(std::make_shared<OVContentContainer>(solid(0.2), texture));
    undo->removeAllActions();

    // Offered only between two effect layers, never onto the same one, nowhere, or in 3D.
    for (const auto& [from, to, offered] :
         {std::tuple{qint64(1), qint64(2), true}, std::tuple{qint64(0), qint64(2), false},
          std::tuple{qint64(1), qint64(0), false}, std::tuple{qint64(2), qint64(2), false},
          std::tuple{qint64(1), OVStepScroller::NotFound, false}})
        EXPECT_EQ(controller->layerBrowserCanInteractFrom(controller->layerBrowser(), from, to), offered)
            << from << " to " << to;

    controller->layerBrowserInteractFrom(controller->layerBrowser(), 1, 2);
    const auto copied = chain->brushPathImageAtIndex(2)->contentContainer();
    EXPECT_EQ(copied->imageContainer(),
              chain->brushPathImageAtIndex(1)->contentContainer()->imageContainer());
    EXPECT_EQ(copied->additionalImageContainer(), texture);
    undo->undo();
    EXPECT_EQ(chain->brushPathImageAtIndex(2), targetBefore);
    EXPECT_FALSE(undo->canUndo());

    controller->fillLayerBrowser3D();
    EXPECT_FALSE(controller->layerBrowserCanInteractFrom(controller->layerBrowser(), 1, 2));
}

TEST_F(WindowControllerTest, ThePanelReloadsChangesByUndoButNotItsOwn)
{
    addLayer();
    undo->removeAllActions();
    EffectIntensity* knob = controller->settingsController()->effectIntensity();
    const double saved = chain->photoToolAtIndex(1)->settings().value(QStringLiteral("intensity")).toDouble();
    knob->setIntensity(0.9);
    // A drag: previews without undo, then the final change with its name.
    controller->settingsControllerDidChangeSettings(controller->settingsController(), {{"intensity", 0.9}}, 1,
                                                    QStringLiteral("Intensity"), true);
    EXPECT_FALSE(undo->canUndo());
    knob->setIntensity(0.3); // what the panel shows is left alone
    controller->settingsControllerDidChangeSettings(controller->settingsController(), {{"intensity", 0.9}}, 1,
                                                    QStringLiteral("Intensity"), false);
    EXPECT_DOUBLE_EQ(knob->intensity(), 0.3);
    EXPECT_EQ(renderer->take(), (QStringList{"content 1", "content 1"}));
    undo->undo();
    EXPECT_DOUBLE_EQ(knob->intensity(), saved) << "the undone value shows in the panel";
}

TEST_F(WindowControllerTest, TheLoupeTakesStrokesAndItsChannelWhileItIsPlaced)
{
    addLayer();
    OVLoupeView* glass = controller->loupe();
    pf::Window* window = controller->window();
    controller->settingsControllerDidChangeBrush(controller->settingsController(), QCursor(Qt::CrossCursor));

    glass->setLoupeState(4);
    EXPECT_FALSE(controller->zoomView()->drawSenderActive());
    EXPECT_TRUE(glass->drawSenderActive());
    EXPECT_EQ(renderer->take(), QStringList{"activate loupe"});
    EXPECT_EQ(renderer->rect, glass->zoomLayer()->contentsRect());
    EXPECT_EQ(controller->editRectForLoupe(glass), controller->zoomView()->editRect());
    controller->realTimeRenderChannelDidBecomeVisible(renderer, Loupe);
    EXPECT_EQ(glass->loupeState(), 5);

    controller->drawSenderBrushDownAtPoint(loupe(), Point(0.5, 0.5));
    controller->drawSenderBrushUpAtPoint(loupe(), Point(0.5, 0.5));
    EXPECT_EQ(renderer->take(), (QStringList{"down loupe", "up"})) << "the canvas's channel stays as it is";

    for (const auto& [state, key] : {std::pair{1, true}, std::pair{2, true}, std::pair{0, false}}) {
        controller->loupeViewDidChangeCursorState(glass, state);
        OVCursorStack* stack = OVCursorStack::cursorStackForWindow(window);
        const bool onTop =
            stack && !stack->keys().empty() && stack->keys().back() == QVariant(QStringLiteral("GMLoupe"));
        EXPECT_EQ(onTop, key) << state;
    }
    // The preview shown while the loupe is live takes it back to placed; leaving deactivates it.
    controller->showPreview(true);
    EXPECT_EQ(glass->loupeState(), 4);
    renderer->take();
    glass->setLoupeState(1);
    EXPECT_EQ(renderer->take(), QStringList{"deactivate loupe"});
    EXPECT_TRUE(controller->zoomView()->drawSenderActive());
    EXPECT_FALSE(glass->drawSenderActive());
}

TEST_F(WindowControllerTest, TheLoupeDroppedOnThePhotoGoesLiveAndPaintsThroughItsChannel)
{
    addLayer();
    // Showing lays the window out: the canvas takes its size and asks for a preview in the background,
    // whose arrival leaves live editing. It is waited for here, so that what the carry below records
    // is the carry's own doing whenever the preview happens to land.
    controller->window()->show();
    settle();
    renderer->take();
    OVLoupeView* glass = controller->loupe();
    ASSERT_NE(glass, nullptr);
    EXPECT_FALSE(glass->isHidden()) << "docked and shown";
    EXPECT_EQ(glass->window(), controller->window());
    ASSERT_NE(glass->attachedWindow(), nullptr);
    EXPECT_EQ(glass->attachedWindow()->parentWindow(), controller->window());
    EXPECT_EQ(glass->superview()->subviews().last(), glass) << "over every view";
    const auto mouse = [&](pf::EventType type, Point inSuperview) {
        editortest::mouse(glass, type, glass->convertPointFromView(inSuperview, glass->superview()));
    };
    // Carried by the rim onto the middle of the photo and dropped.
    const Rect photo = controller->activeRectForLoupe(glass);
    ASSERT_GT(photo.width(), 100);
    const Rect dock = glass->frame();
    const Point rim(dock.minX() + 10, dock.midY());
    const Point middle(photo.midX(), photo.midY());
    mouse(pf::EventType::LeftMouseDown, rim);
    mouse(pf::EventType::LeftMouseDragged,
          Point(rim.x + middle.x - dock.midX(), rim.y + middle.y - dock.midY()));
    EXPECT_EQ(glass->loupeState(), 3);
    EXPECT_EQ(renderer->take(), QStringList()) << "nothing is rendered while it is carried";
    mouse(pf::EventType::LeftMouseUp, Point(rim.x + middle.x - dock.midX(), rim.y + middle.y - dock.midY()));
    EXPECT_EQ(glass->loupeState(), 4);
    EXPECT_EQ(renderer->take(), QStringList{"activate loupe"});
    EXPECT_EQ(renderer->rect, glass->zoomLayer()->contentsRect());
    EXPECT_NEAR(renderer->rect.midX(), 0.5, 0.01);
    EXPECT_NEAR(renderer->rect.midY(), 0.5, 0.01);
    EXPECT_TRUE(glass->drawSenderActive());
    EXPECT_FALSE(controller->zoomView()->drawSenderActive());

    controller->realTimeRenderChannelDidBecomeVisible(renderer, Loupe);
    EXPECT_EQ(glass->loupeState(), 5);
    // A stroke in the glass, from its middle to the right: normalised to the glass.
    const Rect placed = glass->frame();
    mouse(pf::EventType::LeftMouseDown, Point(placed.midX(), placed.midY()));
    EXPECT_EQ(renderer->take(), QStringList{"down loupe"});
    EXPECT_NEAR(renderer->point.x, 0.5, 1e-6);
    EXPECT_NEAR(renderer->point.y, 0.5, 1e-6);
    mouse(pf::EventType::LeftMouseDragged,
          Point(placed.midX() + glass->glassSize().width / 4, placed.midY()));
    EXPECT_NEAR(renderer->point.x, 0.75, 1e-6);
    mouse(pf::EventType::LeftMouseUp, Point(placed.midX() + glass->glassSize().width / 4, placed.midY()));
    EXPECT_EQ(renderer->take(), (QStringList{"drag", "up"}));

    // A click on the photo beside the glass, through the window, paints nothing: the first one says why.
    pf::Window* window = controller->window();
    const auto click = [&](Point inSuperview) {
        const Point base = glass->superview()->convertPointToView(inSuperview, nullptr);
        const QPoint at(int(base.x), int(window->height() - base.y));
        QTest::mouseMove(window->windowHandle(), at);
        QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, at);
    };
    const Point beside(photo.minX() + 12, photo.maxY() - 12);
    ASSERT_GT(std::hypot(beside.x - placed.midX(), beside.y - placed.midY()), placed.width() / 2);
    EXPECT_FALSE(controller->loupeStrokeHint().isShowing());
    click(beside);
    EXPECT_EQ(renderer->take(), QStringList()) << "beside the glass nothing is painted";
    ASSERT_TRUE(controller->loupeStrokeHint().isShowing());
    EXPECT_EQ(OVToolTipController::sharedController().toolTipLabel()->text(), GMLoupeStrokeHint::text());
    clock.advance(GMLoupeStrokeHint::shownFor + 0.1);
    EXPECT_FALSE(controller->loupeStrokeHint().isShowing()) << "it goes by itself";
    click(beside);
    EXPECT_FALSE(controller->loupeStrokeHint().isShowing()) << "told once while the loupe stays";

    // The 3D view hides it (leaving its channel), 2D docks it.
    const auto wait = [&] {
        for (int i = 0; i < 30; ++i) {
            clock.advance(0.1);
            QCoreApplication::processEvents();
        }
    };
    controller->layerBrowser()->setShow3DView(true);
    wait();
    EXPECT_EQ(glass->loupeState(), 0);
    EXPECT_TRUE(glass->isHidden());
    EXPECT_TRUE(renderer->take().contains(QStringLiteral("deactivate loupe")));
    controller->layerBrowser()->setShow3DView(false);
    wait();
    EXPECT_EQ(glass->loupeState(), 1);
    EXPECT_FALSE(glass->isHidden());
    EXPECT_EQ(glass->frame(), glass->orgFrame());
    EXPECT_TRUE(controller->zoomView()->drawSenderActive());
}

// Resting the pointer on the eye beside the layer's name shows the photo without the effect; a click on
// it, through the window, says so beside it (a click alone changed nothing a user could see).
TEST_F(WindowControllerTest, AClickOnTheEyeSaysWhatRestingOnItDoes)
{
    addLayer();
    pf::Window* window = controller->window();
    window->makeKeyAndOrderFront();
    settle();
    renderer->take();
    OVHoverView* eye = controller->settingsController()->hideIcon();
    ASSERT_TRUE(eye && eye->isVisible());
    const auto toQt = [&](pf::View* view, Point inView) {
        const Point base = view->convertPointToView(inView, nullptr);
        return QPoint(int(base.x), int(window->height() - base.y));
    };
    const QPoint onEye = toQt(eye, Point(eye->bounds().midX() + 2, eye->bounds().midY() - 1));
    movePointer(window->windowHandle(), onEye);
    EXPECT_EQ(renderer->take(), QStringList{"hide 1"}) << "resting on it hides the effect";
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, onEye);
    OVToolTipController& tips = OVToolTipController::sharedController();
    ASSERT_TRUE(tips.isShowing() && tips.focusView() == eye);
    EXPECT_EQ(tips.toolTipLabel()->text(), GMSettingsController::hideIconHint());
    const Rect canvasBounds = controller->zoomView()->bounds();
    movePointer(window->windowHandle(),
                toQt(controller->zoomView(), Point(canvasBounds.midX(), canvasBounds.midY())));
    EXPECT_EQ(renderer->take(), QStringList{"hide 0"});
    EXPECT_FALSE(tips.isShowing() && tips.focusView() == eye) << "it goes with the pointer";
}

// Mended: the stroke belongs to the mask it was painted on, and runs to its end whatever the selection.
TEST_F(WindowControllerTest, AStrokeEndsOnTheLayerItBeganOn)
{
    addLayer();
    addLayer();
    chain->setSelectionIndex(1);
    goLive();
    const auto painted = chain->brushPathImageAtIndex(1);
    controller->drawSenderBrushDownAtPoint(canvas(), Point(0.2, 0.2));
    chain->setSelectionIndex(0); // the selection reaches the background mid-stroke
    controller->drawSenderBrushDraggedAtPoint(canvas(), Point(0.4, 0.2));
    controller->drawSenderBrushUpAtPoint(canvas(), Point(0.5, 0.2));
    EXPECT_EQ(renderer->take().filter(QRegularExpression("down|drag|up")),
              (QStringList{"down standard", "drag", "up"}));
    EXPECT_FALSE(controller->zoomView()->blockScrolling());
    EXPECT_FALSE(controller->isStrokeRunning());

    const auto stroke = std::make_shared<OVContentContainer>();
    const qsizetype before = painted->segmentImageNames().size();
    const qsizetype selectedBefore = chain->brushPathImageAtIndex(2)->segmentImageNames().size();
    controller->realTimeRendererDidCalculateContentContainer(renderer, stroke, Rect(0, 0, 1, 1), Standard,
                                                             painted);
    EXPECT_EQ(painted->segmentImageNames().size(), before + 1);
    EXPECT_EQ(chain->brushPathImageAtIndex(2)->segmentImageNames().size(), selectedBefore);

    // A layer removed before its stroke arrived takes nothing.
    chain->removePhotoToolAtIndex(1);
    controller->realTimeRendererDidCalculateContentContainer(renderer, stroke, Rect(0, 0, 1, 1), Standard,
                                                             painted);
    EXPECT_EQ(painted->segmentImageNames().size(), before + 1);
}

// Mended: a stroke begun outside live editing brings the canvas's channel up with the part shown now.
TEST_F(WindowControllerTest, AStrokeAfterAZoomActivatesTheChannelFirst)
{
    addLayer();
    // A zoom: the preview while it goes on, live editing half a second after it settled.
    controller->zoomView()->setZoomFactor(0.3, false, true);
    controller->zoomView()->setZoomFactor(0.3, false, false);
    EXPECT_EQ(controller->viewMode(), GMWindowController::Preview);
    EXPECT_TRUE(controller->isEditSwitchPending());
    renderer->take();
    controller->drawSenderBrushDownAtPoint(canvas(), Point(0.5, 0.5));
    EXPECT_EQ(renderer->take(), (QStringList{"activate standard", "down standard"}));
    EXPECT_EQ(renderer->rect, controller->zoomView()->zoomLayer()->contentsRect());
    EXPECT_LT(renderer->rect.width(), 1.0);
    EXPECT_FALSE(controller->isEditSwitchPending()) << "its work is done";
    controller->drawSenderBrushUpAtPoint(canvas(), Point(0.5, 0.5));

    // Live, the stroke goes straight to the channel; the loupe's strokes never touch the canvas's.
    controller->realTimeRenderChannelDidBecomeVisible(renderer, Standard);
    renderer->take();
    controller->drawSenderBrushDownAtPoint(canvas(), Point(0.5, 0.5));
    EXPECT_EQ(renderer->take(), QStringList{"down standard"});
}

// Mended: in 3D, a new layer gets its card and a change by undo refreshes the cards it reaches.
TEST_F(WindowControllerTest, CardsFollowTheStackIn3D)
{
    addLayer();
    controller->fillLayerBrowser3D();
    ASSERT_EQ(controller->viewMode(), GMWindowController::Layers3D);
    chain->insertPhotoToolWithBlueprint(chaintest::grey(), std::nullopt, 1);
    const auto& cards = controller->layerBrowser()->layers();
    ASSERT_EQ(cards.size(), 3u);
    EXPECT_FALSE(cards[2]->contents().isNull()) << "the new layer has its card";
    undo->removeAllActions();

    chain->setSettingsForToolAtIndex({{QStringLiteral("intensity"), 0.0}}, 1, QStringLiteral("Intensity"));
    const qint64 zeroKey = cards[1]->contents().cacheKey();
    undo->undo();
    EXPECT_NE(cards[1]->contents().cacheKey(), zeroKey) << "the card shows the undone change";

    // A change of a mask in 3D rebuilds the cards and stays in 3D.
    const qint64 before = cards[2]->contents().cacheKey();
    chain->brushPathImageAtIndex(2)->addContentContainer(std::make_shared<OVContentContainer>());
    EXPECT_EQ(controller->viewMode(), GMWindowController::Layers3D);
    EXPECT_NE(cards[2]->contents().cacheKey(), before);
}

// Mended: the effect tiles made before the photo was there show the photo once it is.
TEST_F(WindowControllerTest, TilesWithoutAPictureOfTheirOwnShowThePhoto)
{
    GMWindowController fresh;
    fresh.setBlueprintCatalog(&chaintest::catalog());
    fresh.setRendererFactory(
        [](std::shared_ptr<PhotoToolChain> c) { return std::make_unique<RecordingRenderer>(c); });
    ASSERT_TRUE(fresh.loadWindow());
    const auto beforeIcon = [&] {
        const QVariantList items = fresh.effectBrowserController()->effectCollectionView()->content();
        return items.isEmpty()
                   ? QImage()
                   : items.first().toMap().value(QStringLiteral("previewBeforeIcon")).value<QImage>();
    };
    const QColor empty = beforeIcon().pixelColor(beforeIcon().width() / 2, beforeIcon().height() / 2);
    fresh.setOriginalImage(chaintest::photo(64, 48));
    const QImage icon = beforeIcon();
    ASSERT_FALSE(icon.isNull());
    const QColor photo = icon.pixelColor(icon.width() / 2, icon.height() / 2);
    EXPECT_NE(photo, empty);
    EXPECT_NEAR(photo.blueF(), 0.6, 0.02) << "the photo's colour";
    EXPECT_EQ(fresh.effectBrowserController()->effectCollectionView()->content().size(),
              chaintest::catalog().effectBlueprintNames().size());
}

TEST_F(WindowControllerTest, ClosingStopsEverythingUnderWay)
{
    addLayer();
    controller->prepareEditing(2);
    controller->zoomIn();
    controller->showPreview(true);
    controller->drawSenderBrushDownAtPoint(canvas(), Point(0.5, 0.5));
    renderer->take();
    controller->windowWillClose();
    EXPECT_EQ(renderer->take(), (QStringList{"deactivate standard", "deactivate loupe"}));
    EXPECT_FALSE(controller->isEditSwitchPending());
    EXPECT_FALSE(controller->isZoomSettlePending());
    clock.advance(6);
    QCoreApplication::processEvents();
    controller->drawSenderBrushDraggedAtPoint(canvas(), Point(0.6, 0.5));
    controller->zoomView()->setZoomFactor(0.2, false, false); // the canvas no longer reports
    EXPECT_EQ(renderer->take(), QStringList{});
    // The window goes, with a composition still on the queue.
    controller->showPreview(true);
    controller.reset();
    QCoreApplication::processEvents();
}

TEST_F(WindowControllerTest, TheLayoutLeavesTheCanvasFreeAtEverySize)
{
    pf::Window* window = controller->window();
    for (const Size size : {Size(1280, 800), Size(1920, 1080)}) {
        SCOPED_TRACE(testing::Message() << size.width << " x " << size.height);
        window->setContentSize(size);
        QCoreApplication::processEvents();
        const Rect content = controller->windowContentView()->bounds();
        ASSERT_EQ(content.size, size);
        const double H = size.height;
        const auto inWindow = [](pf::View* view) { return view->convertRectToView(view->bounds(), nullptr); };
        EXPECT_EQ(inWindow(controller->settingsController()->view()), Rect(-19, H - 240, 395, 240));
        const Rect strip = inWindow(controller->effectBrowserController()->view());
        EXPECT_EQ(strip.origin, Point(0, 0));
        EXPECT_EQ(strip.height(), H - 250);
        EXPECT_EQ(controller->activityPanel()->view()->frame().minX(), GMWindowController::activityPanelX);
        EXPECT_EQ(controller->activityPanel()->view()->frame().maxY(), H) << "at the top edge";

        const Rect canvas = inWindow(controller->zoomView());
        EXPECT_GT(canvas.width() * canvas.height(), 0.4 * size.width * size.height) << "the photo dominates";
        // The strip's views are shown by layers of its 3D view.
        OV3DView* browser = controller->effectBrowserController()->browserView();
        const Rect tiles = browser->convertRectToView(
            browser->layerForSubview(controller->effectBrowserController()->effectScrollView())->frame(),
            nullptr);
        for (pf::View* panel :
             {controller->settingsController()->view(), controller->zoomSliderPanel(),
              static_cast<pf::View*>(controller->switch3D()),
              static_cast<pf::View*>(controller->bestFilterButton()), controller->drawCorner()})
            EXPECT_FALSE(inWindow(panel).intersects(canvas)) << panel->metaObject()->className();
        EXPECT_FALSE(tiles.intersects(canvas)) << "the effect tiles";
        EXPECT_TRUE(content.contains(inWindow(controller->zoomSliderPanel())));
        EXPECT_EQ(controller->drawingArea(), controller->layerBrowser()->frame());
        // The strip's far end fades out over its last tile, turned with it (mended: cut off mid-tile).
        OVTransformedScrollView* scroll = controller->effectBrowserController()->effectScrollView();
        pf::View* fade = controller->effectBrowserController()->endFade();
        ASSERT_TRUE(fade && fade->superview() == scroll);
        EXPECT_EQ(fade->frame().maxX(), scroll->bounds().maxX());
        EXPECT_GT(fade->frame().height(), 0.8 * scroll->bounds().height());
        EXPECT_EQ(scroll->subviews().last(), fade) << "over the tiles";
    }
}

// The busy panel ("Saving", "Loading") lies above every panel of the window, the settings panel's 3D
// stand-in included (only the loupe, which is drawn in its own overlay, stays above it); the View items
// zoom to fit and to 100 % and fan the layers out.
TEST_F(WindowControllerTest, TheBusyPanelLiesAboveEveryPanelAndTheViewItemsWork)
{
    pf::View* content = controller->windowContentView();
    pf::View* busy = controller->activityPanel()->view();
    const auto onTop = [&] {
        QList<pf::View*> views = content->subviews();
        views.removeAll(static_cast<pf::View*>(controller->loupe()));
        return !views.isEmpty() && views.last() == busy;
    };
    EXPECT_TRUE(onTop()) << "after set-up";
    EXPECT_FALSE(busy->frame().intersects(controller->settingsController()->view()->frame()))
        << "the busy panel leaves the settings panel's title in sight";
    addLayer();
    controller->layerBrowser()->setShow3DView(true);
    clock.advance(2);
    settle();
    EXPECT_TRUE(onTop()) << "in 3D, over the panel's stand-in";
    controller->layerBrowser()->setShow3DView(false);
    clock.advance(2);
    settle();
    EXPECT_TRUE(onTop()) << "back in 2D";

    const auto item = [&](const QString& name) -> QAction* {
        for (QAction* action : controller->window()->actions())
            if (action->objectName() == name)
                return action;
        return nullptr;
    };
    for (const char* name : {"Zoom In", "Zoom Out", "Zoom to Fit", "Actual Size", "Layers in 3D"})
        ASSERT_TRUE(item(name)) << name;
    EXPECT_EQ(item("Actual Size")->shortcut(), QKeySequence(QStringLiteral("Ctrl+1")));
    item("Actual Size")->trigger();
    EXPECT_NEAR(controller->zoomView()->zoomFactor(), controller->zoomView()->actualSizeZoomFactor(), 1e-9);
    EXPECT_NEAR(controller->zoomSlider()->value(), controller->zoomView()->zoomFactor(), 1e-9);
    item("Zoom In")->trigger();
    item("Zoom to Fit")->trigger();
    EXPECT_NEAR(controller->zoomView()->zoomFactor(), 1.0, 1e-9);
    clock.advance(1);
    item("Layers in 3D")->trigger();
    EXPECT_TRUE(controller->layerBrowser()->show3DView());
    EXPECT_TRUE(controller->switch3D()->state()) << "the switch shows it";
    item("Layers in 3D")->trigger();
    EXPECT_FALSE(controller->layerBrowser()->show3DView());
}

// Option with the wheel over the photo, or a pinch, zooms about the pointer: the photo point under it
// stays there. The events reach the window as the system delivers them: X11 swaps the wheel's axes while
// Alt is held, so the ordinary wheel arrives as a sideways turn.
TEST_F(WindowControllerTest, OptionAndTheWheelOrAPinchZoomAboutThePointer)
{
    pf::Window* window = controller->window();
    window->makeKeyAndOrderFront();
    QWindow* handle = window->windowHandle();
    ASSERT_NE(handle, nullptr);
    OVZoomView* zoom = controller->zoomView();
    // Magnified enough that the photo can move to keep the point (it never leaves a gap at its edges).
    controller->zoomSlider()->setValue(0.5);
    zoom->setZoomFactor(0.5, false, false);
    const auto toQt = [&](Point inView) {
        const Point base = zoom->convertPointToView(inView, nullptr);
        return QPointF(base.x, window->height() - base.y);
    };
    const auto wheel = [&](Point inView, QPoint angle, Qt::KeyboardModifiers modifiers) {
        QWheelEvent event(toQt(inView), handle->mapToGlobal(toQt(inView)), QPoint(), angle, Qt::NoButton,
                          modifiers, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(handle, &event);
    };
    // A display server's pinch reaches the innermost widget under the pointer, and goes on to the
    // parents of one that leaves it unaccepted.
    const auto pinch = [&](Point inView, Qt::NativeGestureType type, double value) {
        QWidget* under = window->childAt(toQt(inView).toPoint());
        QWidget* receiver = under ? under : window;
        const QPointF at = receiver->mapFrom(window, toQt(inView));
        QNativeGestureEvent event(type, QPointingDevice::primaryPointingDevice(), 2, at, at,
                                  handle->mapToGlobal(toQt(inView)), value, {}, 0);
        QCoreApplication::sendEvent(receiver, &event);
    };
    struct Case
    {
        const char* what;
        std::function<void(Point)> input;
        double zoomFactor;
    };
    const Case cases[] = {
        {"Alt and two notches towards the screen",
         [&](Point at) {
             wheel(at, {240, 0}, Qt::AltModifier);
         },
         0.3},
        {"Alt and a notch back",
         [&](Point at) {
             wheel(at, {-120, 0}, Qt::AltModifier);
         },
         0.6},
        {"a pinch outwards",
         [&](Point at) {
             pinch(at, Qt::BeginNativeGesture, 0);
             pinch(at, Qt::ZoomNativeGesture, 0.25);
             pinch(at, Qt::EndNativeGesture, 0);
         },
         0.25},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        controller->zoomSlider()->setValue(0.5);
        zoom->setZoomFactor(0.5, false, false);
        const Rect shown = zoom->zoomLayer()->frame();
        const Point pointer(shown.minX() + 0.4 * shown.width(), shown.minY() + 0.6 * shown.height());
        const Point held = zoom->photoPointAt(pointer);
        c.input(pointer);
        EXPECT_NEAR(zoom->zoomFactor(), c.zoomFactor, 1e-9);
        EXPECT_NEAR(controller->zoomSlider()->value(), c.zoomFactor, 1e-9);
        const Point now = zoom->photoPointAt(pointer);
        EXPECT_NEAR(now.x, held.x, 1.0 / zoom->zoomLayer()->frame().width() * zoom->editRect().width());
        EXPECT_NEAR(now.y, held.y, 1.0 / zoom->zoomLayer()->frame().height() * zoom->editRect().height());
        clock.advance(1);
        settle();
    }
    // Off the photo the wheel is not the canvas's.
    controller->zoomSlider()->setValue(0.5);
    zoom->setZoomFactor(0.5, false, false);
    wheel(zoom->convertPointFromView(Point(2, 2), nullptr), {240, 0}, Qt::AltModifier);
    EXPECT_NEAR(zoom->zoomFactor(), 0.5, 1e-9);

    // Ctrl (Command) with the wheel over the photo sizes the brush of the layer, as it always has.
    addLayer();
    const Rect shown = zoom->zoomLayer()->frame();
    const Point onPhoto(shown.midX(), shown.midY());
    QTest::mouseMove(handle, toQt(onPhoto).toPoint());
    GMSlider* brushSize = controller->settingsController()->brushSizeSlider();
    brushSize->setValue(0.5);
    wheel(onPhoto, {0, 120}, Qt::ControlModifier);
    EXPECT_NEAR(zoom->zoomFactor(), 0.5, 1e-9);
    EXPECT_NEAR(brushSize->value(), 0.5 + 1.0 / 60, 1e-9) << "the wheel turned up makes the brush larger";
    wheel(onPhoto, {0, -240}, Qt::ControlModifier);
    EXPECT_NEAR(brushSize->value(), 0.5 - 1.0 / 60, 1e-9) << "and turned down, smaller";
}

// The settings panel's close button names the step it makes as the Edit menu then offers to undo it
// (mended: its tip said "Remove this layer" where the menu said "Remove Effect").
TEST_F(WindowControllerTest, ThePanelsCloseButtonNamesItsStepAsTheEditMenuDoes)
{
    addLayer();
    OVButton* close = controller->settingsController()->closeButton();
    ASSERT_NE(close, nullptr);
    close->setButtonState(6);
    settle();
    ASSERT_EQ(chain->numberOfTools(), 1);
    EXPECT_EQ(close->toolTip(), undo->undoActionName());
}

// The zoom slider's end icons are buttons: a click on the magnifier zooms in a step, a click on the
// picture fits the photo again. Clicked through the window, a little off their middles.
TEST_F(WindowControllerTest, TheZoomSlidersEndIconsZoomInAndFit)
{
    pf::Window* window = controller->window();
    window->makeKeyAndOrderFront();
    QWindow* handle = window->windowHandle();
    ASSERT_NE(handle, nullptr);
    OVZoomView* zoom = controller->zoomView();
    const auto click = [&](OVButton* button) {
        ASSERT_NE(button, nullptr);
        const pf::Rect b = button->bounds();
        const Point base = button->convertPointToView(Point(b.midX() + 2, b.midY() - 3), nullptr);
        const QPoint at(int(std::lround(base.x)), int(std::lround(window->height() - base.y)));
        QTest::mouseMove(handle, at);
        QTest::mouseClick(handle, Qt::LeftButton, {}, at);
        clock.advance(1);
        settle();
    };
    ASSERT_NEAR(zoom->zoomFactor(), 1.0, 1e-9);
    click(controller->zoomInButton());
    const double once = zoom->zoomFactor();
    EXPECT_LT(once, 0.95) << "the magnifier zooms in";
    EXPECT_NEAR(controller->zoomSlider()->value(), once, 1e-9);
    click(controller->zoomInButton());
    EXPECT_LT(zoom->zoomFactor(), once) << "a step further each click";
    click(controller->zoomToFitButton());
    EXPECT_NEAR(zoom->zoomFactor(), 1.0, 1e-9) << "the picture fits the photo";
    EXPECT_NEAR(controller->zoomSlider()->value(), 1.0, 1e-9);
}

// With the real renderer: a stroke begun right after a zoom is painted where the pointer was.
TEST(WindowControllerRendering, AStrokeRightAfterAZoomLandsUnderThePointer)
{
    pf::SteppedClock clock;
    auto controller = std::make_unique<GMWindowController>();
    controller->setBlueprintCatalog(&chaintest::catalog());
    ASSERT_TRUE(controller->loadWindow());
    controller->setOriginalImage(chaintest::photo(640, 480));
    const auto chain = controller->toolChain();
    chain->insertPhotoToolWithBlueprint(
        editortest::blueprint(QStringLiteral("Wash"), QStringLiteral("brush,eraser"), false,
                              {{"brushSize", 0.25}, {"brushSmoothness", 0.2}, {"brushHardness", 1.0}}),
        std::nullopt, 0);
    GMRealTimeRenderer* renderer = controller->editRenderer();
    const auto settleUntil = [&](const std::function<bool()>& done) {
        QElapsedTimer waited;
        waited.start();
        while (!done() && waited.elapsed() < 10000) {
            clock.advance(0);
            renderer->renderQueue()->waitUntilEmpty();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        return done();
    };
    ASSERT_TRUE(settleUntil([&] { return controller->viewMode() == GMWindowController::Live; }));

    // Zoomed in: the channel still maps the whole photo when the stroke begins.
    OVZoomView* zoom = controller->zoomView();
    zoom->setZoomFactor(0.2, false, true);
    zoom->setZoomFactor(0.2, false, false);
    const Rect shown = zoom->editRect();
    ASSERT_LT(shown.width(), 0.6);
    ASSERT_NE(controller->viewMode(), GMWindowController::Live);
    controller->settingsController()->brushSizeSlider()->setValue(0.25);
    const auto mask = chain->brushPathImageAtIndex(1);
    const qsizetype snapshots = mask->segmentImageNames().size();
    const auto draw = [&] { zoom->contentLayer()->displayIfNeeded(); };
    controller->drawSenderBrushDownAtPoint(zoom, Point(0.15, 0.5));
    draw();
    for (double x = 0.16; x <= 0.25; x += 0.01) {
        controller->drawSenderBrushDraggedAtPoint(zoom, Point(x, 0.5));
        draw();
    }
    controller->drawSenderBrushUpAtPoint(zoom, Point(0.25, 0.5));
    ASSERT_TRUE(settleUntil([&] { return mask->segmentImageNames().size() > snapshots; }));

    // The mask's value at a point of the photo normalised to 0..1 (y up).
    const pf::Image painted = mask->contentContainer()->imageContainer()->image();
    const auto valueAt = [&](double x, double y) {
        const auto pixel = pf::RenderContext::shared()->render(
            painted, Rect(std::floor(x * 640), std::floor(y * 480), 1, 1), pf::Bitmap::Format::RGBAf);
        float rgba[4] = {0, 0, 0, 0};
        if (pixel)
            pixel->pixel(0, 0, rgba);
        return rgba[0];
    };
    const Point under(shown.minX() + 0.2 * shown.width(), shown.minY() + 0.5 * shown.height());
    EXPECT_GT(valueAt(under.x, under.y), 0.3) << "painted under the pointer";
    EXPECT_LT(valueAt(0.2, 0.5), 0.01) << "not where the whole photo's mapping would have put it";
    controller.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// In 3D every card stays inside the window with room above it, whatever the photo's shape and size and
// the window's (the rear card reached the top edge).
TEST(WindowControllerLayout, TheCardsIn3DKeepClearOfTheWindowsTopEdge)
{
    pf::SteppedClock clock;
    struct Case
    {
        pf::Size window;
        int photoWidth, photoHeight;
    };
    const Case cases[] = {
        {{1280, 780}, 512, 512},   {{1280, 780}, 4000, 4000},  {{1280, 780}, 3000, 4000},
        {{1600, 1000}, 512, 768},  {{1000, 700}, 12000, 9000}, {{1900, 1000}, 4000, 3000},
        {{1000, 600}, 3840, 2160},
    };
    for (const Case& c : cases) {
        auto controller = std::make_unique<GMWindowController>();
        controller->setBlueprintCatalog(&chaintest::catalog());
        controller->setRendererFactory([](std::shared_ptr<PhotoToolChain> chain) {
            return std::make_unique<RecordingRenderer>(std::move(chain));
        });
        ASSERT_TRUE(controller->loadWindow());
        controller->window()->setContentSize(c.window);
        controller->setOriginalImage(chaintest::photo(c.photoWidth, c.photoHeight));
        auto chain = controller->toolChain();
        for (int i = 0; i < 3; ++i)
            chain->insertPhotoToolWithBlueprint(
                editortest::blueprint(QStringLiteral("Wash"), QStringLiteral("brush")), std::nullopt,
                chain->numberOfTools() - 1);
        controller->layerBrowser()->setShow3DView(true);
        for (int i = 0; i < 30; ++i) {
            clock.advance(0.1);
            QCoreApplication::processEvents();
        }
        const double top = controller->windowContentView()->bounds().height();
        SCOPED_TRACE(QStringLiteral("%1 x %2 photo in %3 x %4")
                         .arg(c.photoWidth)
                         .arg(c.photoHeight)
                         .arg(c.window.width)
                         .arg(c.window.height)
                         .toStdString());
        for (const auto& border : controller->layerBrowser()->borders()) {
            const Rect seen = border->convertRectToLayer(border->bounds(), nullptr);
            EXPECT_LE(seen.maxY(), top - OVLayerBrowser::kTopClearance + 0.5);
            EXPECT_GT(seen.height(), 0.55 * controller->zoomView()->zoomLayer()->frame().height())
                << "no smaller than it needs to be";
        }
    }
}

namespace {

class KeysDocument : public pf::Document
{
public:
    bool readFromURL(const QString&, const QString&, QString*) override { return true; }
    bool writeToURL(const QString&, const QString&, SaveOperation, const QString&, QString*) override
    {
        return true;
    }
};

} // namespace

// Mended: Alt held alone switched the panel to the Eraser, and only a modifier change seen by this window
// switched it back; after Alt+Tab away and back (Alt released while another window or program had the
// keys) the panel read "Eraser" and the next stroke erased. The Eraser holds only while Alt alone is held
// here: whenever the keys leave or come back, the chosen brush is back. Real key presses and releases go
// through the event router to whichever window has the keys.
TEST_F(WindowControllerTest, TheEraserLastsOnlyWhileAltIsHeldInTheWindow)
{
    auto document = std::make_shared<KeysDocument>();
    controller = std::make_unique<GMWindowController>();
    controller->setBlueprintCatalog(&chaintest::catalog());
    controller->setRendererFactory([this](std::shared_ptr<PhotoToolChain> chain) {
        auto recording = std::make_unique<RecordingRenderer>(std::move(chain));
        renderer = recording.get();
        return recording;
    });
    controller->setDocument(document);
    ASSERT_TRUE(controller->loadWindow());
    controller->setUndoManager(undo);
    controller->setOriginalImage(chaintest::photo(640, 480));
    chain = controller->toolChain();
    settle();
    pf::Window* editor = controller->window();
    document->setWindow(editor);
    pf::Window other(pf::Rect(700, 0, 200, 150));
    editor->makeKeyAndOrderFront();
    addLayer(editortest::blueprint(QStringLiteral("Smooth"), QStringLiteral("smartBrush,brush,eraser")));
    GMSettingsController* panel = controller->settingsController();
    ASSERT_EQ(panel->face(), GMSettingsController::Face::Controls);

    enum Step
    {
        AltDownHere,
        AltUpHere,
        AltDownThere,
        AltUpThere,
        KeysAway,
        KeysBack,
    };
    struct Case
    {
        const char* what;
        std::vector<Step> steps;
        const char* reads; // the panel's tool after the steps
    };
    const Case cases[] = {
        {"Alt held here erases", {AltDownHere}, "Eraser"},
        {"Alt released here brings the brush back", {AltDownHere, AltUpHere}, "Brush"},
        {"Alt+Tab away: the keys leave while Alt is held", {AltDownHere, KeysAway}, "Brush"},
        {"Alt released in the other window, then back",
         {AltDownHere, KeysAway, AltUpThere, KeysBack},
         "Brush"},
        {"Alt+Tab back: the keys return while Alt is still held", {AltDownHere, KeysAway, KeysBack}, "Brush"},
        {"and its release here keeps the brush", {AltDownHere, KeysAway, KeysBack, AltUpHere}, "Brush"},
        {"Alt pressed elsewhere and held into the window", {KeysAway, AltDownThere, KeysBack}, "Brush"},
        {"a new press after coming back erases again",
         {AltDownHere, KeysAway, KeysBack, AltUpHere, AltDownHere},
         "Eraser"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        editor->makeKeyAndOrderFront();
        panel->setToolState(1); // "Brush" chosen
        QCoreApplication::processEvents();
        for (Step step : c.steps) {
            switch (step) {
            case AltDownHere:
                QTest::keyPress(editor->windowHandle(), Qt::Key_Alt);
                break;
            case AltUpHere:
                QTest::keyRelease(editor->windowHandle(), Qt::Key_Alt);
                break;
            case AltDownThere:
                QTest::keyPress(other.windowHandle(), Qt::Key_Alt);
                break;
            case AltUpThere:
                QTest::keyRelease(other.windowHandle(), Qt::Key_Alt);
                break;
            case KeysAway:
                other.makeKeyAndOrderFront();
                break;
            case KeysBack:
                editor->makeKeyAndOrderFront();
                break;
            }
            QCoreApplication::processEvents();
        }
        EXPECT_EQ(panel->brushTextField()->text(), QString::fromLatin1(c.reads));
        EXPECT_EQ(panel->brush().type, QLatin1String(c.reads) == "Eraser" ? OVBrush::Eraser : OVBrush::Draw);
        // Leave no key down for the next case.
        QTest::keyRelease(editor->windowHandle(), Qt::Key_Alt);
        QTest::keyRelease(other.windowHandle(), Qt::Key_Alt);
    }
    document->setWindow(nullptr);
}

// Mended: a photo that the fitted canvas enlarges four times or more was given the whole canvas, and the
// canvas stretched it to its own shape (a 150 x 50 photo's round spot became a tall oval). Every photo is
// shown in its proportions, whole and centred when it fits, at real window sizes. Mended too: on a canvas
// wider than the largest area shown (2000 points: windows of large screens) the photo stood off centre,
// to the left.
TEST_F(WindowControllerTest, EveryPhotoKeepsItsProportionsOnTheCanvas)
{
    pf::Window* window = controller->window();
    const Size windows[] = {Size(900, 560), Size(1280, 800), Size(1920, 1080), Size(2560, 1440),
                            Size(3840, 2160)};
    const Size photos[] = {Size(150, 50),  Size(120, 90),  Size(50, 150),  Size(64, 64),
                           Size(300, 200), Size(1000, 40), Size(640, 480), Size(30, 900)};
    for (const Size windowSize : windows) {
        window->setContentSize(windowSize);
        QCoreApplication::processEvents();
        for (const Size photo : photos) {
            SCOPED_TRACE(testing::Message() << "window " << windowSize.width << " x " << windowSize.height
                                            << ", photo " << photo.width << " x " << photo.height);
            controller->setOriginalImage(chaintest::photo(int(photo.width), int(photo.height)));
            settle();
            OVZoomView* zoom = controller->zoomView();
            zoom->setZoomFactor(1);
            const Rect shown = zoom->zoomLayer()->frame();
            const Rect edit = zoom->editRect();
            ASSERT_GT(shown.width(), 0);
            ASSERT_GT(shown.height(), 0);
            // The photo's pixels come out square: its displayed width over height is its own.
            const double displayed = (shown.width() / edit.width()) / (shown.height() / edit.height());
            EXPECT_NEAR(displayed / (photo.width / photo.height), 1.0, 0.01);
            // Fitted: the whole photo, touching the free area on one side, centred on the other.
            EXPECT_EQ(edit, Rect(0, 0, 1, 1));
            const Rect area = zoom->bounds().insetBy(zoom->margin().width, zoom->margin().width);
            EXPECT_NEAR(shown.midX(), area.midX(), 0.5);
            EXPECT_NEAR(shown.midY(), area.midY() + zoom->margin().height - zoom->margin().width, 0.5);
            EXPECT_TRUE(std::abs(shown.width() - std::min(area.width(), 2000.0)) < 0.5 ||
                        std::abs(shown.height() - std::min(area.height(), 2000.0)) < 0.5);
        }
    }
}
