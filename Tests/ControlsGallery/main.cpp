// Shows the toolkit's controls in a real window and drives them with synthesised input, saving a
// screenshot after each step so that a person can look at what they draw; a step whose effect is not
// what it should be fails the run. Run under Xvfb by `make test`:
//   controls-gallery <output folder>
#include "Classes/Framework/Toolkit/OVColorView.h"
#include "Classes/Framework/Toolkit/OVColorWell.h"
#include "Classes/Framework/Toolkit/OVDragButton.h"
#include "Classes/Framework/Toolkit/OVFittedTextCell.h"
#include "Classes/Framework/Toolkit/OVFontTextCell.h"
#include "Classes/Framework/Toolkit/OVGradientPicker.h"
#include "Classes/Framework/Toolkit/OVLabel.h"
#include "Classes/Framework/Toolkit/OVLeanientNumberFormatter.h"
#include "Classes/Framework/Toolkit/OVPopupButton.h"
#include "Classes/Framework/Toolkit/OVSimpleColorWell.h"
#include "Classes/Framework/Toolkit/OVSlider.h"
#include "Classes/Framework/Toolkit/OVTextField.h"
#include "Platform/UI/AttributedString.h"
#include "Platform/UI/ColorPanel.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/Menu.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/View.h"
#include "Platform/UI/Window.h"
#include "Tests/Gallery/GalleryShots.h"

#include <QApplication>
#include <QColorDialog>
#include <QDir>
#include <QPainter>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <functional>

using pf::PaintColor, pf::Point, pf::Rect, pf::Size;

