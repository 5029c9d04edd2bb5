// Shows the toolkit's decorative and handle views, a transition and the image previewer in real
// windows, drives them with synthesised input and saves a screenshot after each step so that a person
// can look at them; a step whose effect is not what it should be fails the run. Run under Xvfb by
// `make test`:
//   toolkit-views-gallery <output folder>
#include "Classes/Framework/Toolkit/OV3DView.h"
#include "Classes/Framework/Toolkit/OVAnimator.h"
#include "Classes/Framework/Toolkit/OVChildSupportWindow.h"
#include "Classes/Framework/Toolkit/OVColumnView.h"
#include "Classes/Framework/Toolkit/OVGlassView.h"
#include "Classes/Framework/Toolkit/OVImagePreviewer.h"
#include "Classes/Framework/Toolkit/OVImagePrintView.h"
#include "Classes/Framework/Toolkit/OVLineView.h"
#include "Classes/Framework/Toolkit/OVOverlayScrollView.h"
#include "Classes/Framework/Toolkit/OVPointingView.h"
#include "Classes/Framework/Toolkit/OVResizeView.h"
#include "Classes/Framework/Toolkit/OVResizeViewDelegate.h"
#include "Classes/Framework/Toolkit/OVRotationView.h"
#include "Classes/Framework/Toolkit/OVRotationViewDelegate.h"
#include "Classes/Framework/Toolkit/OVRoundedRect.h"
#include "Classes/Framework/Toolkit/OVScroller.h"
#include "Classes/Framework/Toolkit/OVSingleButtonPanel.h"
#include "Classes/Framework/Toolkit/OVSingleButtonPanelDelegate.h"
#include "Classes/Framework/Toolkit/OVTabView.h"
#include "Classes/Framework/Toolkit/OVTestView.h"
#include "Classes/Framework/Toolkit/OVTextPanel.h"
#include "Classes/Framework/Toolkit/OVTextPanelDelegate.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/Layer.h"
#include "Platform/UI/LayerHostView.h"
#include "Platform/UI/SteppedClock.h"
#include "Platform/UI/Transaction.h"
#include "Platform/UI/View.h"
#include "Platform/UI/Window.h"
#include "Tests/Classes/Framework/Toolkit/StoredTextPanelOwner.h"
#include "Tests/Gallery/GalleryShots.h"
#include "Tests/Gallery/PatternedRotation.h"
#include "Tests/GallerySupport.h"

#include <QApplication>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

using pf::Point, pf::Rect, pf::Size;

