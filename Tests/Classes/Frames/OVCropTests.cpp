#include "Classes/Frames/OVCropController.h"
#include "Classes/Frames/OVCropView.h"
#include "Classes/Framework/Toolkit/OVCursorStack.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/UI/CursorStack.h"
#include "Platform/UI/Cursors.h"
#include "Platform/UI/Event.h"
#include "Platform/UI/Window.h"
#include "Tests/PointerParking.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QTextBlock>
#include <QTextEdit>
#include <cmath>
#include <gtest/gtest.h>

namespace {

void expectRect(const pf::Rect& actual, const pf::Rect& expected, double tolerance = 1e-9)
{
    EXPECT_NEAR(actual.minX(), expected.minX(), tolerance) << ::testing::PrintToString(actual);
    EXPECT_NEAR(actual.minY(), expected.minY(), tolerance) << ::testing::PrintToString(actual);
    EXPECT_NEAR(actual.width(), expected.width(), tolerance) << ::testing::PrintToString(actual);
    EXPECT_NEAR(actual.height(), expected.height(), tolerance) << ::testing::PrintToString(actual);
}

pf::Event mouse(pf::EventType type, OVCropView& view, pf::Point pointInView)
{
    return pf::Event::mouseEvent(type, view.convertPointToView(pointInView, nullptr), 0, 0, view.window());
}

// The crop ratio measured in picture units.
double pictureRatio(const OVCropView& view)
{
    const pf::Rect crop = view.cropRectInView();
    return crop.width() / crop.height();
}

// The mouse buttons as the test says they are.
struct Buttons
{
    unsigned pressed = 0;
    Buttons()
    {
        pf::Event::setPressedMouseButtonsProvider([this] { return pressed; });
    }
    ~Buttons() { pf::Event::setPressedMouseButtonsProvider(nullptr); }
};

} // namespace

TEST(OVCropView, ActiveAreaIsThePictureFittedAndCentred)
{
    struct Case
    {
        pf::Size view;
        double ratio;
        pf::Rect expected;
    } cases[] = {
        {{300, 300}, 1.5, {0, 50, 300, 200}}, // wider picture: full width, centred vertically
        {{400, 200}, 1.5, {50, 0, 300, 200}}, // wider view: full height, centred horizontally
        {{300, 200}, 1.5, {0, 0, 300, 200}},  // same proportions
        {{300, 300}, 0, {150, 150, 0, 0}},    // no picture yet
        {{300, 300}, NAN, {150, 150, 0, 0}},
    };
    for (const Case& c : cases) {
        OVCropView view(pf::Rect(0, 0, c.view.width, c.view.height));
        view.setActiveAreaRatio(c.ratio);
        expectRect(view.activeArea(), c.expected);
    }
    // The area follows a new frame.
    OVCropView view(pf::Rect(0, 0, 300, 300));
    view.setActiveAreaRatio(1.5);
    view.setFrame(pf::Rect(0, 0, 600, 300));
    expectRect(view.activeArea(), pf::Rect(75, 0, 450, 300));
}

TEST(OVCropView, RatioChangesKeepTheRectangleInsideAtTheAskedRatio)
{
    struct Case
    {
        double pictureRatio;
        pf::Rect start;
        double cropRatio;
        pf::Rect expected;
    } cases[] = {
        {1.5, {0, 0, 1, 1}, 2, {0, 0.125, 1, 0.75}},
        {1.5, {0, 0, 1, 1}, 1.5, {0, 0, 1, 1}},
        {1.5, {0, 0, 1, 1}, 0.5, {1.0 / 3, 0, 1.0 / 3, 1}},
        // Keeping the width would make the height 2.5: both shrink until the height fits.
        {3, {0, 0, 1, 1}, 1.2, {0.3, 0, 0.4, 1}},
        // Keeping the height would make the width 2.25 of a tall picture.
        {0.5, {0, 0, 1, 1}, 0.9, {0, 0.5 - 0.5 / 1.8, 1, 1 / 1.8}},
        // A small rectangle near an edge is pulled back inside.
        {1, {0.8, 0.8, 0.2, 0.2}, 0.5, {0.85, 0.8, 0.1, 0.2}},
    };
    for (const Case& c : cases) {
        OVCropView view(pf::Rect(0, 0, 600, 600));
        view.setActiveAreaRatio(c.pictureRatio);
        view.setCropRect(c.start);
        view.setCropRatio(c.cropRatio);
        const pf::Rect crop = view.cropRect();
        EXPECT_NEAR(pictureRatio(view), c.cropRatio, 1e-9) << c.pictureRatio << " " << c.cropRatio;
        EXPECT_GE(crop.minX(), -1e-12);
        EXPECT_GE(crop.minY(), -1e-12);
        EXPECT_LE(crop.maxX(), 1 + 1e-12);
        EXPECT_LE(crop.maxY(), 1 + 1e-12);
        expectRect(crop, c.expected);
    }
}

