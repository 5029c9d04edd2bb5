// Shows the toolkit's controls in a real window and drives them with synthesised input, saving a
// screenshot after each step so that a person can look at what they draw; a step whose effect is not
// what it should be fails the run. Run under Xvfb by `make test`:
//   toolkit-gallery <output folder>
#include "Classes/Framework/Toolkit/OV3PartImageView.h"
#include "Classes/Framework/Toolkit/OVActivityPanel.h"
#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVHintController.h"
#include "Classes/Framework/Toolkit/OVHoverWindowController.h"
#include "Classes/Framework/Toolkit/OVImageView.h"
#include "Classes/Framework/Toolkit/OVInfoHoverButton.h"
#include "Classes/Framework/Toolkit/OVScroller.h"
#include "Classes/Framework/Toolkit/OVShadowCatalog.h"
#include "Classes/Framework/Toolkit/OVToolTipController.h"
#include "Platform/Image/Image.h"
#include "Platform/UI/AttributedString.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/SteppedClock.h"
#include "Platform/UI/View.h"
#include "Platform/UI/Window.h"
#include "Tests/Gallery/GalleryCanvas.h"
#include "Tests/Gallery/GalleryShots.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QTest>
#include <cstdio>
#include <functional>

using pf::Point, pf::Rect, pf::Size;

