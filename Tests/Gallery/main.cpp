// Shows each facility of the interface substrate in a real window and saves one screenshot per
// facility, so that a person can look at what the code draws. Run under Xvfb by `make test`:
//   ui-gallery <output folder>
#include "Platform/UI/AttributedString.h"
#include "Platform/UI/CursorStack.h"
#include "Platform/UI/Cursors.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/Menu.h"
#include "Platform/UI/SteppedClock.h"
#include "Platform/UI/TrackingArea.h"
#include "Platform/UI/View.h"
#include "Platform/UI/ViewAnimator.h"
#include "Platform/UI/Window.h"
#include "Tests/Gallery/GalleryCanvas.h"
#include "Tests/Gallery/GalleryShots.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QPainter>
#include <QTimer>
#include <cstdio>
#include <functional>

using pf::AttributedString, pf::Point, pf::Rect, pf::Size;

namespace {

using namespace GalleryShots;

const QColor background(38, 40, 44);
const QColor panel(52, 55, 61);
const QColor ink(220, 222, 226);
const QColor accent(94, 171, 237);

AttributedString label(const QString& text, double size = 11, QColor color = ink)
{
    return AttributedString(text, {pf::systemFont(size), color});
}

// A view that draws with a function and can carry a caption.
pf::Window* makeWindow(const QString& title, Size size, Point origin = Point(40, 200))
{
    auto* window = new pf::Window(Rect(origin, size));
    window->setTitle(title);
    window->setBackgroundColor(background);
    return window;
}

// Puts `content` in the window, shows it, saves its picture as `name` and closes it.
void showAndSave(pf::Window* window, pf::View* content, const QString& name)
{
    window->contentView()->addSubview(content);
    window->makeKeyAndOrderFront();
    settle();
    save(window->snapshot(), name);
    delete window;
}

void roundedPanel(QPainter& painter, const Rect& rect, const QColor& color = panel)
{
    QPainterPath path;
    path.addRoundedRect(rect.toQRectF(), 8, 8);
    painter.fillPath(path, color);
}

// 1. Coordinates: a y-up view scrolled by its bounds origin, holding a flipped view; each marks its
// own origin and axes.
void coordinates()
{
    auto* window = makeWindow(QStringLiteral("Coordinates"), Size(520, 340));
    auto axes = [](QPainter& p, Canvas& view, const QString& name) {
        const Rect b = view.bounds();
        roundedPanel(p, b.insetBy(1, 1), view.isFlipped() ? QColor(66, 70, 78) : panel);
        QPen pen(accent, 2);
        p.setPen(pen);
        p.drawLine(QPointF(0, 0), QPointF(40, 0));
        p.drawLine(QPointF(0, 0), QPointF(0, 40));
        p.setBrush(accent);
        p.drawEllipse(QPointF(0, 0), 4, 4);
        label(QStringLiteral("x"), 11, accent).drawAtPoint(p, Point(44, -7));
        label(QStringLiteral("y"), 11, accent).drawAtPoint(p, Point(-3, 42));
        AttributedString text = label(name, 12);
        // The caption sits away from the origin's corner.
        const Rect caption = view.isFlipped()
                                 ? Rect(b.minX() + 70, b.minY() + 10, b.width() - 80, b.height() - 20)
                                 : Rect(b.minX() + 10, b.minY() + 10, b.width() - 20, b.height() - 20);
        text.drawInRect(p, caption);
    };
    auto* outer = new Canvas(Rect(20, 20, 480, 300), [&](QPainter& p, Canvas& v) {
        axes(
            p, v,
            QStringLiteral("y-up view, bounds origin (-30, -30): its (0, 0) sits 30 in from the lower left"));
    });
    outer->setBoundsOrigin(Point(-30, -30));
    auto* flipped = new Canvas(Rect(200, 60, 220, 140), [&](QPainter& p, Canvas& v) {
        axes(p, v,
             QStringLiteral("flipped subview, bounds origin (-20, -20): y grows down from the upper left"));
    });
    flipped->setFlipped(true);
    flipped->setBoundsOrigin(Point(-20, -20));
    outer->addSubview(flipped);
    showAndSave(window, outer, QStringLiteral("01-coordinates"));
}

// 2. Gradients: linear at several angles over rounded paths, multi-stop, radial with and without
// extension.
void gradients()
{
    auto* window = makeWindow(QStringLiteral("Gradients"), Size(620, 300));
    auto* canvas = new Canvas(Rect(0, 0, 620, 300), [](QPainter& p, Canvas&) {
        const QGradientStops twoStops{{0, QColor(24, 26, 30)}, {1, accent}};
        const double angles[] = {0, 45, 90, 270};
        for (int i = 0; i < 4; ++i) {
            const Rect r(20 + i * 150, 170, 130, 100);
            QPainterPath path;
            path.addRoundedRect(r.toQRectF(), 12, 12);
            pf::fillLinearGradient(p, twoStops, path, angles[i]);
            label(QStringLiteral("%1°").arg(angles[i])).drawAtPoint(p, Point(r.minX() + 8, r.minY() + 8));
        }
        const QGradientStops rainbow{{0, QColor(230, 80, 70)},
                                     {0.25, QColor(240, 200, 60)},
                                     {0.5, QColor(90, 200, 120)},
                                     {0.75, accent},
                                     {1, QColor(160, 100, 220)}};
        pf::fillLinearGradient(p, rainbow, Rect(20, 120, 580, 30), 0);
        const QGradientStops glow{{0, QColor(255, 255, 255)}, {1, QColor(94, 171, 237, 0)}};
        pf::drawRadialGradient(p, glow, Point(100, 60), 8, Point(100, 60), 45, false, false,
                               Rect(0, 0, 620, 300));
        pf::drawRadialGradient(p, glow, Point(260, 60), 8, Point(260, 60), 45, true, true,
                               Rect(200, 15, 120, 90));
        pf::drawRadialGradient(p, rainbow, Point(420, 50), 0, Point(440, 60), 50, false, true,
                               Rect(370, 10, 130, 100));
        label(QStringLiteral("not extended")).drawAtPoint(p, Point(62, 0));
        label(QStringLiteral("extended, clipped")).drawAtPoint(p, Point(210, 0));
        label(QStringLiteral("off-centre")).drawAtPoint(p, Point(515, 60));
        label(QStringLiteral("focus")).drawAtPoint(p, Point(515, 44));
    });
    showAndSave(window, canvas, QStringLiteral("02-gradients"));
}

// 3. Text: bold spans, colours, strikethrough, alignment, truncation, wrapping, text shadows.
void text()
{
    auto* window = makeWindow(QStringLiteral("Text"), Size(560, 360));
    auto* canvas = new Canvas(Rect(0, 0, 560, 360), [](QPainter& p, Canvas&) {
        AttributedString rich(QStringLiteral("Skin "), {pf::systemFont(15), ink});
        rich.append(QStringLiteral("smoothing"), {pf::boldSystemFont(15), accent});
        rich.append(QStringLiteral(" with "), {pf::systemFont(15), ink});
        pf::TextAttributes struck{pf::systemFont(15), QColor(200, 90, 90)};
        struck.strikethrough = true;
        rich.append(QStringLiteral("blemishes"), struck);
        rich.drawAtPoint(p, Point(20, 320));

        const AttributedString::Alignment alignments[] = {AttributedString::Alignment::Left,
                                                          AttributedString::Alignment::Center,
                                                          AttributedString::Alignment::Right};
        for (int i = 0; i < 3; ++i) {
            const Rect r(20, 266 - i * 32, 520, 28);
            roundedPanel(p, r);
            AttributedString line = label(QStringLiteral("Aligned %1")
                                              .arg(i == 0   ? "left"
                                                   : i == 1 ? "centre"
                                                            : "right"),
                                          13);
            line.setAlignment(alignments[i]);
            line.setLineBreakMode(AttributedString::LineBreak::Clip);
            line.drawInRect(p, r.insetBy(8, 4));
        }
        const AttributedString::LineBreak modes[] = {AttributedString::LineBreak::TruncateTail,
                                                     AttributedString::LineBreak::TruncateMiddle,
                                                     AttributedString::LineBreak::TruncateHead};
        for (int i = 0; i < 3; ++i) {
            AttributedString name =
                label(QStringLiteral("Portrait of a woman by the window, final retouch.glimora"), 13);
            name.setLineBreakMode(modes[i]);
            const Rect r(20, 150 - i * 32, 230, 28);
            roundedPanel(p, r);
            name.drawInRect(p, r.insetBy(6, 4));
        }
        AttributedString wrapped =
            label(QStringLiteral("Wrapped text breaks at word boundaries inside its rectangle "
                                 "and starts at the rectangle's top edge, as text does."),
                  12);
        const Rect wrapRect(280, 40, 260, 120);
        roundedPanel(p, wrapRect);
        wrapped.drawInRect(p, wrapRect.insetBy(10, 8));

        AttributedString shadowed(QStringLiteral("Shadowed title"),
                                  {pf::boldSystemFont(22), QColor(250, 250, 250)});
        shadowed.setShadow(pf::Shadow{QColor(0, 0, 0, 200), Size(1.5, -2), 3});
        shadowed.drawAtPoint(p, Point(290, 175));
        label(QStringLiteral("truncated at the end, in the middle, at the head"))
            .drawAtPoint(p, Point(20, 20));
    });
    showAndSave(window, canvas, QStringLiteral("03-text"));
}

QImage capImage(bool left)
{
    QImage image(12, 28, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(left ? 0 : -12, 0, 24, 28), 12, 12);
    QLinearGradient g(0, 0, 0, 28);
    g.setColorAt(0, QColor(120, 190, 245));
    g.setColorAt(1, QColor(40, 110, 180));
    p.fillPath(path, g);
    return image;
}

// 4. Shapes: three-part images, shadows under shapes, rotated pattern fills, dashes, even-odd rims,
// clear and destination-out compositing, upright images.
void shapes()
{
    auto* window = makeWindow(QStringLiteral("Shapes and images"), Size(600, 340));
    auto* canvas = new Canvas(Rect(0, 0, 600, 340), [](QPainter& p, Canvas&) {
        QImage middle(1, 28, QImage::Format_ARGB32_Premultiplied);
        {
            QPainter mp(&middle);
            QLinearGradient g(0, 0, 0, 28);
            g.setColorAt(0, QColor(120, 190, 245));
            g.setColorAt(1, QColor(40, 110, 180));
            mp.fillRect(QRectF(0, 0, 1, 28), g);
        }
        const double widths[] = {40, 120, 260};
        for (int i = 0; i < 3; ++i)
            pf::drawThreePartImage(p, Rect(20, 290 - i * 36, widths[i], 28), capImage(true), middle,
                                   capImage(false));
        label(QStringLiteral("three-part images:")).drawAtPoint(p, Point(300, 240));
        label(QStringLiteral("caps kept, middle stretched")).drawAtPoint(p, Point(300, 222));

        pf::drawWithShadow(
            p, pf::Shadow{QColor(0, 0, 0, 180), Size(4, -6), 10}, Rect(20, 40, 140, 110),
            [](QPainter& q) { roundedPanel(q, Rect(30, 60, 120, 80), QColor(230, 232, 236)); });
        label(QStringLiteral("shadow"), 11).drawAtPoint(p, Point(60, 24));

        QImage tile(16, 16, QImage::Format_ARGB32_Premultiplied);
        tile.fill(QColor(60, 64, 72));
        {
            QPainter tp(&tile);
            tp.fillRect(0, 0, 8, 8, QColor(94, 171, 237));
            tp.fillRect(8, 8, 8, 8, QColor(94, 171, 237));
        }
        QPainterPath circle;
        circle.addEllipse(QPointF(250, 100), 55, 55);
        pf::fillWithPattern(p, circle, tile, Point(250, 100), 30);
        label(QStringLiteral("pattern at 30°")).drawAtPoint(p, Point(205, 24));

        QPainterPath rim;
        rim.addRoundedRect(QRectF(350, 50, 110, 110), 20, 20);
        rim.addRoundedRect(QRectF(362, 62, 86, 86), 12, 12);
        pf::fillEvenOdd(p, rim, QColor(230, 200, 90));
        QPainterPath dashed;
        dashed.addEllipse(QPointF(405, 105), 30, 30);
        pf::strokeDashed(p, dashed, ink, 2, {6, 4});
        label(QStringLiteral("even-odd, dashes")).drawAtPoint(p, Point(352, 24));

        // Erasing works on what is below in the same image: a layer of its own, drawn afterwards.
        QImage layer(90, 110, QImage::Format_ARGB32_Premultiplied);
        layer.fill(Qt::transparent);
        {
            QPainter lp(&layer);
            lp.setRenderHint(QPainter::Antialiasing);
            lp.translate(0, 110);
            lp.scale(1, -1);
            roundedPanel(lp, Rect(0, 0, 90, 110), QColor(200, 90, 90));
            QPainterPath hole;
            hole.addEllipse(QPointF(45, 55), 25, 25);
            pf::eraseWith(lp, hole, 1.0);
            pf::clearRect(lp, Rect(0, 0, 90, 12));
        }
        pf::drawImage(p, layer, Rect(490, 50, 90, 110));
        label(QStringLiteral("erased")).drawAtPoint(p, Point(512, 24));
    });
    showAndSave(window, canvas, QStringLiteral("04-shapes"));
}

// 5. Overlay windows: a loupe and a drawer float inside their owner; the drawer follows the owner's
// resizing by its mask.
void overlays()
{
    auto* owner = makeWindow(QStringLiteral("Overlays"), Size(500, 320), Point(40, 300));
    owner->contentView()->addSubview(new Canvas(Rect(0, 0, 500, 320), [](QPainter& p, Canvas& v) {
        pf::fillLinearGradient(p, {{0, QColor(30, 32, 36)}, {1, QColor(60, 64, 72)}}, v.bounds(), 90);
        label(QStringLiteral("owner window"), 13).drawAtPoint(p, Point(16, 16));
    }));
    owner->contentView()->subviews().first()->setAutoresizingMask(pf::View::WidthSizable |
                                                                  pf::View::HeightSizable);
    owner->makeKeyAndOrderFront();
    settle();
    auto* loupe = new pf::Window(Rect(120, 420, 140, 140), pf::Window::Borderless);
    loupe->setOpaque(false);
    loupe->contentView()->addSubview(new Canvas(Rect(0, 0, 140, 140), [](QPainter& p, Canvas&) {
        pf::drawWithShadow(
            p, pf::Shadow{QColor(0, 0, 0, 200), Size(0, -3), 8}, Rect(0, 0, 140, 140), [](QPainter& q) {
                QPainterPath lens;
                lens.addEllipse(QPointF(70, 70), 58, 58);
                pf::drawRadialGradient(q, {{0, QColor(255, 255, 255, 90)}, {1, QColor(94, 171, 237, 160)}},
                                       Point(60, 80), 0, Point(70, 70), 58, true, false,
                                       Rect(0, 0, 140, 140));
                q.setPen(QPen(QColor(240, 240, 240), 4));
                q.drawPath(lens);
            });
        label(QStringLiteral("loupe"), 12).drawAtPoint(p, Point(52, 62));
    }));
    auto* drawer = new pf::Window(Rect(540 - 110, 320, 100, 280), pf::Window::Borderless);
    drawer->setAutoresizingMask(pf::View::MinXMargin | pf::View::HeightSizable);
    drawer->setOpaque(false);
    drawer->contentView()->addSubview(new Canvas(Rect(0, 0, 100, 280), [](QPainter& p, Canvas& v) {
        roundedPanel(p, v.bounds(), QColor(70, 74, 82));
        label(QStringLiteral("drawer"), 12).drawAtPoint(p, Point(10, v.bounds().maxY() - 24));
    }));
    drawer->contentView()->subviews().first()->setAutoresizingMask(pf::View::HeightSizable);
    owner->addChildWindow(loupe);
    owner->addChildWindow(drawer);
    settle();
    save(screenshot(owner), QStringLiteral("05-overlays"));
    owner->setContentSize(Size(620, 380));
    settle();
    save(screenshot(owner), QStringLiteral("06-overlays-after-resize"));
    delete owner;
}

// 6. Animation of views on the stepped clock: the same group sampled at three times.
void animation()
{
    pf::SteppedClock clock;
    auto* window = makeWindow(QStringLiteral("Animation"), Size(560, 200));
    auto* track = new Canvas(Rect(0, 0, 560, 200), [](QPainter& p, Canvas&) {
        for (int i = 0; i < 3; ++i)
            roundedPanel(p, Rect(10, 10 + i * 62, 540, 56), QColor(46, 49, 54));
    });
    window->contentView()->addSubview(track);
    std::vector<pf::View*> boxes;
    for (int i = 0; i < 3; ++i) {
        auto* box = new Canvas(Rect(20, 18 + i * 62, 40, 40),
                               [](QPainter& p, Canvas& v) { roundedPanel(p, v.bounds(), accent); });
        window->contentView()->addSubview(box);
        boxes.push_back(box);
    }
    window->makeKeyAndOrderFront();
    settle();
    pf::ViewAnimator::runGroup(
        1.0,
        [&] {
            pf::ViewAnimator::animateFrame(boxes[0], Rect(490, 18, 40, 40));
            pf::ViewAnimator::animateFrame(boxes[1], Rect(430, 80, 100, 40));
            pf::ViewAnimator::animateAlpha(boxes[2], 0.15);
            pf::ViewAnimator::animateFrame(boxes[2], Rect(490, 142, 40, 40));
        },
        nullptr, pf::ViewAnimator::Timing::EaseInEaseOut);
    QImage strip(560, 600, QImage::Format_ARGB32_Premultiplied);
    strip.fill(background);
    QPainter painter(&strip);
    for (int step = 0; step < 3; ++step) {
        clock.advance(step == 0 ? 0.25 : 0.25 * step + 0.01);
        settle(60);
        painter.drawImage(0, step * 200, window->snapshot());
    }
    painter.end();
    save(strip, QStringLiteral("07-animation-at-0.25-0.5-1.0s"));
    delete window;
}

// 7. Tracking areas and cursors under a real pointer: the X server moves the pointer, the areas
// report, the window's cursor stack wins over the view.
void tracking()
{
    auto* window = makeWindow(QStringLiteral("Tracking"), Size(420, 200), Point(40, 500));
    struct Hover : pf::View
    {
        using View::View;
        int inside = -1;
        QString log;
        void drawRect(QPainter& p, const Rect&) override
        {
            for (int i = 0; i < 2; ++i) {
                const Rect r(10 + i * 200, 10, 180, 120);
                roundedPanel(p, r, inside == i ? accent : panel);
                label(inside == i ? QStringLiteral("inside") : QStringLiteral("outside"), 13)
                    .drawAtPoint(p, Point(r.minX() + 12, r.minY() + 12));
            }
            label(log, 11).drawAtPoint(p, Point(10, 160));
        }
        void mouseEntered(const pf::Event& e) override
        {
            inside = e.userData().value(QStringLiteral("index")).toInt();
            log += QStringLiteral("entered %1  ").arg(inside);
            setNeedsDisplay();
        }
        void mouseExited(const pf::Event& e) override
        {
            if (inside == e.userData().value(QStringLiteral("index")).toInt())
                inside = -1;
            log += QStringLiteral("exited %1  ").arg(e.userData().value(QStringLiteral("index")).toInt());
            setNeedsDisplay();
        }
    };
    auto* hover = new Hover(Rect(0, 0, 420, 200));
    for (int i = 0; i < 2; ++i)
        hover->addTrackingArea(std::make_unique<pf::TrackingArea>(
            Rect(10 + i * 200, 10, 180, 120),
            pf::TrackingArea::MouseEnteredAndExited | pf::TrackingArea::ActiveAlways, hover,
            QVariantMap{{QStringLiteral("index"), i}}));
    window->contentView()->addSubview(hover);
    window->makeKeyAndOrderFront();
    settle(300);
    pf::CursorStack stack(window);
    stack.push(pf::Cursors::pointingHand(), QStringLiteral("gallery"));
    auto moveTo = [&](Point p) {
        QCursor::setPos(hover->mapToGlobal(hover->pointToWidget(p)).toPoint());
        settle(120);
    };
    moveTo(Point(100, 70));
    moveTo(Point(300, 70));
    const QString log = hover->log;
    save(screenshot(window), QStringLiteral("08-tracking-areas"));
    if (!log.contains(QStringLiteral("entered 1"))) {
        std::fprintf(stderr, "Warning: tracking under the real pointer reported \"%s\"\n", qPrintable(log));
    }
    delete window;
}

// 8. A menu with a header, indented items, a separator and a disabled item, popped up with an item at
// a point.
void menu()
{
    auto* window = makeWindow(QStringLiteral("Menu"), Size(360, 260), Point(40, 500));
    window->makeKeyAndOrderFront();
    settle();
    pf::Menu menu;
    menu.addHeader(QStringLiteral("Wood"));
    pf::Menu::setIndentationLevel(menu.addItem(
                                      QStringLiteral("Oak"), [](QAction*) {}, 1),
                                  1);
    pf::Menu::setIndentationLevel(menu.addItem(
                                      QStringLiteral("Walnut"), [](QAction*) {}, 2),
                                  1);
    menu.addSeparator();
    QAction* plain = menu.addItem(
        QStringLiteral("Plain frame"), [](QAction*) {}, 3);
    menu.addItem(
        QStringLiteral("Needs a photo"), [](QAction*) {}, 4);
    menu.setValidator([](QAction* item) { return pf::Menu::tag(item) != 4; });
    QTimer::singleShot(400, [&] {
        save(screenshot(window, 0), QStringLiteral("09-menu"));
        menu.close();
    });
    menu.popUpPositioningItem(plain, Point(60, 180), window->contentView());
    delete window;
}

} // namespace

int main(int argc, char* argv[])
{
    return runGallery(argc, argv, [] {
        coordinates();
        gradients();
        text();
        shapes();
        overlays();
        animation();
        tracking();
        menu();
    });
}