TEST(OVCropView, RatiosThatAreNotPositiveAreRefused)
{
    OVCropView view(pf::Rect(0, 0, 300, 300));
    view.setActiveAreaRatio(1.5);
    view.setCropRatio(2);
    const pf::Rect before = view.cropRect();
    for (double ratio : {0.0, -1.0, double(NAN), double(INFINITY)}) {
        view.setCropRatio(ratio);
        EXPECT_EQ(view.cropRatio(), 2);
        expectRect(view.cropRect(), before);
    }
}

TEST(OVCropView, DraggingMovesTheRectangleAndStopsAtTheEdges)
{
    Buttons buttons;
    pf::Window window(pf::Rect(100, 100, 400, 400));
    auto* view = new OVCropView(pf::Rect(0, 0, 300, 300));
    window.contentView()->addSubview(view);
    view->setActiveAreaRatio(1.5); // active area (0, 50, 300, 200)
    view->setCropRect(pf::Rect(0, 0, 1, 1));
    view->setCropRatio(2); // (0, 0.125, 1, 0.75)

    // Up as far as it goes: its bottom edge stops at 0.25.
    view->mouseDown(mouse(pf::EventType::LeftMouseDown, *view, {150, 150}));
    EXPECT_TRUE(view->isDragging());
    view->mouseDragged(mouse(pf::EventType::LeftMouseDragged, *view, {150, 400}));
    expectRect(view->cropRect(), pf::Rect(0, 0.25, 1, 0.75));
    // Back down by the pointer's movement: 20 points of a 200-point high picture.
    view->mouseDragged(mouse(pf::EventType::LeftMouseDragged, *view, {150, 130}));
    expectRect(view->cropRect(), pf::Rect(0, 0.025, 1, 0.75));
    // Below the bottom: stops at 0.
    view->mouseDragged(mouse(pf::EventType::LeftMouseDragged, *view, {150, -500}));
    expectRect(view->cropRect(), pf::Rect(0, 0, 1, 0.75));
    view->mouseUp(mouse(pf::EventType::LeftMouseUp, *view, {150, -500}));
    EXPECT_FALSE(view->isDragging());

    // A press outside the picture (the bar above it) moves nothing.
    view->setCropRect(pf::Rect(0, 0, 1, 1));
    view->setCropRatio(1.5);
    const pf::Rect before = view->cropRect();
    view->mouseDown(mouse(pf::EventType::LeftMouseDown, *view, {150, 280}));
    EXPECT_FALSE(view->isDragging());
    view->mouseDragged(mouse(pf::EventType::LeftMouseDragged, *view, {10, 10}));
    expectRect(view->cropRect(), before);

    // Sideways by 30 points of a 300-point wide picture, from a smaller rectangle.
    view->setCropRect(pf::Rect(0.25, 0.25, 0.5, 0.5));
    view->mouseDown(mouse(pf::EventType::LeftMouseDown, *view, {60, 60}));
    view->mouseDragged(mouse(pf::EventType::LeftMouseDragged, *view, {90, 60}));
    expectRect(view->cropRect(), pf::Rect(0.35, 0.25, 0.5, 0.5));
    view->mouseUp(mouse(pf::EventType::LeftMouseUp, *view, {90, 60}));
}

