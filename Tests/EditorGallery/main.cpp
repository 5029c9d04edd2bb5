// Shows the editor window's canvas and settings panel in a real window and drives them with synthesised
// input, saving a screenshot after each step so that a person can look at them; a step whose effect is
// not what it should be fails the run. Run under Xvfb by `make test`:
//   editor-gallery <output folder>
#include "Classes/Editor/ColorPicker.h"
#include "Classes/Editor/EffectIntensity.h"
#include "Classes/Editor/GMEventView.h"
#include "Classes/Editor/GMEventViewDelegate.h"
#include "Classes/Editor/GMSettingsController.h"
#include "Classes/Editor/GMSettingsDelegate.h"
#include "Classes/Editor/GMSlider.h"
#include "Classes/Editor/GMSliderDelegate.h"
#include "Classes/Editor/OV3PartButtonCell.h"
#include "Classes/Editor/OVCellControl.h"
#include "Classes/Editor/OVEventBlockingView.h"
#include "Classes/Editor/OVFrameLayer.h"
#include "Classes/Editor/OVFrameView.h"
#include "Classes/Editor/OVGradientView.h"
#include "Classes/Editor/OVHoverTextField.h"
#include "Classes/Editor/OVHoverView.h"
#include "Classes/Editor/OVInverseTextFieldCell.h"
#include "Classes/Editor/OVKeyboardWatcher.h"
#include "Classes/Editor/OVMultiSwitch.h"
#include "Classes/Editor/OVSwitch.h"
#include "Classes/Editor/OVSwitchDelegate.h"
#include "Classes/Editor/OVZoomView.h"
#include "Classes/Editor/OVZoomViewDelegate.h"
#include "Classes/Editor/PatternPicker.h"
#include "Classes/Editor/ShadowTextViewCell.h"
#include "Classes/Editor/TextField.h"
#include "Classes/Filters/FilterLibrary.h"
#include "Classes/Framework/Toolkit/OVCursorStack.h"
#include "Classes/Framework/Toolkit/OVScroller.h"
#include "EditorTestSupport.h"
#include "Platform/Foundation/FileSystem.h"
#include "Platform/UI/Document.h"
#include "Platform/UI/Layer.h"
#include "Platform/UI/LayerHostView.h"
#include "Platform/UI/Transaction.h"
#include "Platform/UI/Window.h"
#include "TestFilters.h"
#include "Tests/Gallery/GalleryShots.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <cstdio>

using pf::Point, pf::Rect;

