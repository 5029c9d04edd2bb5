// Shows the toolkit's services in real windows and drives them with synthesised input, saving a
// screenshot after each step so that a person can look at them; a step whose effect is not what it
// should be fails the run. Run under Xvfb by `make test`:
//   toolkit-services-gallery <output folder>
#include "Classes/Framework/Toolkit/AttributedStringORVExtension.h"
#include "Classes/Framework/Toolkit/LayerORVExtension.h"
#include "Classes/Framework/Toolkit/OVCIImageLayer.h"
#include "Classes/Framework/Toolkit/OVChildSupportWindow.h"
#include "Classes/Framework/Toolkit/OVFrameLessWindow.h"
#include "Classes/Framework/Toolkit/PopUpButtonORVExtension.h"
#include "Classes/Framework/Toolkit/WindowORVExtension.h"
#include "Platform/UI/AttributedString.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/LayerHostView.h"
#include "Platform/UI/Menu.h"
#include "Platform/UI/Transaction.h"
#include "Platform/UI/View.h"
#include "Platform/UI/Window.h"
#include "Tests/Gallery/GalleryCanvas.h"
#include "Tests/Gallery/GalleryShots.h"
#include "Tests/GallerySupport.h"

#include <QApplication>
#include <QCursor>
#include <QPainter>
#include <QTest>
#include <cstdio>
#include <functional>

using pf::Point, pf::Rect, pf::Size;