TEST(OVCropView, WithoutAPictureNothingIsComputed)
{
    Buttons buttons;
    pf::Window window(pf::Rect(100, 100, 400, 400));
    auto* view = new OVCropView(pf::Rect(0, 0, 300, 300));
    window.contentView()->addSubview(view);
    view->setCropRatio(2);
    expectRect(view->cropRect(), pf::Rect(0, 0, 1, 1));
    view->mouseDown(mouse(pf::EventType::LeftMouseDown, *view, {150, 150}));
    view->mouseDragged(mouse(pf::EventType::LeftMouseDragged, *view, {200, 200}));
    view->mouseUp(mouse(pf::EventType::LeftMouseUp, *view, {200, 200}));
    expectRect(view->cropRect(), pf::Rect(0, 0, 1, 1));
    // A view without size has no picture area either.
    OVCropView empty(pf::Rect(0, 0, 0, 0));
    empty.setActiveAreaRatio(1.5);
    empty.setCropRatio(0.5);
    expectRect(empty.cropRect(), pf::Rect(0, 0, 1, 1));
}

TEST(OVCropView, HandsOnTheWindowsCursorStack)
{
    Buttons buttons;
    pf::Window window(pf::Rect(100, 100, 400, 400));
    window.show();
    auto* view = new OVCropView(pf::Rect(0, 0, 300, 300));
    window.contentView()->addSubview(view);
    view->setActiveAreaRatio(1.5);
    view->setCropRect(pf::Rect(0.25, 0.25, 0.5, 0.5)); // (75, 100)-(225, 200) in the view
    const QVariant key = pf::CursorStack::key(view);
    const auto top = [&]() -> std::optional<Qt::CursorShape> {
        const OVCursorStack* stack = OVCursorStack::cursorStackForWindow(&window);
        if (!stack || stack->keys().empty() || stack->keys().front() != key)
            return std::nullopt;
        return window.windowCursor() ? std::optional(window.windowCursor()->shape()) : std::nullopt;
    };
    // Moved as a hand moves it: where there is no display, the last pointer event says where it is, so
    // a test before this one that clicked elsewhere must not decide it.
    const auto pointerAt = [&](pf::Point point) {
        movePointer(window.windowHandle(), view->mapTo(&window, view->pointToWidget(point).toPoint()));
    };

    pointerAt({150, 150});
    buttons.pressed = 1;
    view->mouseDown(mouse(pf::EventType::LeftMouseDown, *view, {150, 150}));
    EXPECT_EQ(top(), pf::Cursors::closedHand().shape());
    // Released inside the rectangle: the open hand.
    buttons.pressed = 0;
    view->mouseUp(mouse(pf::EventType::LeftMouseUp, *view, {150, 150}));
    EXPECT_EQ(top(), pf::Cursors::openHand().shape());
    // Released outside it: the view's cursor goes.
    buttons.pressed = 1;
    view->mouseDown(mouse(pf::EventType::LeftMouseDown, *view, {150, 150}));
    EXPECT_EQ(top(), pf::Cursors::closedHand().shape());
    pointerAt({10, 10});
    buttons.pressed = 0;
    view->mouseUp(mouse(pf::EventType::LeftMouseUp, *view, {10, 10}));
    const OVCursorStack* stack = OVCursorStack::cursorStackForWindow(&window);
    ASSERT_NE(stack, nullptr);
    EXPECT_TRUE(std::find(stack->keys().begin(), stack->keys().end(), key) == stack->keys().end());

    // Leaving the window takes the view's cursor with it.
    view->mouseEntered(mouse(pf::EventType::MouseEntered, *view, {150, 150}));
    ASSERT_EQ(top(), pf::Cursors::openHand().shape());
    view->removeFromSuperview();
    const std::vector<QVariant> keys = OVCursorStack::cursorStackForWindow(&window)->keys();
    EXPECT_TRUE(std::find(keys.begin(), keys.end(), key) == keys.end());
    delete view;
}