namespace {

using namespace GalleryShots;

class PlainDocument : public pf::Document
{
public:
    bool readFromURL(const QString&, const QString&, QString*) override { return true; }
    bool writeToURL(const QString&, const QString&, SaveOperation, const QString&, QString*) override
    {
        return true;
    }
};

// What the window controller will do, as far as the canvas and the panel need it here: the zoom layer
// shows the visible part of the photo, strokes land in the content layer, the brush cursor follows the
// pointer over the photo, and Command + scroll steps the brush.
class Controller : public OVZoomViewDelegate,
                   public GMSettingsDelegate,
                   public GMEventViewDelegate,
                   public GMSliderDelegate,
                   public OVSwitchDelegate
{
public:
    bool isFirstZoom = true;
    int switchChanges = 0;
    OVZoomView* zoom = nullptr;
    GMSettingsController* panel = nullptr;
    pf::Window* window = nullptr;
    QImage strokes;
    std::vector<Point> stroke;
    std::optional<QCursor> drawCursor;
    int cursorState = 0;
    bool hidesDrawLayer = false;
    QStringList settings;

    void zoomViewDidUpdateContentsRect(OVZoomView* view, const Rect& rect, bool) override
    {
        pf::Transaction::Scope scope(true);
        view->zoomLayer()->setContentsRect(rect);
        view->contentLayer()->setContentsRect(rect);
    }
    void zoomViewDidChangeCursorState(OVZoomView*, int state) override
    {
        cursorState = state;
        if (state == 1 && drawCursor)
            OVCursorStack::pushCursor(drawCursor, QStringLiteral("GMZoomView"), window);
        else if (state == 0)
            OVCursorStack::popCursorForKey(QStringLiteral("GMZoomView"), window);
    }
    void drawSenderBrushDownAtPoint(OVDrawSender*, Point p) override
    {
        zoom->setBlockScrolling(true);
        stroke = {p};
    }
    void drawSenderBrushDraggedAtPoint(OVDrawSender*, Point p) override { stroke.push_back(p); }
    void drawSenderBrushUpAtPoint(OVDrawSender*, Point p) override
    {
        zoom->setBlockScrolling(false);
        stroke.push_back(p);
        paintStroke();
    }
    void settingsControllerDidChangeBrush(GMSettingsController*,
                                          const std::optional<QCursor>& cursor) override
    {
        drawCursor = cursor;
        OVCursorStack::replaceCursor(cursor, QStringLiteral("GMZoomView"), window);
    }
    void settingsControllerDidChangeSettings(GMSettingsController*, const QVariantMap& values, int index,
                                             const QString& undoName, bool preview) override
    {
        settings
            << QStringLiteral("%1 %2 %3 %4").arg(values.firstKey()).arg(index).arg(undoName).arg(preview);
    }
    void settingsControllerHideDrawLayer(GMSettingsController*, bool hide) override
    {
        hidesDrawLayer = hide;
        zoom->contentLayer()->setHidden(hide);
    }
    Rect drawingArea() const override { return zoom ? zoom->frame() : Rect(); }
    bool eventViewDidScroll(GMEventView*, const pf::Event& event) override
    {
        if ((event.modifierFlags() & 0x1c0000) != pf::Modifier::Command || cursorState != 1)
            return false;
        if (event.deltaX() == 0 && event.deltaY() == 0)
            return false;
        if (std::abs(event.deltaX()) <= std::abs(event.deltaY()))
            panel->setBrushSizeDelta(event.deltaY() / 60);
        else
            panel->setBrushSmoothnessDelta(event.deltaX() / 60);
        return true;
    }

    // The zoom slider: the first change of a drag starts a zoom gesture, the last one ends it.
    void sliderDidChangeValue(GMSlider*, double value, bool preview) override
    {
        zoom->setZoomFactor(value, isFirstZoom, preview);
        isFirstZoom = !preview;
    }
    void ovSwitchDidChangeState(OVSwitch*, bool) override { ++switchChanges; }

private:
    // The stroke in the photo's pixels, as a wash the content layer shows over the preview.
    void paintStroke()
    {
        const Rect edit = zoom->editRect();
        QPainter painter(&strokes);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(255, 170, 90, 150), 14, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        QPolygonF line;
        for (const Point& p : stroke) {
            const double x = (edit.origin.x + p.x * edit.size.width) * strokes.width();
            const double y = (1 - (edit.origin.y + p.y * edit.size.height)) * strokes.height();
            line << QPointF(x, y);
        }
        painter.drawPolyline(line);
        painter.end();
        zoom->contentLayer()->setContents(strokes);
    }
};

std::shared_ptr<GMEffectBlueprint> effect(const QString& name, const QString& kinds, bool colour,
                                          const QString& description, const QString& howTo)
{
    auto plain = editortest::blueprint(
        name, kinds, colour, {{"brushSize", 0.35}, {"brushSmoothness", 0.5}, {"brushHardness", 0.5}});
    QVariantMap values = plain->blueprint();
    values.insert(QStringLiteral("description"), description);
    values.insert(QStringLiteral("howTo"), howTo);
    return std::make_shared<GMEffectBlueprint>(values);
}

void sendWheel(QWidget* target, QPoint at, QPoint angle, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWheelEvent wheel(QPointF(at), QPointF(target->mapToGlobal(at)), QPoint(), angle, Qt::NoButton, modifiers,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &wheel);
}

// Every control in its looks and states, drawn at 1x and 2x, on the panel's colour.
void controlSheet(double scale, const QString& name)
{
    pf::View sheet(Rect(0, 0, 560, 240));
    auto* ground = new OVFrameView(Rect(0, 0, 560, 240));
    sheet.addSubview(ground);
    auto* inner = new GMEventView(Rect(9, 9, 542, 222));
    sheet.addSubview(inner);
    const auto add = [&](pf::View* view) { inner->addSubview(view); };
    for (int i = 0; i < 3; ++i) {
        auto* slider = new GMSlider(Rect(20, 190 - i * 24, 160, 14));
        slider->setValue(i * 0.5);
        add(slider);
    }
    auto* vertical = new GMSlider(Rect(196, 110, 14, 100));
    vertical->setValue(0.7);
    add(vertical);
    const pf::Size looks[] = {pf::Size(44, 40), pf::Size(30, 60), pf::Size(60, 60)};
    double x = 230;
    for (const pf::Size& look : looks) {
        for (bool on : {false, true}) {
            auto* toggle = new OVSwitch(Rect(x, 100, look.width, look.height));
            toggle->setState(on, false);
            toggle->setKnobPosition(on ? 1 : 0, false);
            add(toggle);
            x += toggle->frame().size.width + 8;
        }
    }
    auto* small = new OVMultiSwitch(Rect(20, 20, 10, 10));
    small->setSmallSize(true);
    small->setState(1, false);
    small->setKnobPosition(0.5, false);
    add(small);
    auto* intensity = new EffectIntensity(Rect(70, 24, 240, 36));
    intensity->setIntensity(0.35);
    add(intensity);
    auto* picker = new ColorPicker(Rect(330, 20, 64, 44));
    picker->setColorIntern(QColor(196, 120, 72));
    add(picker);
    auto* pattern = new PatternPicker(Rect(410, 20, 64, 44));
    pattern->setPattern(QImage(QStringLiteral(GLIMORA_TESTDATA_DIR "/brick.png")));
    add(pattern);
    save(sheet.snapshot(scale), name);
}

// The small views and cells, drawn at 1x and 2x: three-part buttons (plain and pressed), an embossed
// label, text punched out of a plate over a picture (plain and lowered by the tag), a blocking view
// over a picture, the gradient, a hover field at its place and nudged, and a message over a picture.
void smallViewsSheet(double scale, const QString& name)
{
    pf::View sheet(Rect(0, 0, 600, 300));
    auto* ground = new OVFrameView(Rect(0, 0, 600, 300));
    sheet.addSubview(ground);
    // The light grey these engraved and embossed looks are drawn for.
    auto* paper = new OVEventBlockingView(Rect(9, 9, 582, 282));
    paper->setColorName(QStringLiteral("0.9 0.9 0.9 1"));
    sheet.addSubview(paper);
    const QImage brick(QStringLiteral(GLIMORA_TESTDATA_DIR "/brick.png"));
    const auto picture = [&](const Rect& frame) {
        auto* host = new pf::LayerHostView(frame);
        const pf::Transaction::Scope atOnce(true);
        host->layer()->setContents(brick);
        host->layer()->setContentsGravity(pf::ContentsGravity::ResizeAspectFill);
        host->layer()->setMasksToBounds(true);
        sheet.addSubview(host);
        return host;
    };

    // Buttons: plain, pressed, and a wide one whose middle stretches.
    const struct
    {
        const char* title;
        double width;
        bool pressed;
    } buttons[] = {{"Apply", 96, false}, {"Cancel", 96, true}, {"Save a Copy", 150, false}};
    double x = 24;
    for (const auto& b : buttons) {
        // As an interface makes it: whatever the title came with, it takes the button's look.
        auto cell = std::make_unique<OV3PartButtonCell>(
            OV3PartButtonCell::decoded(pf::AttributedString(QString::fromLatin1(b.title))));
        cell->setHighlighted(b.pressed);
        const double height =
            cell->middleImage().isNull() ? 24 : cell->middleImage().deviceIndependentSize().height();
        sheet.addSubview(new OVCellControl(Rect(x, 246, b.width, height), std::move(cell)));
        x += b.width + 16;
    }

    // The embossed label.
    {
        pf::TextAttributes grey{pf::systemFont(13), QColor::fromRgbF(0.3f, 0.3f, 0.3f)};
        auto cell = std::make_unique<ShadowTextViewCell>();
        cell->setAttributedStringValue(pf::AttributedString(QStringLiteral("Embossed label"), grey));
        sheet.addSubview(new OVCellControl(Rect(420, 246, 150, 24), std::move(cell)));
    }

    // Text cut out of a plate: the picture behind shows through the letters; the second is lowered by 4.
    picture(Rect(24, 150, 260, 80));
    for (int tag : {0, 4}) {
        auto cell = std::make_unique<OVInverseTextFieldCell>(tag == 0 ? QStringLiteral("PUNCHED")
                                                                      : QStringLiteral("TAG 4"));
        pf::TextAttributes bold{pf::systemFont(15), Qt::white};
        bold.font.setBold(true);
        cell->setAttributedStringValue(pf::AttributedString(cell->stringValue(), bold));
        cell->setBackgroundColor(QColor(40, 44, 52));
        auto* control = new OVCellControl(Rect(tag == 0 ? 40 : 164, 170, 110, 40), std::move(cell));
        control->setTag(tag);
        sheet.addSubview(control);
    }

    // A blocking view in a translucent colour over a picture.
    picture(Rect(304, 150, 120, 80));
    auto* blocker = new OVEventBlockingView(Rect(324, 160, 80, 60));
    blocker->setColorName(QStringLiteral("0.1 0.3 0.8 0.6"));
    sheet.addSubview(blocker);

    // The gradient.
    sheet.addSubview(new OVGradientView(Rect(444, 130, 132, 100)));

    // Hover fields: one at its place, one nudged right and down by (12, -6).
    for (int i = 0; i < 2; ++i) {
        auto* field = new OVHoverTextField(Rect(40, 86 - i * 40, 180, 20));
        field->setStringValue(i == 0 ? QStringLiteral("Hover field") : QStringLiteral("Hover field, nudged"));
        sheet.addSubview(field);
        field->setShift(i == 0 ? Point() : Point(12, -6));
    }

    // A message over a picture, centred across it.
    pf::LayerHostView* stage = picture(Rect(304, 24, 272, 106));
    auto message = TextField::create();
    {
        const pf::Transaction::Scope atOnce(true);
        message->setFont(pf::systemFont(15));
        message->setForegroundColor(Qt::white);
        stage->layer()->addSublayer(message);
        message->showFieldWithMessage(QStringLiteral("Saved"), 60);
        const pf::Size size = message->preferredFrameSize();
        message->setBounds(Rect(0, 0, size.width + 24, 48));
        message->setPosition(Point(136, 53));
        stage->layer()->layoutIfNeeded();
    }
    settle(50);
    save(sheet.snapshot(scale), name);
    message->removeFromSuperlayer();
}

void run()
{
    auto* window = new pf::Window(Rect(40, 120, 1180, 760));
    window->setTitle(QStringLiteral("Portrait"));
    auto* content = new GMEventView(Rect(0, 0, 1180, 760));
    content->setAutoresizingMask(pf::View::WidthSizable | pf::View::HeightSizable);
    content->setBgRect(Rect(0.1, 0.2, 0.8, 0.8));
    window->contentView()->addSubview(content);

    Controller controller;
    controller.window = window;
    content->setDelegate(&controller);

    const QImage photo(QStringLiteral(GLIMORA_TESTDATA_DIR "/portrait-512.png"));
    check(!photo.isNull(), "the portrait loads");
    controller.strokes = QImage(photo.size(), QImage::Format_ARGB32_Premultiplied);
    controller.strokes.fill(Qt::transparent);

    const double left = GMSettingsController::panelWidth - 19;
    auto* zoom =
        new OVZoomView(Rect(left, 0, 1180 - left, 760), [] { return std::make_shared<OVFrameLayer>(); });
    zoom->setAutoresizingMask(pf::View::WidthSizable | pf::View::HeightSizable);
    controller.zoom = zoom;
    content->addSubview(zoom);
    zoom->setDelegate(&controller);
    zoom->setMargin(pf::Size(9, 9));
    zoom->zoomLayer()->setContents(photo);
    zoom->setImageSize(pf::Size(photo.width(), photo.height()));
    zoom->setDrawSenderActive(true);

    // The zoom slider (1 at its left end: the whole photo) and the 2D / 3D switch, at the bottom left.
    auto* zoomSlider = new GMSlider(Rect(28, 26, 220, 14));
    zoomSlider->setMinValue(1);
    zoomSlider->setMaxValue(0);
    zoomSlider->setValue(1);
    zoomSlider->setDelegate(&controller);
    content->addSubview(zoomSlider);
    auto* layerMode = new OVSwitch(Rect(300, 12, 30, 60));
    layerMode->setState(false);
    layerMode->setDelegate(&controller);
    content->addSubview(layerMode);

    // A chain with one effect per list of brush kinds.
    auto chain = editortest::chain(photo.width(), photo.height());
    GMSettingsController panel;
    controller.panel = &panel;
    panel.setToolChain(chain);
    panel.setDelegate(&controller);
    pf::View* panelView = panel.view();
    panelView->setFrameOrigin(Point(-19, 760 - GMSettingsController::panelHeight));
    panelView->setAutoresizingMask(pf::View::MinYMargin);
    content->addSubview(panelView);
    const struct
    {
        const char *name, *kinds;
        bool colour;
    } effects[] = {
        {"Whiten Teeth", "brush,eraser", false},
        {"Smooth Skin", "smartBrush,brush,eraser", false},
        {"Brighten Eyes", "click,brush,eraser", false},
        {"Tint Hair", "click,smartBrush,brush,eraser", true},
    };
    for (const auto& e : effects) {
        chain->insertPhotoToolWithBlueprint(
            effect(
                QString::fromLatin1(e.name), QString::fromLatin1(e.kinds), e.colour,
                QStringLiteral("Brings out %1 gently, keeping the texture of the skin and the light of the "
                               "photograph.")
                    .arg(QString::fromLatin1(e.name).toLower()),
                QStringLiteral("Paint over the areas to change. Hold Option to erase; the sliders set the "
                               "brush size and the softness of its edge.")),
            std::nullopt, chain->numberOfTools() - 1);
    }
    chain->setSelectionIndex(0);

    auto document = std::make_shared<PlainDocument>();
    OVKeyboardWatcher::setCurrentDocumentProvider([document] { return document.get(); });
    OVKeyboardWatcher keyboard(document);
    keyboard.addKeyboardWatcher(&panel);

    window->makeKeyAndOrderFront();
    settle(400);
    QWindow* handle = window->windowHandle();
    const auto widgetPoint = [&](pf::View* view, Point p) {
        return view->mapTo(window, view->pointToWidget(p)).toPoint();
    };
    const auto moveTo = [&](pf::View* view, Point p) {
        const QPoint at = widgetPoint(view, p);
        QCursor::setPos(window->mapToGlobal(at));
        QTest::mouseMove(handle, at);
        settle(60);
    };
    const auto clickAt = [&](pf::View* view, Point p) {
        moveTo(view, p);
        QTest::mouseClick(handle, Qt::LeftButton, {}, widgetPoint(view, p));
        settle(250);
    };

    save(screenshot(window), QStringLiteral("01-introduction-canvas-fitted"));
    check(zoom->editRect() == Rect(0, 0, 1, 1), "the photo is fitted");
    check(panel.face() == GMSettingsController::Face::Introduction, "the introduction shows");

    // Each effect's controls.
    for (int index = 1; index <= 4; ++index) {
        chain->setSelectionIndex(index);
        panel.showPhotoTool(chain->selectedPhotoTool());
        panel.updateBrushSliders(chain->selectedPhotoTool());
        settle(500);
        save(screenshot(window),
             QStringLiteral("%1-controls-%2")
                 .arg(index + 1, 2, 10, QLatin1Char('0'))
                 .arg(QString::fromLatin1(effects[index - 1].name).toLower().replace(u' ', u'-')));
        check(panel.face() == GMSettingsController::Face::Controls, "the controls show");
        check(panel.toolSwitch()->numStates() == unsigned(chain->selectedPhotoTool()->brushTypes().size()),
              "one stop per brush kind");
    }

    // Every stop of the tool switch of the effect with all four kinds, chosen by clicks.
    OVMultiSwitch* toolSwitch = panel.toolSwitch();
    const char* kindNames[] = {"eraser", "brush", "smart-brush", "click"};
    for (unsigned state = 0; state < 4; ++state) {
        const double travel = toolSwitch->bezelSize().height - toolSwitch->knobSize().height;
        clickAt(toolSwitch, Point(toolSwitch->bezelOrigin().x + 10,
                                  toolSwitch->knobSize().height / 2 + travel * state / 3.0));
        check(panel.toolState() == state, "a click chooses the stop");
        save(screenshot(window),
             QStringLiteral("06-tool-state-%1-%2").arg(state).arg(QString::fromLatin1(kindNames[state])));
    }
    check(panel.brush().type == OVBrush::Click, "the top stop of four kinds is the click tool");

    // Option alone: the eraser while it is held.
    QTest::keyPress(handle, Qt::Key_Alt);
    settle(400);
    check(panel.toolState() == 0, "Option held chooses the eraser");
    save(screenshot(window), QStringLiteral("07-option-held-eraser"));
    QTest::keyRelease(handle, Qt::Key_Alt);
    settle(400);
    check(panel.toolState() == 3, "releasing Option returns to the tool");

    // Intensity dragged with the mouse.
    EffectIntensity* intensity = panel.effectIntensity();
    controller.settings.clear();
    moveTo(intensity, Point(40, 18));
    QTest::mousePress(handle, Qt::LeftButton, {}, widgetPoint(intensity, Point(40, 18)));
    moveTo(intensity, Point(120, 18));
    QTest::mouseRelease(handle, Qt::LeftButton, {}, widgetPoint(intensity, Point(180, 18)));
    settle(200);
    check(!controller.settings.isEmpty() &&
              controller.settings.last() == QLatin1String("intensity 4 Change Intensity 0"),
          "an intensity drag ends with one final change");
    save(screenshot(window), QStringLiteral("08-intensity-dragged"));

    // Hovering the hide icon hides the stroke layer.
    moveTo(panel.hideIcon(), Point(9, 9));
    check(controller.hidesDrawLayer, "hovering the hide icon hides the live stroke");
    save(screenshot(window), QStringLiteral("09-hide-icon-hovered"));
    moveTo(content, Point(200, 300));
    check(!controller.hidesDrawLayer, "leaving it shows the stroke again");

    // Preview faces.
    panel.showPreviewInformation(chain->photoToolAtIndex(2)->blueprint());
    settle(500);
    check(panel.face() == GMSettingsController::Face::Preview, "the preview shows");
    save(screenshot(window), QStringLiteral("10-preview-hovered-effect"));
    panel.showActivePreviewInformation(chain->photoToolAtIndex(4)->blueprint());
    settle(500);
    save(screenshot(window), QStringLiteral("11-preview-active-effect"));

    // The brush on the canvas: a stroke painted with the mouse.
    chain->setSelectionIndex(1);
    panel.showPhotoTool(chain->selectedPhotoTool());
    panel.updateBrushSliders(chain->selectedPhotoTool());
    settle(400);
    const Rect photoFrame = zoom->zoomLayer()->frame();
    const Point from(photoFrame.minX() + photoFrame.size.width * 0.35,
                     photoFrame.minY() + photoFrame.size.height * 0.4);
    moveTo(zoom, from);
    check(controller.cursorState == 1, "over the photo the canvas takes strokes");
    QTest::mousePress(handle, Qt::LeftButton, {}, widgetPoint(zoom, from));
    for (int i = 1; i <= 12; ++i)
        moveTo(zoom, Point(from.x + i * photoFrame.size.width * 0.025, from.y + std::sin(i / 3.0) * 20));
    QTest::mouseRelease(handle, Qt::LeftButton, {},
                        widgetPoint(zoom, Point(from.x + 0.3 * photoFrame.size.width, from.y)));
    settle(200);
    check(controller.stroke.size() > 10 && controller.stroke.front().x > 0.3 &&
              controller.stroke.front().x < 0.4,
          "the stroke arrives normalised to the photo");
    save(screenshot(window), QStringLiteral("12-stroke-painted"));

    // Command + scroll over the photo sizes the brush; the cursors as they look.
    const double sizeBefore = panel.brushSizeSlider()->value();
    sendWheel(zoom, widgetPoint(zoom, from) - zoom->mapTo(window, QPoint()), QPoint(0, 120 * 6),
              Qt::ControlModifier);
    check(panel.brushSizeSlider()->value() > sizeBefore, "Command + the wheel turned up grows the brush");
    sendWheel(zoom, widgetPoint(zoom, from) - zoom->mapTo(window, QPoint()), QPoint(120 * 3, 0),
              Qt::ControlModifier);
    settle(100);
    const QImage canvasShot = screenshot(window);
    const QPoint pointer = widgetPoint(zoom, from);
    QImage cursors(canvasShot.copy(QRect(pointer - QPoint(200, 200), QSize(400, 400))));
    {
        QPainter painter(&cursors);
        const QImage smooth = panel.cursorWithSmoothness(true);
        painter.drawImage(QPointF(200 - smooth.deviceIndependentSize().width() / 2,
                                  200 - smooth.deviceIndependentSize().height() / 2),
                          smooth);
    }
    save(cursors, QStringLiteral("13-cursor-smoothness"));
    save(panel.cursorWithSmoothness(false), QStringLiteral("14-cursor-plain"));
    chain->setSelectionIndex(3);
    panel.showPhotoTool(chain->selectedPhotoTool());
    panel.setToolState(2);
    save(panel.cursorWithSmoothness(false), QStringLiteral("15-cursor-click"));

    // Zoomed in with the zoom slider, then panned: the scrollers show while the photo moves.
    moveTo(zoomSlider, Point(8, 7));
    QTest::mousePress(handle, Qt::LeftButton, {}, widgetPoint(zoomSlider, Point(8, 7)));
    for (double x = 30; x <= 170; x += 35)
        moveTo(zoomSlider, Point(x, 7));
    QTest::mouseRelease(handle, Qt::LeftButton, {}, widgetPoint(zoomSlider, Point(170, 7)));
    settle(200);
    check(std::abs(zoom->zoomFactor() - zoomSlider->value()) < 1e-9 && zoom->zoomFactor() < 0.4,
          "the zoom slider zooms in");
    check(zoom->editRect().size.width < 1, "zoomed in");
    check(!zoom->previewActive(), "the zoom settled at the slider's release");
    save(screenshot(window), QStringLiteral("16-canvas-zoomed"));
    for (int i = 0; i < 8; ++i)
        sendWheel(zoom, QPoint(zoom->width() / 2, zoom->height() / 2), QPoint(120, 120));
    settle(60);
    check(zoom->horizontalScroller()->isVisible() && zoom->verticalScroller()->isVisible(),
          "the scrollers show");
    check(zoom->editRect().origin.x < 0.5 - zoom->editRect().size.width / 2, "the wheel panned to the left");
    save(screenshot(window), QStringLiteral("17-canvas-panned-with-scrollers"));
    settle(1200);
    check(!zoom->horizontalScroller()->isVisible(), "the scrollers hide once the canvas rests");
    save(screenshot(window), QStringLiteral("18-canvas-panned-at-rest"));

    clickAt(layerMode, Point(15, 30));
    check(layerMode->state() && controller.switchChanges == 1, "a click toggles the switch");

    // The window grown: background, panel and canvas follow.
    window->setFrame(Rect(40, 60, 1400, 900));
    settle(500);
    save(screenshot(window), QStringLiteral("19-window-resized"));

    keyboard.removeAllKeyboardWatchers();
    OVKeyboardWatcher::setCurrentDocumentProvider(nullptr);
    panelView->removeFromSuperview();
    delete window;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir workingArea;
    pf::FileSystem::setApplicationSupportDirectoryForTesting(workingArea.path());
    FilterLibrary::registerAll();
    testfilters::registerAll();
    useOutputFolder(argc, argv);
    controlSheet(1, QStringLiteral("00-controls-1x"));
    controlSheet(2, QStringLiteral("00-controls-2x"));
    smallViewsSheet(1, QStringLiteral("00-small-views-1x"));
    smallViewsSheet(2, QStringLiteral("00-small-views-2x"));
    run();
    return exitCode();
}
