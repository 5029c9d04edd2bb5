// The loupe gallery: the real editor window on the test portrait, the loupe driven through the window's
// own input as a person's hand would, one screenshot per step into the folder given as the first
// argument. A step that does not do what it should is reported and fails the run.

#include "Classes/Editor/GMSettingsController.h"
#include "Classes/Editor/GMWindowController.h"
#include "Classes/Editor/OVLayerBrowser.h"
#include "Classes/Editor/OVLoupeView.h"
#include "Classes/Editor/OVZoomView.h"
#include "Classes/Filters/FilterLibrary.h"
#include "Classes/ToolObjects/OVBrushFramework/OVBrushPathImage.h"
#include "Classes/ToolObjects/OVBrushFramework/OVHealingBrush.h"
#include "Classes/ToolObjects/OVBrushFramework/OVIrisMaskBrush.h"
#include "Classes/ToolObjects/OVBrushFramework/OVIrisReplacementBrush.h"
#include "Classes/ToolObjects/PhotoToolChain.h"
#include "Platform/Foundation/FileSystem.h"
#include "Platform/Foundation/UndoManager.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/UI/Event.h"
#include "Platform/UI/Layer.h"
#include "Platform/UI/Window.h"
#include "Tests/Gallery/EditorClasses.h"
#include "Tests/Gallery/GalleryShots.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <cstdio>

using pf::Point, pf::Rect;