namespace {

using namespace GalleryShots;

const QColor canvas(34, 36, 40);

class Picture : public pf::View
{
public:
    Picture(const Rect& frame, QImage image) : View(frame), m_image(std::move(image)) {}
    // Covering the bounds with the picture's own proportions, cropped at the sides or top and bottom.
    void drawRect(QPainter& painter, const Rect&) override
    {
        const Rect b = bounds();
        const double w = m_image.width(), h = m_image.height();
        if (!(b.width() > 0) || !(b.height() > 0) || !(w > 0) || !(h > 0))
            return;
        const double scale = std::max(b.width() / w, b.height() / h);
        const double sw = b.width() / scale, sh = b.height() / scale;
        pf::drawImage(painter, m_image, b, Rect((w - sw) / 2, (h - sh) / 2, sw, sh));
    }

private:
    QImage m_image;
};

pf::Window* darkWindow(const Rect& frame, const QString& title)
{
    auto* window = new pf::Window(frame, pf::Window::Titled | pf::Window::Resizable);
    window->setTitle(title);
    window->setBackgroundColor(canvas);
    return window;
}

void mouse(pf::View* view, pf::EventType type, Point at)
{
    pf::Window* window = view->window();
    view->deliverMouseEvent(
        pf::Event::mouseEvent(type, view->convertPointToView(at, nullptr), 0, 0, window, 1));
}

// Every decorative view, at 1x and 2x.
void decorativeStep()
{
    pf::Window* window = darkWindow(Rect(60, 300, 760, 420), QStringLiteral("Decorative views"));
    pf::View* content = window->contentView();
    const int sides[] = {OVPointingView::Left, OVPointingView::Top, OVPointingView::Right,
                         OVPointingView::Bottom};
    double x = 20;
    for (int side : sides) {
        auto* pointing = new OVPointingView(Rect(x, 270, 160, 120));
        pointing->setPointingSide(side);
        pointing->setDistance(60);
        content->addSubview(pointing);
        x += 180;
    }
    x = 20;
    for (unsigned position : {1u, 2u, 4u, 8u, 1u | 4u}) {
        auto* tab = new OVTabView(Rect(x, 170, 100, 70));
        tab->setPosition(position);
        content->addSubview(tab);
        x += 118;
    }
    auto* rounded = new OVRoundedRect(Rect(20, 20, 200, 120));
    rounded->setTopFillColorName(QStringLiteral("0.35 0.38 0.44 0.9"));
    rounded->setBottomFillColorName(QStringLiteral("0.18 0.19 0.22 0.9"));
    rounded->setTopStrokeColorName(QStringLiteral("1 1 1 0.5"));
    content->addSubview(rounded);
    auto* glass = new OVGlassView(Rect(250, 20, 200, 120));
    glass->setColorName(QStringLiteral("0.1 0.2 0.35 1"));
    content->addSubview(glass);
    content->addSubview(new OVTestView(Rect(480, 20, 120, 120)));
    // Column shades: diagonal, then lit from the left.
    for (int shade : {0, 1}) {
        auto* column = new OVColumnView(Rect(620 + shade * 70, 20, 60, 220));
        column->setShade(shade);
        content->addSubview(column);
    }
    window->show();
    check(QTest::qWaitForWindowExposed(window), "the decorative window shows");
    settle();
    save(GalleryShots::screenshot(window), QStringLiteral("01-decorative-views"));
    save(content->snapshot(2), QStringLiteral("02-decorative-views-2x"));
    delete window;
}

struct Growing : OVResizeViewDelegate
{
    pf::View* target = nullptr;
    Rect start;
    void resizeViewDidResize(OVResizeView* view, unsigned sides, Size by, int state) override
    {
        if (state == OVResizeView::Pressed)
            start = view->frame();
        if (state != OVResizeView::Dragged)
            return;
        Rect f = view->frame();
        if (sides & OVResizeView::Left)
            f.origin.x -= by.width;
        if (sides & (OVResizeView::Left | OVResizeView::Right))
            f.size.width += by.width;
        if (sides & OVResizeView::Bottom)
            f.origin.y -= by.height;
        if (sides & (OVResizeView::Top | OVResizeView::Bottom))
            f.size.height += by.height;
        view->setFrame(f);
        if (target)
            target->setFrame(f.insetBy(5, 5));
    }
};

// The line, print and overlay scroll views.
void lineAndPrintStep(const QImage& portrait)
{
    pf::Window* window = darkWindow(Rect(60, 300, 760, 360), QStringLiteral("Line, print and scroll views"));
    pf::View* content = window->contentView();
    auto* lines = new OVLineView(Rect(20, 20, 220, 320));
    lines->setColor(QColor(88, 148, 230));
    lines->addLine(OVLine(Point(0, 0), Point(1, 1)));
    lines->addLine(OVLine(Point(0, 1.0 / 3), Point(1, 1.0 / 3)));
    lines->addLine(OVLine(Point(0, 2.0 / 3), Point(1, 2.0 / 3)));
    lines->addLine(OVLine(Point(0.5, 0), Point(0.5, 1)));
    QPen pen(Qt::black, 2);
    pen.setDashPattern({4, 2});
    lines->setLinePrototype(pen);
    content->addSubview(lines);
    auto* print = new OVImagePrintView(Rect(260, 20, 220, 320));
    print->setImage(portrait.transformed(QTransform().rotate(90)));
    content->addSubview(print);
    auto* scrollView = new OVOverlayScrollView(Rect(500, 20, 240, 320));
    scrollView->setVerticalScroller(new OVScroller(Qt::Vertical));
    scrollView->setScrollerKnobStyle(OVScroller::KnobStyle::Light);
    scrollView->setDocumentView(new Picture(Rect(0, 0, 240, 480), portrait));
    content->addSubview(scrollView);
    window->show();
    check(QTest::qWaitForWindowExposed(window), "the line window shows");
    settle();
    save(GalleryShots::screenshot(window), QStringLiteral("03-line-print-overlay-scroll"));
    delete window;
}

// Portrait tiles moving from two rows into one.
void transitionStep(const QImage& portrait, pf::SteppedClock* clock)
{
    pf::Window* window = darkWindow(Rect(60, 300, 760, 420), QStringLiteral("Transition"));
    auto* host = new pf::LayerHostView(Rect(0, 0, 760, 420));
    window->contentView()->addSubview(host);
    std::vector<std::shared_ptr<pf::Layer>> tiles;
    {
        const pf::Transaction::Scope atOnce(true);
        for (int i = 0; i < 6; ++i) {
            auto tile = pf::Layer::create();
            tile->setFrame(Rect(40 + (i % 3) * 230, 230 - (i / 3) * 190, 200, 160));
            tile->setContents(portrait);
            tile->setBorderWidth(2);
            tile->setBorderColor(QColor(230, 232, 236));
            host->layer()->addSublayer(tile);
            tiles.push_back(tile);
        }
    }
    window->show();
    check(QTest::qWaitForWindowExposed(window), "the transition window shows");
    settle();
    save(GalleryShots::screenshot(window), QStringLiteral("04-transition-before"));
    auto animator = OVAnimator::create();
    animator->setHideLayers(tiles);
    animator->recordStartLayers(tiles, host);
    OVAnimator* recorder = animator.get();
    bool done = false;
    animator->animateWithEndStateBlock(
        [&] {
            const pf::Transaction::Scope atOnce(true);
            for (int i = 0; i < 6; ++i)
                tiles[size_t(i)]->setFrame(Rect(20 + i * 122, 160, 112, 90));
            recorder->recordEndLayers(tiles, host);
        },
        [&] { done = true; });
    const auto step = [clock](double seconds) {
        clock->advance(seconds);
        QApplication::processEvents();
    };
    step(0);
    step(0);
    step(0.5);
    settle(50);
    save(GalleryShots::screenshot(window), QStringLiteral("05-transition-halfway"));
    step(0.6);
    step(0);
    step(0);
    settle(50);
    check(done, "the transition finishes");
    save(GalleryShots::screenshot(window), QStringLiteral("06-transition-after"));
    delete window;
}

struct Turning : OVRotationViewDelegate
{
    double last = 0;
    void rotationViewDidRotate(OVRotationView*, double angle, bool) override { last = angle; }
    bool supportsResize() const override { return true; }
};

// The resize and rotation handles over the portrait.
void handlesStep(const QImage& portrait)
{
    pf::Window* window = darkWindow(Rect(60, 200, 760, 520), QStringLiteral("Handles"));
    pf::View* content = window->contentView();
    auto* picture = new Picture(Rect(65, 95, 250, 320), portrait);
    content->addSubview(picture);
    auto* resize = new OVResizeView(Rect(60, 90, 260, 330));
    resize->setTabWidth(60);
    resize->setBottomTabWidth(40);
    Growing growing;
    growing.target = picture;
    resize->setDelegate(&growing);
    content->addSubview(resize);

    auto* turned = new Picture(Rect(420, 110, 300, 300), portrait);
    content->addSubview(turned);
    auto* rotation = new OVRotationView(Rect(400, 90, 340, 340));
    GalleryShots::showPatternedSurroundings(*rotation);
    Turning turning;
    rotation->setDelegate(&turning);
    content->addSubview(rotation);
    window->show();
    check(QTest::qWaitForWindowExposed(window), "the handles window shows");
    mouse(resize, pf::EventType::MouseMoved, Point(257, 165));
    check(resize->currentCursor().has_value(), "the right edge shows a resize cursor");
    mouse(rotation, pf::EventType::MouseMoved, Point(170 + rotation->radius(), 170));
    settle();
    save(GalleryShots::screenshot(window), QStringLiteral("07-handles-hovered"));
    mouse(resize, pf::EventType::LeftMouseDown, Point(257, 327));
    mouse(resize, pf::EventType::LeftMouseDragged, Point(287, 357));
    mouse(resize, pf::EventType::LeftMouseUp, Point(287, 357));
    const Point from(170 + rotation->radius() * std::cos(0.6), 170 + rotation->radius() * std::sin(0.6));
    mouse(rotation, pf::EventType::LeftMouseDown, from);
    mouse(rotation, pf::EventType::LeftMouseDragged, Point(170, 170 + rotation->radius()));
    check(std::fabs(turning.last - (90 - 0.6 * 180 / M_PI)) < 0.5, "the drag reports its turn");
    settle();
    save(GalleryShots::screenshot(window), QStringLiteral("08-handles-dragged"));
    mouse(rotation, pf::EventType::LeftMouseUp, Point(170, 170 + rotation->radius()));
    check(resize->frame().width() > 280, "the drag grew the frame");
    delete window;
}

// The resize view on the portrait, both turned 30 degrees in a 3D view: the hovered edge, then a
// dragged corner.
void turnedResizeStep(const QImage& portrait)
{
    pf::Window* window = darkWindow(Rect(60, 200, 640, 560), QStringLiteral("Turned resize view"));
    auto* host = new OV3DView(Rect(0, 0, 640, 560));
    window->contentView()->addSubview(host);
    auto* picture = new Picture(Rect(195, 155, 250, 250), portrait);
    host->addSubview(picture);
    auto* resize = new OVResizeView(Rect(190, 150, 260, 260));
    Growing growing;
    growing.target = picture;
    resize->setDelegate(&growing);
    host->addSubview(resize);
    // A hosted view shows through its layer: after a resize the layer, untransformed, moves and grows
    // as the view's frame did (from `before`), then takes the turn again.
    const auto turn = [host](pf::View* view, const Rect& before) {
        const pf::Transaction::Scope atOnce(true);
        if (auto layer = host->layerForSubview(view)) {
            layer->setTransform(pf::Transform3D());
            const Rect now = view->frame(), placed = layer->frame();
            layer->setFrame(Rect(placed.minX() + now.minX() - before.minX(),
                                 placed.minY() + now.minY() - before.minY(), now.width(), now.height()));
            layer->setTransform(pf::Transform3D::rotation(30 * M_PI / 180, 0, 0, 1));
        }
    };
    const Rect pictureBefore = picture->frame(), resizeBefore = resize->frame();
    turn(picture, pictureBefore);
    turn(resize, resizeBefore);
    window->show();
    check(QTest::qWaitForWindowExposed(window), "the turned window shows");
    // The right edge, in the view's own coordinates.
    mouse(resize, pf::EventType::MouseMoved, Point(257, 130));
    check(resize->currentCursor().has_value(), "the turned right edge shows a resize cursor");
    check(resize->lastCursorAngle() == 30, "the cursor follows the turn");
    settle();
    save(GalleryShots::screenshot(window), QStringLiteral("09-turned-resize-hovered"));
    mouse(resize, pf::EventType::LeftMouseDown, Point(257, 257));
    mouse(resize, pf::EventType::LeftMouseDragged, Point(287, 287));
    mouse(resize, pf::EventType::LeftMouseUp, Point(287, 287));
    turn(picture, pictureBefore);
    turn(resize, resizeBefore);
    check(resize->frame().width() > 270, "the corner drag grew the frame");
    settle();
    save(GalleryShots::screenshot(window), QStringLiteral("10-turned-resize-dragged"));
    delete window;
}

struct PanelOwner : OVSingleButtonPanelDelegate
{};

struct TextOwner : StoredTextPanelOwner
{
    TextOwner()
    {
        text = QStringLiteral("Portrait");
        color = pf::PaintColor::calibratedRGB(0.95, 0.8, 0.3);
        font = QStringLiteral("DejaVu Sans");
        alignment = 2;
    }
};

// The single-button panel and the text panel over a portrait window.
void panelsStep(const QImage& portrait)
{
    auto* window =
        new OVChildSupportWindow(Rect(60, 200, 700, 560), pf::Window::Titled | pf::Window::Resizable);
    window->setTitle(QStringLiteral("Panels"));
    window->setBackgroundColor(canvas);
    window->contentView()->addSubview(new Picture(Rect(20, 60, 440, 440), portrait));
    window->show();
    check(QTest::qWaitForWindowExposed(window), "the panels window shows");

    PanelOwner owner;
    OVSingleButtonPanel& single = OVSingleButtonPanel::sharedPanel();
    single.showOver(window, Point(460, 520), &owner,
                    QStringLiteral("The mask was copied to the selected effect. Undo puts the old one back."),
                    QStringLiteral("Undo"));
    check(single.isVisible(), "the single-button panel shows");
    settle();
    save(GalleryShots::screenshot(window), QStringLiteral("13-single-button-panel"));
    single.close();

    TextOwner text;
    OVTextPanel& panel = OVTextPanel::sharedTextPanel();
    panel.showAtPoint(Point(230, 500), window, &text);
    panel.setShowsFontList(true);
    check(panel.isVisible(), "the text panel shows");
    settle();
    save(GalleryShots::screenshot(window), QStringLiteral("14-text-panel-font-list"));

    panel.showAtPoint(Point(690, 500), window, &text);
    const Rect content = window->convertRectToScreen(window->contentView()->bounds());
    check(panel.window()->frame().maxX() <= content.maxX(), "the text panel is pushed inside at the right");
    settle();
    save(GalleryShots::screenshot(window), QStringLiteral("15-text-panel-right-edge"));

    const double before = panel.window()->frame().width();
    panel.inputField()->setFocus();
    panel.inputField()->moveCursor(QTextCursor::End);
    QTest::keyClicks(panel.inputField(), QStringLiteral(" of a woman in a flight suit"));
    QTest::keyClick(panel.inputField(), Qt::Key_Return);
    QTest::keyClicks(panel.inputField(), QStringLiteral("second line"));
    check(text.text.endsWith(QStringLiteral("flight suit\nsecond line")), "typing reaches the delegate");
    check(panel.window()->frame().width() > before, "the panel grows with the text");
    settle();
    save(GalleryShots::screenshot(window), QStringLiteral("16-text-panel-typed"));
    panel.close();
    delete window;
}

// The previewer with three pictures, then after Previous.
void previewerStep(const QImage& portrait)
{
    OVImagePreviewer& previewer = OVImagePreviewer::sharedImagePreviewer();
    OVImagePreviewer::showNSImage(portrait, QStringLiteral("portrait"));
    OVImagePreviewer::showNSImage(portrait.mirrored(true, false), QStringLiteral("mirrored"));
    OVImagePreviewer::showNSImage(portrait.convertToFormat(QImage::Format_Grayscale8),
                                  QStringLiteral("grey"));
    pf::Window* window = previewer.window();
    check(window && QTest::qWaitForWindowExposed(window), "the previewer shows");
    settle();
    save(GalleryShots::screenshot(window), QStringLiteral("11-previewer-three"));
    previewer.previousImage();
    check(window->title().startsWith(QStringLiteral("Image Previewer (mirrored)")),
          "Previous shows the second");
    settle();
    save(GalleryShots::screenshot(window), QStringLiteral("12-previewer-previous"));
    previewer.forceCloseWindow();
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QImage portrait = gallerySupport::portraitOrExit(argc, argv, &outputFolder);
    decorativeStep();
    lineAndPrintStep(portrait);
    {
        pf::SteppedClock clock;
        transitionStep(portrait, &clock);
    }
    handlesStep(portrait);
    turnedResizeStep(portrait);
    previewerStep(portrait);
    panelsStep(portrait);
    return gallerySupport::exitCodeForFailedSteps(failures);
}