TEST(OVCropController, TheRectangleIsTheViewsAndTheDescriptionIsRead)
{
    OVCropController controller;
    // Before the window: kept, and handed to the view when it comes.
    controller.setCropRect(pf::Rect(0.1, 0.1, 0.5, 0.5));
    controller.setImage(QImage(30, 20, QImage::Format_RGB32)); // nothing yet
    ASSERT_NE(controller.window(), nullptr);
    OVCropView* view = controller.cropView();
    ASSERT_NE(view, nullptr);
    expectRect(view->cropRect(), pf::Rect(0.1, 0.1, 0.5, 0.5));
    EXPECT_TRUE(controller.image().isNull());

    QImage picture(300, 200, QImage::Format_RGB32);
    picture.fill(Qt::gray);
    controller.setImage(picture);
    EXPECT_EQ(controller.image().size(), picture.size());
    EXPECT_DOUBLE_EQ(view->activeAreaRatio(), 1.5);
    controller.setCropRatio(1.5);
    EXPECT_DOUBLE_EQ(controller.cropRatio(), 1.5);
    // What the view changes, the controller reads, and the other way round.
    view->setCropRect(pf::Rect(0.2, 0.3, 0.4, 0.4));
    expectRect(controller.cropRect(), pf::Rect(0.2, 0.3, 0.4, 0.4));
    controller.setCropRect(pf::Rect(0, 0, 1, 1));
    expectRect(view->cropRect(), pf::Rect(0, 0, 1, 1));

    const QString path =
        pf::Bundle::main().pathForResource(QStringLiteral("CropDescription"), QStringLiteral("rtf"));
    ASSERT_FALSE(path.isEmpty());
    ASSERT_TRUE(controller.setDescriptionFile(path));
    QTextDocument* text = controller.descriptionView()->document();
    EXPECT_GE(text->blockCount(), 2);
    bool bold = false, coloured = false;
    for (QTextBlock block = text->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            bold |= format.fontWeight() >= QFont::Bold;
            const QColor colour = format.foreground().color();
            coloured |= colour.red() > 200 && colour.blue() < 100;
        }
    EXPECT_TRUE(bold);
    EXPECT_TRUE(coloured);
    EXPECT_FALSE(controller.setDescriptionFile(QStringLiteral("/nonexistent/CropDescription.rtf")));
    EXPECT_TRUE(text->isEmpty());
}

TEST(OVCropController, SheetIsModalToItsWindowAndReportsOnce)
{
    pf::Window parent(pf::Rect(100, 100, 800, 600));
    parent.show();
    OVCropController controller;
    std::vector<bool> answers;
    controller.beginSheetForWindow(&parent, [&](bool accepted) { answers.push_back(accepted); });
    ASSERT_TRUE(controller.isSheetUp());
    pf::Window* sheet = controller.loadedWindow();
    EXPECT_EQ(sheet->parentWindow(), &parent);
    // It covers the whole content, so no click reaches the window below.
    expectRect(sheet->frame(), parent.convertRectToScreen(pf::Rect(0, 0, 800, parent.contentHeight())));
    // A second presentation ends the first as cancelled.
    controller.beginSheetForWindow(&parent, [&](bool accepted) { answers.push_back(accepted); });
    EXPECT_EQ(answers, std::vector<bool>{false});
    controller.endSheet(true);
    controller.endSheet(true);
    EXPECT_EQ(answers, (std::vector<bool>{false, true}));
    EXPECT_EQ(sheet->parentWindow(), nullptr);

    // Escape and Return answer it, also from the window beneath; once it is down they are the window's.
    const auto press = [](QWidget* receiver, int key) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(receiver, &event);
    };
    controller.beginSheetForWindow(&parent, [&](bool accepted) { answers.push_back(accepted); });
    press(&parent, Qt::Key_Escape);
    controller.beginSheetForWindow(&parent, [&](bool accepted) { answers.push_back(accepted); });
    press(sheet, Qt::Key_Return);
    press(&parent, Qt::Key_Return);
    EXPECT_EQ(answers, (std::vector<bool>{false, true, false, true}));
}

TEST(OVCropController, PixelRectangleCountsRowsFromTheTop)
{
    struct Case
    {
        pf::Rect unit;
        QSize picture;
        QRect expected;
    } cases[] = {
        {{0, 0, 1, 1}, {300, 200}, {0, 0, 300, 200}},
        {{0, 0.25, 1, 0.75}, {300, 200}, {0, 0, 300, 150}},
        {{0.5, 0, 0.5, 0.5}, {300, 200}, {150, 100, 150, 100}},
        {{1.0 / 3, 0, 1.0 / 3, 1}, {300, 200}, {100, 0, 100, 200}},
        {{-0.1, -0.1, 1.5, 1.5}, {10, 10}, {0, 0, 10, 10}},
        {{0, 0, 1, 1}, {0, 10}, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(OVCropController::pixelRectForCropRect(c.unit, c.picture), c.expected)
            << ::testing::PrintToString(c.unit);
}