namespace {

using namespace GalleryShots;

const QColor canvas(34, 36, 40);
const QColor ink(214, 217, 222);
const double width = 760, height = 520;

// The dark ground with the sections' headings.
class Ground : public pf::View
{
public:
    using View::View;
    void drawRect(QPainter& painter, const Rect&) override
    {
        painter.fillRect(bounds().toQRectF(), canvas);
        const struct
        {
            const char* text;
            Point at;
        } headings[] = {
            {"Colour wells", Point(20, 492)},    {"Curved slider (curve 3)", Point(260, 492)},
            {"Labels", Point(20, 392)},          {"Buttons", Point(400, 392)},
            {"Gradient picker", Point(20, 282)}, {"Colour views", Point(400, 282)},
            {"Text cells", Point(20, 152)},
        };
        for (const auto& h : headings)
            pf::AttributedString(QString::fromLatin1(h.text), {pf::boldSystemFont(11), ink})
                .drawAtPoint(painter, h.at);
    }
};

// Places a plain Qt widget at a y-up rectangle of the content.
void place(QWidget* widget, pf::View* content, const Rect& r)
{
    widget->setParent(content);
    widget->setGeometry(int(r.minX()), int(content->bounds().height() - r.maxY()), int(r.width()),
                        int(r.height()));
    widget->show();
}

OVLabel* makeLabel(const QString& text, const Rect& frame, double size = 12)
{
    auto* label = new OVLabel(frame);
    label->setFont(pf::systemFont(size));
    label->setTextColor(QColor::fromRgbF(0.84, 0.85, 0.87));
    label->setStringValue(text);
    return label;
}

struct Controls
{
    pf::Window* window = nullptr;
    pf::View* ground = nullptr;
    OVColorWell* well = nullptr;
    OVSimpleColorWell* simple = nullptr;
    OVSimpleColorWell* translucent = nullptr;
    OVSlider* slider = nullptr;
    OVLabel* sliderValue = nullptr;
    OVLabel* shrunk = nullptr;
    OVLabel* disabled = nullptr;
    OVPopupButton* popup = nullptr;
    OVDragButton* handle = nullptr;
    OVColorView* carried = nullptr;
    OVGradientPicker* picker = nullptr;
    pf::TextField* fittedSmall = nullptr;
    pf::TextField* fittedLarge = nullptr;
    int popupActions = 0;
    int pickerActions = 0;
};

// Every control, laid out on the dark ground of a view of the window's size.
void build(Controls& c, pf::View* content)
{
    auto* ground = new Ground(Rect(0, 0, width, height));
    content->addSubview(ground);
    c.ground = ground;

    c.well = new OVColorWell(Rect(20, 450, 44, 26));
    c.well->setColor(PaintColor::calibratedRGB(0.36, 0.63, 0.9, 1));
    c.well->setSupportsAlpha(true);
    content->addSubview(c.well);
    c.simple = new OVSimpleColorWell(Rect(80, 451, 24, 24));
    c.simple->setColor(PaintColor::calibratedRGB(0.91, 0.45, 0.27, 1));
    content->addSubview(c.simple);
    c.translucent = new OVSimpleColorWell(Rect(116, 451, 24, 24));
    c.translucent->setColor(PaintColor::calibratedRGB(0.3, 0.8, 0.45, 0.45));
    content->addSubview(c.translucent);

    c.slider = new OVSlider;
    c.slider->setMinValue(0);
    c.slider->setMaxValue(100);
    c.slider->setSliderCurve(OVSlider::Exponential);
    c.slider->setDoubleValue(10);
    place(c.slider, content, Rect(260, 454, 220, 19));
    c.sliderValue = makeLabel(QString(), Rect(490, 454, 160, 19), 11);
    content->addSubview(c.sliderValue);
    auto showValue = [&c](OVSlider* s) {
        c.sliderValue->setStringValue(QStringLiteral("%1 (knob %2)")
                                          .arg(s->doubleValue(), 0, 'f', 1)
                                          .arg(s->knobPosition(), 0, 'f', 2));
    };
    c.slider->setAction(showValue);
    showValue(c.slider);

    auto* plain = makeLabel(QStringLiteral("Brightness"), Rect(20, 350, 150, 20));
    plain->setTextShadowName(QStringLiteral("TextBlack1px"));
    content->addSubview(plain);
    c.shrunk = makeLabel(QStringLiteral("Highlights and shadows, shrunk to fit"), Rect(20, 322, 150, 20), 13);
    c.shrunk->setShrinkToFit(true);
    content->addSubview(c.shrunk);
    c.disabled = makeLabel(QStringLiteral("Disabled"), Rect(190, 350, 190, 22));
    c.disabled->setDrawsBackground(true);
    c.disabled->setBackgroundColor(QColor::fromRgbF(0.36, 0.63, 0.9));
    c.disabled->setCornerRadius(6);
    c.disabled->setAlignment(pf::AttributedString::Alignment::Center);
    c.disabled->setEnabled(false);
    content->addSubview(c.disabled);
    auto* wrapped =
        makeLabel(QStringLiteral("A longer note that wraps onto a second line"), Rect(190, 310, 190, 34), 11);
    wrapped->setLineBreakMode(pf::AttributedString::LineBreak::WordWrap);
    content->addSubview(wrapped);

    c.popup = new OVPopupButton(Rect(400, 348, 150, 22));
    c.popup->setName(QStringLiteral("DefaultStyle"));
    auto menu = std::make_unique<pf::Menu>();
    for (const char* title : {"Soft light", "Overlay", "Multiply", "Screen"})
        menu->addItem(QString::fromLatin1(title));
    c.popup->setMenu(std::move(menu));
    c.popup->setAction([&c](OVButton*) { ++c.popupActions; });
    content->addSubview(c.popup);

    c.carried = new OVColorView(Rect(600, 346, 60, 26));
    c.carried->setColorName(QStringLiteral("0.36 0.63 0.9"));
    c.carried->setCornerRadius(5);
    content->addSubview(c.carried);
    c.handle = new OVDragButton(Rect(580, 351, 12, 16));
    c.handle->setAction([&c](OVButton*) {
        if (c.handle->dragState() != OVDragButton::Dragging)
            return;
        const Size d = c.handle->lastDragDistance();
        for (pf::View* v : {static_cast<pf::View*>(c.handle), static_cast<pf::View*>(c.carried)})
            v->setFrameOrigin(Point(v->frame().minX() + d.width, v->frame().minY() + d.height));
    });
    content->addSubview(c.handle);

    c.picker = new OVGradientPicker(Rect(20, 230, 210, 27));
    c.picker->setAction([&c](OVColorWell*) { ++c.pickerActions; });
    content->addSubview(c.picker);
    auto* big = new OVGradientPicker(Rect(20, 180, 360, 27));
    big->setGradient(pf::Gradient({{0, pf::Color(0.1, 0.1, 0.4)},
                                   {0.35, pf::Color(0.8, 0.3, 0.5)},
                                   {0.7, pf::Color(1, 0.8, 0.4)},
                                   {1, pf::Color(1, 1, 0.9)}}));
    content->addSubview(big);

    const Rect views[] = {Rect(400, 200, 100, 64), Rect(520, 200, 100, 64), Rect(640, 200, 100, 64)};
    auto* bordered = new OVColorView(views[0]);
    bordered->setColorName(QStringLiteral("0.18 0.19 0.21"));
    bordered->setBorderColorName(QStringLiteral("0.36 0.63 0.9"));
    bordered->setBorderWidth(3);
    bordered->setCornerRadius(8);
    content->addSubview(bordered);
    auto* graded = new OVColorView(views[1]);
    graded->setGradientName(QStringLiteral("0 0.91 0.45 0.27 1 1 0.36 0.63 0.9 1"));
    graded->setCornerRadius(8);
    content->addSubview(graded);
    auto* patterned = new OVColorView(views[2]);
    patterned->setPatternName(QStringLiteral("SimpleColorWellGrid"));
    patterned->setBorderColorName(QStringLiteral("1 1 1 0.3"));
    patterned->setBorderWidth(1);
    patterned->setCornerRadius(8);
    content->addSubview(patterned);

    auto fitted = [&](const Rect& frame) {
        auto* field = new pf::TextField(frame);
        field->setCell(std::make_unique<OVFittedTextCell>());
        field->setTextColor(QColor::fromRgbF(0.84, 0.85, 0.87));
        field->setDrawsBackground(true);
        field->setBackgroundColor(QColor::fromRgbF(0.16, 0.17, 0.19));
        field->setStringValue(QStringLiteral("42%"));
        content->addSubview(field);
        return field;
    };
    c.fittedSmall = fitted(Rect(20, 90, 60, 24));
    c.fittedLarge = fitted(Rect(100, 60, 160, 60));
    auto* fontCell = new pf::TextField(Rect(290, 92, 150, 22));
    fontCell->setCell(std::make_unique<OVFontTextCell>());
    fontCell->setTextColor(QColor::fromRgbF(0.84, 0.85, 0.87));
    fontCell->setFont(pf::systemFont(12));
    fontCell->setDrawsBackground(true);
    fontCell->setBackgroundColor(QColor::fromRgbF(0.16, 0.17, 0.19));
    fontCell->setStringValue(QStringLiteral("DejaVu Sans Condensed Bold Oblique"));
    content->addSubview(fontCell);
    auto* number = new OVTextField(Rect(460, 92, 80, 22));
    number->setEditable(true);
    number->setFormatter(new OVLeanientNumberFormatter(0, 100, 2, number));
    number->setTextColor(QColor::fromRgbF(0.84, 0.85, 0.87));
    number->setDrawsBackground(true);
    number->setBackgroundColor(QColor::fromRgbF(0.16, 0.17, 0.19));
    number->setFont(pf::systemFont(12));
    number->setStringValue(QStringLiteral("12.5"));
    content->addSubview(number);
}

// 1. Every control on the dark canvas, drawn at a scale.
void sheet(double scale, const QString& name)
{
    pf::View holder(Rect(0, 0, width, height));
    Controls c;
    build(c, &holder);
    holder.show();
    settle(50);
    save(holder.snapshot(scale), name);
}

void window()
{
    Controls c;
    c.window = new pf::Window(Rect(40, 300, width, height));
    c.window->setTitle(QStringLiteral("Controls"));
    c.window->setBackgroundColor(canvas);
    build(c, c.window->contentView());
    c.window->makeKeyAndOrderFront();
    settle(300);
    pf::Window* window = c.window;
    QWindow* handle = window->windowHandle();

    auto widgetPoint = [&](pf::View* view, Point p) {
        return view->mapTo(window, view->pointToWidget(p)).toPoint();
    };
    auto moveTo = [&](pf::View* view, Point p) {
        const QPoint at = widgetPoint(view, p);
        QCursor::setPos(window->mapToGlobal(at));
        QTest::mouseMove(handle, at);
        settle();
    };
    auto press = [&](pf::View* view, Point p) {
        QTest::mousePress(handle, Qt::LeftButton, {}, widgetPoint(view, p));
        settle();
    };
    auto release = [&](pf::View* view, Point p) {
        QTest::mouseRelease(handle, Qt::LeftButton, {}, widgetPoint(view, p));
        settle();
    };
    auto shot = [&](const QString& name) { save(screenshot(window), name); };

    // Simple well: hovered, pressed, active at rest.
    moveTo(c.simple, Point(12, 12));
    check(c.simple->state() == 1, "the simple well is hovered under the pointer");
    shot(QStringLiteral("03-simple-well-hovered"));
    press(c.simple, Point(12, 12));
    check(c.simple->state() == 2, "a press shows the down overlay");
    shot(QStringLiteral("04-simple-well-pressed"));
    release(c.simple, Point(12, 12));
    check(c.simple->isActive() && c.simple->state() == 3, "a click activates the well, down overlay at rest");
    shot(QStringLiteral("05-simple-well-active"));

    // The plain well opens the panel with its own colour; the panel stands beside the window.
    pf::ColorPanel& panel = pf::ColorPanel::shared();
    panel.dialog()->move(window->geometry().right() + 16, window->geometry().top());
    panel.setColor(QColor(255, 0, 0));
    moveTo(c.well, Point(22, 13));
    press(c.well, Point(22, 13));
    release(c.well, Point(22, 13));
    settle(300);
    check(c.well->isActive() && !c.simple->isActive(), "the well took the panel from the simple well");
    check(panel.isVisible(), "the panel is open");
    check(panel.color().blue() > 200 && panel.color().red() < 120, "the panel shows the well's blue");
    check(panel.dialog()->testOption(QColorDialog::ShowAlphaChannel), "opacity is offered");
    save(screenshot(panel.dialog()), QStringLiteral("06-colour-panel-from-a-well"));
    panel.close();
    settle();
    check(!c.well->isActive(), "closing the panel deactivates the well");

    // The slider dragged to its middle: curve 3 reports about 18 % of the range.
    const QRect sliderBox = c.slider->geometry();
    const QPoint start =
        c.slider->mapTo(window, QPoint(int(c.slider->knobCenter().x()), sliderBox.height() / 2));
    const QPoint middle = c.slider->mapTo(window, QPoint(sliderBox.width() / 2, sliderBox.height() / 2));
    QTest::mousePress(handle, Qt::LeftButton, {}, start);
    for (int i = 1; i <= 8; ++i)
        QTest::mouseMove(handle, start + (middle - start) * i / 8);
    settle();
    check(std::abs(c.slider->knobPosition() - 0.5) < 0.02, "the knob is at the middle");
    check(std::abs(c.slider->doubleValue() - 18.24) < 1.5, "curve 3 reports about 18 at the middle");
    shot(QStringLiteral("07-slider-dragged-halfway"));
    QTest::mouseRelease(handle, Qt::LeftButton, {}, middle);
    settle();

    // Labels: shrunk and disabled.
    check(c.shrunk->stringForDrawing().attributesAt(0).font.pointSizeF() < 13, "the long label is shrunk");
    check(c.disabled->alphaValue() == 0.5, "the disabled label is half transparent");
    save(screenshot(window).copy(0, int(height - 410), 400, 120),
         QStringLiteral("08-labels-shrunk-and-disabled"));

    // The pop-up: open with an item highlighted, then chosen.
    QString highlighted;
    QTimer::singleShot(300, [&] {
        pf::Menu* menu = c.popup->menu();
        QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Down);
        settle(200);
        check(c.popup->hoveredItem() != nullptr, "the menu highlights an item");
        if (c.popup->hoveredItem())
            highlighted = pf::Menu::title(c.popup->hoveredItem());
        save(screenshot(window, 0), QStringLiteral("09-popup-open"));
        QTest::keyClick(menu, Qt::Key_Return);
    });
    moveTo(c.popup, Point(40, 11));
    press(c.popup, Point(40, 11));
    release(c.popup, Point(40, 11));
    check(c.popupActions == 1, "choosing sends the action once");
    check(!highlighted.isEmpty() && c.popup->title() == highlighted, "the button shows the choice");
    shot(QStringLiteral("10-popup-chosen"));