namespace {

using GalleryShots::failures;
using GalleryShots::outputFolder;

using GalleryShots::check;

void shoot(const QWidget* window, const QString& name, int settleMs = 150)
{
    GalleryShots::settle(settleMs);
    GalleryShots::saveNumbered(GalleryShots::screenshot(window), name);
    std::fflush(stdout);
}

// The pointer, in the content view's (y-up) coordinates, through the window as a person's.
class Hand
{
public:
    explicit Hand(pf::Window* window) : m_window(window) {}
    QPoint at(Point p) const
    {
        return QPoint(int(std::lround(p.x)), int(std::lround(m_window->height() - p.y)));
    }
    void move(Point p, int settleMs = 20)
    {
        QCursor::setPos(m_window->mapToGlobal(at(p)));
        QTest::mouseMove(m_window->windowHandle(), at(p));
        GalleryShots::settle(settleMs);
    }
    void press(Point p) { QTest::mousePress(m_window->windowHandle(), Qt::LeftButton, {}, at(p)); }
    void release(Point p) { QTest::mouseRelease(m_window->windowHandle(), Qt::LeftButton, {}, at(p)); }
    // Drags from `from` to `to` in steps, the button held.
    void drag(Point from, Point to, int steps = 12)
    {
        for (int i = 1; i <= steps; ++i)
            move(Point(from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps));
    }

private:
    pf::Window* m_window;
};

Point centreOf(const Rect& r)
{
    return Point(r.midX(), r.midY());
}

Point around(const Rect& frame, double r, double degrees)
{
    const double a = degrees / 180 * 3.141592653589793;
    return Point(frame.midX() + r * frame.width() / 2 * std::cos(a),
                 frame.midY() + r * frame.height() / 2 * std::sin(a));
}

void run()
{
    GMWindowController controller;
    if (!controller.loadWindow()) {
        check(false, QStringLiteral("the editor window is built"));
        return;
    }
    pf::Window* window = controller.window();
    window->makeKeyAndOrderFront();
    const QImage portrait(QStringLiteral(GLIMORA_TESTDATA_DIR "/portrait-512.png"));
    check(!portrait.isNull(), QStringLiteral("the portrait is there"));
    controller.setOriginalImage(pf::Image::fromQImage(portrait));
    controller.setUndoManager(std::make_shared<pf::UndoManager>());
    const auto live = [&] {
        return controller.viewMode() == GMWindowController::Live && !controller.isPreviewPending();
    };
    GalleryShots::waitFor(live, 20000);
    controller.effectBrowserControllerAddPhotoTool(controller.effectBrowserController(),
                                                   QStringLiteral("Tan"));
    GalleryShots::waitFor(live, 20000);
    GalleryShots::settle(400);

    OVLoupeView* loupe = controller.loupe();
    Hand hand(window);
    const Rect dock = loupe->frame();
    check(loupe->loupeState() == 1 && !loupe->isHidden(), QStringLiteral("the loupe rests docked"));
    shoot(window, QStringLiteral("docked"));

    // Carried by the rim, first beside the photo, then over it.
    const Rect photo = controller.activeRectForLoupe(loupe);
    Point grip = around(dock, 0.85, 200);
    hand.move(grip);
    hand.press(grip);
    const Point beside(photo.maxX() + 30, photo.minY() - 60);
    Point held = grip;
    const auto carryTo = [&](Point to) {
        const Point middle = centreOf(loupe->loupeLayer()->frame());
        const Point target(held.x + to.x - middle.x, held.y + to.y - middle.y);
        hand.drag(held, target);
        held = target;
    };
    carryTo(beside);
    check(loupe->loupeState() == 2, QStringLiteral("carried beside the photo"));
    shoot(window, QStringLiteral("carried-beside-the-photo"));
    // Over the eyes of the portrait: the photo is seen magnified through the glass, the edge refracts.
    // The eyes lie near the window's top, so the loupe goes no higher than keeps its whole rim (lifted,
    // a little larger) and the knob's marks in the window; the eyes are then in the glass's upper half.
    const double highest =
        loupe->superview()->bounds().height() - 0.53 * loupe->loupeLayer()->bounds().height();
    const Point eyes(photo.minX() + 0.435 * photo.width(),
                     std::min(photo.minY() + 0.795 * photo.height(), highest));
    carryTo(eyes);
    check(loupe->loupeState() == 3, QStringLiteral("carried over the photo"));
    shoot(window, QStringLiteral("carried-over-the-photo"));
    hand.release(held);
    check(loupe->loupeState() == 4 || loupe->loupeState() == 5, QStringLiteral("placed on the photo"));
    shoot(window, QStringLiteral("placed"), 0);
    check(GalleryShots::waitFor([&] { return loupe->loupeState() == 5; }, 20000),
          QStringLiteral("the loupe goes live"));
    // The pointer away from the glass: the glare shows.
    hand.move(around(loupe->frame(), 1.3, 200), 300);
    shoot(window, QStringLiteral("live"));
    hand.move(centreOf(loupe->frame()), 400);
    check(loupe->cursorState() == 1 && loupe->glassLayer()->opacity() == 0,
          QStringLiteral("the pointer in the glass clears it"));
    shoot(window, QStringLiteral("glass-cleared-by-the-pointer"));

    // Each magnification, the knob turned to its mark; named as the rim labels them (what the glass shows
    // on screen: two times, once, half and a quarter the photo's size).
    const double marks[] = {-29, 4.3, 37.7, 71};
    const char* names[] = {"2x", "1x", "half", "quarter"};
    for (int step : {0, 2, 3, 1}) {
        const Rect f = loupe->frame();
        const Point on = around(f, 0.71, 4.3 + (loupe->zoomFactor() - 1) * 33.4);
        hand.move(on);
        hand.press(on);
        hand.drag(on, around(f, 0.71, marks[step]), 6);
        hand.release(around(f, 0.71, marks[step]));
        check(loupe->zoomFactor() == step, QStringLiteral("the knob turned to step %1").arg(step));
        GalleryShots::waitFor([&] { return loupe->loupeState() == 5; }, 20000);
        hand.move(around(loupe->frame(), 1.3, 200), 400);
        shoot(window, QStringLiteral("knob-%1").arg(QLatin1String(names[step])));
    }

    // A stroke in the glass, the knob at its "½×" mark.
    hand.move(around(loupe->frame(), 0.71, 4.3));
    hand.press(around(loupe->frame(), 0.71, 4.3));
    hand.drag(around(loupe->frame(), 0.71, 4.3), around(loupe->frame(), 0.71, 37.7), 4);
    hand.release(around(loupe->frame(), 0.71, 37.7));
    GalleryShots::waitFor([&] { return loupe->loupeState() == 5; }, 20000);
    const auto mask = controller.toolChain()->brushPathImageAtIndex(1);
    const int before = mask ? int(mask->segmentImageNames().size()) : 0;
    const Rect f = loupe->frame();
    hand.move(around(f, 0.4, 160));
    hand.press(around(f, 0.4, 160));
    for (int i = 1; i <= 16; ++i)
        hand.move(around(f, 0.4 - i * 0.02, 160 + i * 8));
    hand.release(around(f, 0.2, 288));
    check(mask && GalleryShots::waitFor([&] { return int(mask->segmentImageNames().size()) > before; }),
          QStringLiteral("the stroke in the glass reaches the layer's mask"));
    GalleryShots::waitFor([&] { return loupe->loupeState() == 5; }, 20000);
    hand.move(around(loupe->frame(), 0.1, 0), 500);
    shoot(window, QStringLiteral("stroke-in-the-glass"), 600);

    // Shift held alone: the loupe steps aside for the canvas.
    const auto flags = [&](unsigned modifiers) {
        loupe->keyboardFlagsChangedEvent(pf::Event::keyEvent(pf::EventType::FlagsChanged, Point(), modifiers,
                                                             0, window, QString(), QString(), false, 0));
    };
    flags(pf::Modifier::Shift);
    check(loupe->isHidden(), QStringLiteral("Shift hides the loupe"));
    shoot(window, QStringLiteral("shift-held"), 500);
    flags(0);
    GalleryShots::settle(400);

    // Dropped off the photo: caught in its flight home.
    grip = around(loupe->frame(), 0.85, 200);
    held = grip;
    hand.move(grip);
    hand.press(grip);
    carryTo(Point(photo.minX() - 120, photo.midY()));
    hand.release(held);
    shoot(window, QStringLiteral("dropped-off-the-photo-mid-flight"), 60);
    GalleryShots::settle(600);
    check(loupe->loupeState() == 1 && loupe->frame() == loupe->orgFrame(),
          QStringLiteral("back in the dock"));

    // The layers in 3D: the loupe is away; back in 2D it is docked.
    controller.ovSwitchDidChangeState(controller.switch3D(), true);
    GalleryShots::settle(1500);
    check(loupe->loupeState() == 0 && loupe->isHidden(), QStringLiteral("hidden in 3D"));
    shoot(window, QStringLiteral("3d"));
    controller.ovSwitchDidChangeState(controller.switch3D(), false);
    GalleryShots::settle(1500);
    GalleryShots::waitFor(live, 20000);
    check(loupe->loupeState() == 1 && !loupe->isHidden(), QStringLiteral("docked again in 2D"));

    // Placed again, then the window made smaller: the dock keeps to the upper right, the loupe to its part.
    grip = around(loupe->frame(), 0.85, 200);
    held = grip;
    hand.move(grip);
    hand.press(grip);
    const Rect photoNow = controller.activeRectForLoupe(loupe);
    carryTo(Point(photoNow.minX() + 0.6 * photoNow.width(), photoNow.minY() + 0.4 * photoNow.height()));
    hand.release(held);
    GalleryShots::waitFor([&] { return loupe->loupeState() == 5; }, 20000);
    const Rect edit = loupe->editRect();
    window->resize(window->width() - 160, window->height() - 80);
    GalleryShots::settle(600);
    GalleryShots::waitFor([&] { return loupe->loupeState() == 5; }, 20000);
    const Rect content = window->contentView()->bounds();
    check(std::abs(content.maxX() - loupe->orgFrame().maxX() - (1280 - dock.maxX())) < 1 ||
              loupe->orgFrame().maxX() < content.maxX(),
          QStringLiteral("the dock keeps to the upper right"));
    check(std::abs(loupe->editRect().midX() - edit.midX()) < 0.05,
          QStringLiteral("the loupe keeps its part"));
    hand.move(around(loupe->frame(), 1.3, 200), 300);
    shoot(window, QStringLiteral("resized"));
    controller.cleanUp();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("glimora-loupe-gallery"));
    GalleryShots::useOutputFolder(argc, argv, QDir::currentPath());
    QTemporaryDir sandbox;
    GalleryShots::useSandbox(sandbox);
    GalleryShots::registerFiltersAndBrushes();
    run();
    OVBrushPathImage::waitForPendingWrites();
    return GalleryShots::exitCodeWithCount();
}