namespace {

using namespace GalleryShots;

const QColor canvas(34, 36, 40);
const QColor ink(214, 217, 222);

pf::AttributedString label(const QString& text, double size = 11, QColor color = ink)
{
    return pf::AttributedString(text, {pf::systemFont(size), color});
}

struct Skin
{
    QString name, title;
    Size size;
};

const QList<Skin> skins = {
    {QStringLiteral("DefaultStyle"), QStringLiteral("Apply"), Size(84, 22)},
    {QStringLiteral("DefaultStyleActive"), QStringLiteral("Auto"), Size(84, 22)},
    {QStringLiteral("StepScrollerTab"), QStringLiteral("Brush"), Size(84, 22)},
    {QStringLiteral("SmallWhite"), QStringLiteral("Reset"), Size(64, 18)},
    {QStringLiteral("InfoButton"), QString(), Size(18, 18)},
    {QStringLiteral("Remove"), QString(), Size(16, 16)},
    {QStringLiteral("Grab"), QString(), Size(12, 16)},
};

OVButton* makeButton(const Skin& skin, const Rect& frame)
{
    auto* button = new OVButton(frame);
    button->setName(skin.name);
    button->setTitle(skin.title);
    if (skin.name == QLatin1String("SmallWhite")) {
        button->setTextColor(pf::PaintColor::calibratedWhite(0.18));
        button->setFont(pf::systemFont(11));
    }
    return button;
}

// 1. Every skin in the states 0 to 3, off and on, drawn at a scale.
void skinSheet(double scale, const QString& name)
{
    const double cell = 100, row = 34, left = 160, top = 30;
    const Size size(left + 8 * cell + 10, top + skins.size() * row + 10);
    QImage sheet(int(size.width * scale), int(size.height * scale), QImage::Format_ARGB32_Premultiplied);
    sheet.setDevicePixelRatio(scale);
    sheet.fill(canvas);
    QPainter painter(&sheet);
    painter.setRenderHint(QPainter::Antialiasing);
    // Drawn y-up, like the views.
    painter.translate(0, size.height);
    painter.scale(1, -1);
    const QStringList states = {QStringLiteral("disabled"), QStringLiteral("normal"), QStringLiteral("hover"),
                                QStringLiteral("down")};
    for (int column = 0; column < 8; ++column)
        label(states[column % 4] + (column < 4 ? QStringLiteral(" off") : QStringLiteral(" on")), 10)
            .drawAtPoint(painter, Point(left + column * cell, size.height - top + 8));
    for (int r = 0; r < skins.size(); ++r) {
        const Skin& skin = skins[r];
        const double y = size.height - top - (r + 1) * row;
        label(skin.name, 11).drawAtPoint(painter, Point(10, y + 10));
        for (int column = 0; column < 8; ++column) {
            OVButton* button = makeButton(skin, Rect(0, 0, skin.size.width, skin.size.height));
            button->setState(column >= 4);
            button->setButtonState(column % 4);
            const QImage picture = button->snapshot(scale);
            pf::drawImage(painter, picture,
                          Rect(left + column * cell, y + (row - skin.size.height) / 2, skin.size.width,
                               skin.size.height));
            delete button;
        }
    }
    painter.end();
    save(sheet, name);
}

// 2. Every named shadow, with its text colour, on a light and on a dark ground.
void shadows()
{
    OVShadowCatalog& catalog = OVShadowCatalog::sharedShadowCatalog();
    const QStringList names = catalog.names();
    const double row = 40;
    const Size size(560, names.size() * row + 20);
    QImage sheet(int(size.width * 2), int(size.height * 2), QImage::Format_ARGB32_Premultiplied);
    sheet.setDevicePixelRatio(2);
    sheet.fill(canvas);
    QPainter painter(&sheet);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(0, size.height);
    painter.scale(1, -1);
    painter.fillRect(QRectF(0, 0, 280, size.height), QColor(226, 228, 231));
    for (int i = 0; i < names.size(); ++i) {
        const double y = size.height - 10 - (i + 1) * row + 12;
        for (int side = 0; side < 2; ++side) {
            pf::AttributedString text(
                names[i], {pf::boldSystemFont(15), catalog.textColorForShadowWithName(names[i])->toQColor()});
            text.setShadow(catalog.shadowWithName(names[i]));
            text.drawAtPoint(painter, Point(20 + side * 280, y));
        }
    }
    painter.end();
    save(sheet, QStringLiteral("03-shadows-on-light-and-dark"));
}

struct Recorder : QObject
{
    int actions = 0;
};

// 3. The controls in a window, driven step by step.
void window()
{
    pf::SteppedClock clock;
    auto* window = new pf::Window(Rect(40, 360, 760, 500));
    window->setTitle(QStringLiteral("Toolkit"));
    window->setBackgroundColor(canvas);
    const QImage noise = pf::NamedImage::image(QStringLiteral("NoiseFull"));
    auto* ground = new Canvas(Rect(0, 0, 760, 500), [noise](QPainter& p, Canvas& v) {
        p.fillRect(v.bounds().toQRectF(), canvas);
        p.save();
        p.setOpacity(0.08);
        QPainterPath all;
        all.addRect(v.bounds().toQRectF());
        pf::fillWithPattern(p, all, noise);
        p.restore();
        label(QStringLiteral("Buttons"), 11).drawAtPoint(p, Point(20, 452));
        label(QStringLiteral("Image views"), 11).drawAtPoint(p, Point(20, 360));
        label(QStringLiteral("Three parts"), 11).drawAtPoint(p, Point(440, 360));
    });
    ground->setAutoresizingMask(pf::View::WidthSizable | pf::View::HeightSizable);
    window->contentView()->addSubview(ground);

    Recorder recorder;
    QList<OVButton*> buttons;
    double x = 20;
    for (const Skin& skin : skins) {
        if (skin.name == QLatin1String("InfoButton"))
            continue;
        OVButton* button =
            makeButton(skin, Rect(x, 410 + (22 - skin.size.height) / 2, skin.size.width, skin.size.height));
        button->setHint(QStringLiteral("Applies the effect to the photo"));
        button->setToolTip(QStringLiteral("Apply <b>now</b>"));
        button->setAction([&recorder](OVButton*) { ++recorder.actions; });
        window->contentView()->addSubview(button);
        buttons << button;
        x += skin.size.width + 14;
    }
    OVButton* apply = buttons[0];
    buttons[1]->setIsSwitchButton(true);
    auto* info = new OVInfoHoverButton(Rect(x + 6, 412, 18, 18));
    info->setName(QStringLiteral("InfoButton"));
    info->setInfoTitle(QStringLiteral("How to use"));
    info->setInfoDescription(QStringLiteral("Paint over the skin where the effect should apply. Hold Option "
                                            "to erase; the slider sets the brush size."));
    window->contentView()->addSubview(info);

    // An engine image fitted into a square, and a nine-sliced frame.
    auto* photo = new OVImageView(Rect(20, 140, 200, 200));
    QString error;
    photo->setCIImage(pf::Image::fromFile(QStringLiteral(GLIMORA_TESTDATA_DIR "/portrait-512.png"), &error));
    photo->setGravity(0);
    photo->setAspectFit(true);
    photo->setBorderColor(QColor(255, 255, 255, 60));
    photo->setBorderWidth(1);
    window->contentView()->addSubview(photo);
    QImage frame(21, 21, QImage::Format_ARGB32_Premultiplied);
    frame.fill(Qt::transparent);
    {
        QPainter p(&frame);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(94, 171, 237), 2));
        p.setBrush(QColor(94, 171, 237, 50));
        p.drawRoundedRect(QRectF(1, 1, 19, 19), 6, 6);
    }
    auto* sliced = new OVImageView(Rect(240, 240, 180, 100));
    sliced->setImage(frame);
    sliced->setStretchRect(Rect(10, 10, 1, 1));
    window->contentView()->addSubview(sliced);
    auto* threePart = new OV3PartImageView(Rect(440, 290, 260, 50));
    threePart->setLeftImg(pf::NamedImage::image(QStringLiteral("SettingsBackgroundLeft")));
    threePart->setMidImg(pf::NamedImage::image(QStringLiteral("SettingsBackgroundMid")));
    threePart->setRightImg(pf::NamedImage::image(QStringLiteral("SettingsBackgroundRight")));
    window->contentView()->addSubview(threePart);

    auto* scroller = new OVScroller(Qt::Vertical, window->contentView());
    scroller->setGeometry(740, 40, 15, 300);
    scroller->setKnobStyle(OVScroller::KnobStyle::Light);
    scroller->setKnobProportion(0.3);
    scroller->setDoubleValue(0.4);

    auto* hintLine = new QLabel(window->contentView());
    hintLine->setGeometry(20, 470, 500, 20);
    hintLine->setStyleSheet(QStringLiteral("color: rgb(170, 174, 180); font-size: 11px;"));
    OVHintController::addHintControllerForWindow(window, hintLine);

    OVActivityPanel panel;
    panel.setXLocation(180);
    panel.setWindow(window);

    window->makeKeyAndOrderFront();
    settle(300);
    save(screenshot(window), QStringLiteral("04-window"));

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

    moveTo(apply, Point(40, 11));
    check(apply->buttonState() == OVButton::Hover, "the button under the pointer is hovered");
    check(window->windowCursor() && window->windowCursor()->shape() == Qt::PointingHandCursor,
          "the pointing hand shows over a hovered button");
    check(hintLine->text() == QLatin1String("Applies the effect to the photo"),
          "the hint shows in the hint line");
    save(screenshot(window), QStringLiteral("05-hover"));

    QTest::mousePress(handle, Qt::LeftButton, {}, widgetPoint(apply, Point(40, 11)));
    settle();
    check(apply->buttonState() == OVButton::Down, "a press holds the button down");
    save(screenshot(window), QStringLiteral("06-down"));
    moveTo(apply, Point(40, 80));
    check(apply->buttonState() == OVButton::Normal, "dragging out lets the button up");
    save(screenshot(window), QStringLiteral("07-dragged-out"));
    moveTo(apply, Point(50, 11));
    check(apply->buttonState() == OVButton::Down, "dragging back holds it down again");
    QTest::mouseRelease(handle, Qt::LeftButton, {}, widgetPoint(apply, Point(50, 11)));
    settle();
    check(recorder.actions == 1, "a release inside sends the action once");
    check(apply->buttonState() == OVButton::Hover, "after the click the button is hovered");

    // Resting on the button for the tooltip delay shows its tooltip.
    moveTo(apply, Point(52, 12));
    clock.advance(OVToolTipController::toolTipDelay() + 0.05);
    settle();
    check(OVToolTipController::sharedController().isShowing(), "the tooltip shows after a rest");
    save(screenshot(window), QStringLiteral("08-tooltip"));

    moveTo(info, Point(9, 9));
    OVHoverWindowController* hover = info->hoverWC();
    check(hover->loadedWindow() && hover->loadedWindow()->isVisible(),
          "the hover window shows over the info button");
    check(!OVToolTipController::sharedController().isShowing(), "leaving the button hides its tooltip");
    save(screenshot(window), QStringLiteral("09-hover-window"));
    moveTo(ground, Point(600, 200));
    check(!hover->loadedWindow()->isVisible(), "leaving the hover window closes it");

    panel.startActivity(QStringLiteral("Saving the photo…"));
    clock.advance(0.3);
    settle();
    const double midY = panel.panel()->frame().minY();
    check(midY > 0 && midY < 40, "the panel is on its way down after 0.3 s");
    save(screenshot(window), QStringLiteral("10-panel-mid-slide"));
    clock.advance(0.4);
    settle();
    check(panel.panel()->frame().minY() == 0, "the panel is down after the slide");
    check(panel.view()->frame() == Rect(180, 460, 320, 40), "the panel hangs from the top edge at 180");
    save(screenshot(window), QStringLiteral("11-panel-down"));
    panel.stopActivity(QStringLiteral("Saving the photo…"));
    clock.advance(0.7);
    settle();
    check(panel.panel()->frame().minY() == 40, "the panel slides out after the last activity");
    delete window;
}

} // namespace

int main(int argc, char* argv[])
{
    return runGallery(argc, argv, [] {
        skinSheet(1, QStringLiteral("01-skins-1x"));
        skinSheet(2, QStringLiteral("02-skins-2x"));
        shadows();
        window();
    });
}