    // The drag handle carries the swatch 60 points right and 20 down.
    const Rect before = c.carried->frame();
    moveTo(c.handle, Point(6, 8));
    press(c.handle, Point(6, 8));
    const QPoint from = widgetPoint(c.handle, Point(6, 8));
    for (int i = 1; i <= 6; ++i)
        QTest::mouseMove(handle, from + QPoint(10 * i, 3 * i));
    settle();
    release(c.handle, Point(6, 8));
    check(c.carried->frame().minX() == before.minX() + 60 && c.carried->frame().minY() == before.minY() - 18,
          "the handle carried the swatch");
    shot(QStringLiteral("11-drag-button-moved"));

    // The gradient picker: add a stop, drag it, delete it, and Tab through the stops.
    OVGradientPicker* picker = c.picker;
    const Rect strip = picker->gradientRect();
    const Point third(strip.minX() + strip.width() / 3, 13);
    moveTo(picker, third);
    shot(QStringLiteral("12-picker-hover-line"));
    press(picker, third);
    release(picker, third);
    check(picker->numberOfStops() == 3 && picker->selectedIndex() == 1, "a click added and selected a stop");
    panel.dialog()->setCurrentColor(QColor(230, 115, 70));
    settle();
    check(c.pickerActions == 1, "the panel recoloured the new stop with one action");
    panel.close();
    picker->setSelectedIndex(1);
    panel.close();
    settle();
    shot(QStringLiteral("13-picker-stop-added"));
    const Point marker(picker->stopX(1), 3);
    picker->setSelectedIndex(1);
    moveTo(picker, marker);
    press(picker, marker);
    for (int i = 1; i <= 5; ++i)
        QTest::mouseMove(handle, widgetPoint(picker, Point(marker.x + 12 * i, 3)));
    settle();
    release(picker, Point(marker.x + 60, 3));
    check(std::abs(picker->stopX(1) - (marker.x + 60)) < 1, "the stop followed the drag");
    shot(QStringLiteral("14-picker-stop-dragged"));
    check(picker->selectedIndex() == 1, "the dragged stop is selected");
    panel.close();
    picker->setSelectedIndex(1);
    const Rect icon = picker->deleteIconRect();
    moveTo(picker, Point(icon.midX(), icon.midY()));
    shot(QStringLiteral("15-picker-delete-icon-lit"));
    {
        // Close up, on the canvas.
        QImage close = picker->snapshot(6);
        close.setDevicePixelRatio(1);
        QImage onCanvas(close.width() + 24, close.height() + 24, QImage::Format_ARGB32_Premultiplied);
        onCanvas.fill(canvas);
        QPainter(&onCanvas).drawImage(12, 12, close);
        save(onCanvas, QStringLiteral("15b-picker-close-up-6x"));
    }
    press(picker, Point(icon.midX(), icon.midY()));
    release(picker, Point(icon.midX(), icon.midY()));
    check(picker->numberOfStops() == 2, "the icon deleted the stop and added none");
    shot(QStringLiteral("16-picker-stop-deleted"));
    picker->setSelectedIndex(0);
    QTest::keyClick(handle, Qt::Key_Tab);
    settle();
    check(picker->selectedIndex() == 1, "Tab selects the next stop");
    shot(QStringLiteral("17-picker-tab"));
    panel.close();
    settle(300);

    // Fitted text at two sizes.
    check(c.fittedLarge->font().pointSizeF() > 2 * c.fittedSmall->font().pointSizeF(),
          "the larger field has the larger fitted font");
    save(screenshot(window).copy(0, int(height - 170), 560, 170), QStringLiteral("18-text-cells"));
    delete window;
}

} // namespace

int main(int argc, char* argv[])
{
    return runGallery(argc, argv, [] {
        sheet(1, QStringLiteral("01-controls-1x"));
        sheet(2, QStringLiteral("02-controls-2x"));
        window();
    });
}