namespace {

using namespace GalleryShots;

const QColor canvas(34, 36, 40);
const QColor ink(214, 217, 222);
const QColor accent(88, 148, 230);

pf::AttributedString label(const QString& text, double size = 13, QColor color = ink)
{
    return pf::AttributedString(text, {pf::systemFont(size), color});
}

pf::Window* darkWindow(const Rect& frame, const QString& title, unsigned style = pf::Window::Titled)
{
    auto* window = new pf::Window(frame, style);
    window->setTitle(title);
    window->setBackgroundColor(canvas);
    return window;
}

// The pop-up entries with a category, open.
void menuStep()
{
    pf::Window* window = darkWindow(Rect(80, 500, 360, 260), QStringLiteral("Pop-up entries"));
    window->contentView()->addSubview(new Canvas(Rect(0, 0, 360, 260), [](QPainter& painter, Canvas&) {
        label(QStringLiteral("Colour scheme"), 12).drawAtPoint(painter, Point(20, 220));
    }));
    window->show();
    check(QTest::qWaitForWindowExposed(window), "the window shows");
    pf::Menu menu;
    PopUpButtonORVExtension::addEntries(menu,
                                        {"Plain", "Colours-", "ColoursWarm", "ColoursCold", "-", "Other"});
    check(menu.actions().size() == 6, "the menu has six entries");
    const QPoint at = window->mapToGlobal(QPoint(130, 30));
    menu.popup(at);
    settle(300);
    menu.setActiveAction(menu.actions().at(2)); // the pointer on "Warm Colours"
    settle(150);
    QImage shot = GalleryShots::screenshot(window, 0);
    save(shot, QStringLiteral("01-popup-entries-open"));
    menu.close();
    delete window;
}

// Truncated texts of one line at several widths, and texts centred vertically in boxes.
void textStep()
{
    pf::Window* window = darkWindow(Rect(80, 300, 620, 420), QStringLiteral("Text"));
    const QString sentence = QStringLiteral("Soften the skin without losing its texture");
    window->contentView()->addSubview(new Canvas(Rect(0, 0, 620, 420), [&](QPainter& painter, Canvas&) {
        double y = 380;
        for (int width : {400, 260, 180, 90, 30, 8}) {
            const pf::AttributedString cut =
                AttributedStringORVExtension::truncatedStringWithWidth(label(sentence), width);
            painter.fillRect(QRectF(20, y - 4, width, 24), QColor(60, 64, 72));
            cut.drawAtPoint(painter, Point(20, y));
            label(QStringLiteral("%1 pt").arg(width), 11, QColor(150, 154, 160))
                .drawAtPoint(painter, Point(440, y));
            y -= 34;
        }
        double x = 20;
        for (const QString& text : {QStringLiteral("One line"),
                                    QStringLiteral("Two lines of text when narrow"), QStringLiteral("")}) {
            const Rect box(x, 20, 170, 110);
            painter.setPen(QPen(accent, 1));
            painter.drawRect(box.toQRectF());
            pf::AttributedString centred = label(text.isEmpty() ? QStringLiteral("Three lines of text here, "
                                                                                 "centred in the box")
                                                                : text);
            centred.setAlignment(pf::AttributedString::Alignment::Center);
            AttributedStringORVExtension::drawCenteredVerticallyInRect(centred, painter, box.insetBy(8, 0));
            x += 195;
        }
    }));
    window->show();
    check(QTest::qWaitForWindowExposed(window), "the window shows");
    check(AttributedStringORVExtension::truncatedStringWithWidth(label(sentence), 8).string() ==
              QStringLiteral("\u2026"),
          "narrower than an ellipsis gives the ellipsis alone");
    settle();
    save(window->grab().toImage(), QStringLiteral("02-truncated-and-centred-text"));
    delete window;
}

// A layer with a shadow and its duplicate, which shows no shadow until its opacity is set.
void layerStep(const QImage& portrait)
{
    pf::Window* window = darkWindow(Rect(80, 300, 640, 380), QStringLiteral("Layer and duplicate"));
    auto* host = new pf::LayerHostView(Rect(0, 0, 640, 380));
    window->contentView()->addSubview(host);
    pf::Transaction::begin();
    pf::Transaction::setDisableActions(true);
    auto source = OVCIImageLayer::create();
    source->setImage(portrait);
    source->setBounds(Rect(0, 0, 240, 240));
    source->setPosition(Point(170, 200));
    source->setCornerRadius(18);
    source->setBorderColor(ink);
    source->setBorderWidth(3);
    source->setShadowColor(Qt::black);
    source->setShadowOpacity(0.9);
    source->setShadowRadius(14);
    source->setShadowOffset(Size(0, -10));
    source->setTransform(pf::Transform3D::rotation(0.08, 0, 0, 1));
    source->addSublayer(pf::Layer::create()); // not copied
    source->sublayers().front()->setBackgroundColor(QColor(230, 80, 60));
    source->sublayers().front()->setFrame(Rect(10, 10, 40, 40));
    host->layer()->addSublayer(source);
    std::shared_ptr<pf::Layer> copy = LayerORVExtension::duplicate(*source);
    copy->setPosition(Point(470, 200));
    host->layer()->addSublayer(copy);
    pf::Transaction::commit();
    check(copy->sublayers().empty() && copy->shadowOpacity() == 0,
          "the duplicate has no sublayer, no shadow");
    check(LayerORVExtension::transparencyAt(*copy, Point(120, 120)) > 0.99,
          "the copy is opaque in its middle");
    window->show();
    check(QTest::qWaitForWindowExposed(window), "the window shows");
    settle();
    save(window->grab().toImage(), QStringLiteral("03-layer-and-duplicate"));
    delete window;
}

// A frameless window with the portrait, before and after a drag on its background.
void framelessStep(const QImage& portrait)
{
    pf::Window* backdrop = darkWindow(Rect(40, 200, 760, 600), QStringLiteral("Backdrop"));
    backdrop->show();
    auto* window = new OVFrameLessWindow(Rect(120, 330, 260, 260));
    window->contentView()->addSubview(new Canvas(Rect(0, 0, 260, 260), [&](QPainter& painter, Canvas& view) {
        QPainterPath rounded;
        rounded.addRoundedRect(view.bounds().insetBy(6, 6).toQRectF(), 22, 22);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setClipPath(rounded);
        pf::drawImage(painter, portrait, view.bounds().insetBy(6, 6));
    }));
    window->show();
    check(QTest::qWaitForWindowExposed(window), "the window shows");
    settle();
    save(GalleryShots::screenshot(backdrop), QStringLiteral("04-frameless-before-drag"));
    const Rect before = window->frame();
    // The pointer moves on the screen; the window follows it, so each position is given in the window's
    // coordinates of the moment.
    const QPoint start = window->mapToGlobal(QPoint(130, 130));
    QCursor::setPos(start);
    settle(50);
    QTest::mousePress(window->windowHandle(), Qt::LeftButton, {}, QPoint(130, 130));
    for (int step = 1; step <= 10; ++step) {
        const QPoint global = start + QPoint(step * 20, step * 6);
        QCursor::setPos(global);
        QTest::mouseMove(window->windowHandle(), window->mapFromGlobal(global));
        settle(30);
    }
    QTest::mouseRelease(window->windowHandle(), Qt::LeftButton, {},
                        window->mapFromGlobal(start + QPoint(200, 60)));
    settle();
    const Point moved = window->frame().origin - before.origin;
    check(std::abs(moved.x - 200) < 2 && std::abs(moved.y + 60) < 2, "the background drag moved the window");
    save(GalleryShots::screenshot(backdrop), QStringLiteral("05-frameless-after-drag"));
    delete window;
    delete backdrop;
}

// Draws a window's content with a strip telling whether the window counts as key.
Canvas* keyStrip(const Rect& frame, const QString& title, QColor fill)
{
    return new Canvas(frame, [title, fill](QPainter& painter, Canvas& view) {
        painter.fillRect(view.bounds().toQRectF(), fill);
        const bool key = view.window() && view.window()->isKeyWindow();
        const Rect strip(0, view.bounds().height() - 30, view.bounds().width(), 30);
        painter.fillRect(strip.toQRectF(), key ? accent : QColor(70, 74, 82));
        label(title + (key ? QStringLiteral(" — key") : QStringLiteral(" — not key")), 12)
            .drawAtPoint(painter, Point(12, strip.minY() + 8));
    });
}

// A parent with a key child panel, then a click into the parent; and the parent's own screenshot.
void childPanelStep()
{
    auto* parent =
        new OVChildSupportWindow(Rect(100, 300, 560, 380), pf::Window::Titled | pf::Window::Closable);
    parent->setTitle(QStringLiteral("Parent with a child panel"));
    parent->contentView()->addSubview(keyStrip(Rect(0, 0, 560, 380), QStringLiteral("Parent"), canvas));
    auto* child = new OVChildSupportWindow(Rect(320, 320, 220, 160), pf::Window::Borderless);
    child->setIsChildWindow(true);
    child->contentView()->addSubview(
        keyStrip(Rect(0, 0, 220, 160), QStringLiteral("Panel"), QColor(52, 56, 64)));
    parent->addChildWindow(child);
    parent->show();
    check(QTest::qWaitForWindowExposed(parent), "the window shows");
    child->makeKeyWindow();
    parent->update();
    child->update();
    settle();
    check(parent->isKeyWindow() && child->isKeyWindow(), "a parent whose panel is key counts as key");
    save(GalleryShots::screenshot(parent), QStringLiteral("06-parent-with-key-child"));

    QTest::mouseClick(parent->windowHandle(), Qt::LeftButton, {}, QPoint(80, 200));
    parent->update();
    child->update();
    settle();
    check(pf::Window::keyWindow() == parent, "a click into the parent takes the keyboard back");
    check(!child->isKeyWindow(), "the panel is no longer key");
    save(GalleryShots::screenshot(parent), QStringLiteral("07-after-click-into-parent"));

    const QImage own = WindowORVExtension::newCGImageScreenshot(*parent);
    check(own.size() == parent->size() * parent->devicePixelRatio(), "the screenshot covers the content");
    save(own, QStringLiteral("08-window-own-screenshot"));
    delete parent;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QImage portrait = gallerySupport::portraitOrExit(argc, argv, &outputFolder);
    menuStep();
    textStep();
    layerStep(portrait);
    framelessStep(portrait);
    childPanelStep();
    return gallerySupport::exitCodeForFailedSteps(failures);
}
