// Shows the crop dialog and the image catalog's drawer in real windows and saves a PNG of each step, so
// that a person can look at them; a step whose result is not what it should be fails the run:
//   catalog-gallery <output folder>
#include "Classes/Frames/OVCropController.h"
#include "Classes/Frames/OVCropView.h"
#include "Classes/Frames/OVImageCatalog.h"
#include "Classes/Frames/OVImageCatalogDelegate.h"
#include "Classes/Frames/OVWindowDrawer.h"
#include "Classes/Framework/Toolkit/OVColorView.h"
#include "Classes/Framework/Toolkit/OVGridItem.h"
#include "Classes/Framework/Toolkit/OVGridViewController.h"
#include "Classes/Framework/Toolkit/OVImageView.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/UI/SteppedClock.h"
#include "Platform/UI/View.h"
#include "Platform/UI/Window.h"
#include "Tests/Gallery/GalleryShots.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTest>
#include <cstdio>

using namespace pf;

namespace {

using namespace GalleryShots;

void shoot(const QWidget* window, const QString& name)
{
    GalleryShots::settle(200);
    GalleryShots::save(GalleryShots::screenshot(window), name);
}

// A host window: a dark ground with the portrait on it, as the editor shows a picture.
Window* hostWindow(const QImage& portrait, View** focus)
{
    auto* window = new Window(Rect(80, 80, 1100, 760));
    window->setTitle(QStringLiteral("Catalog Gallery"));
    auto* ground = new OVColorView(window->contentView()->bounds());
    ground->setColor(PaintColor::calibratedRGB(0.2, 0.21, 0.23));
    ground->setAutoresizingMask(View::WidthSizable | View::HeightSizable);
    window->contentView()->addSubview(ground);
    auto* picture = new OVImageView(Rect(20, 20, 1060, 720));
    picture->setGravity(0);
    picture->setAspectFit(true);
    picture->setImage(portrait);
    picture->setAutoresizingMask(View::WidthSizable | View::HeightSizable);
    ground->addSubview(picture);
    *focus = picture;
    window->show();
    return window;
}

// Presses on the crop view, drags in steps and stops before releasing, as a hand would.
void dragCropView(OVCropView* view, Point from, Point to, bool release)
{
    const auto widgetPoint = [view](Point p) { return view->pointToWidget(p).toPoint(); };
    QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, widgetPoint(from));
    for (int step = 1; step <= 10; ++step) {
        const Point p(from.x + (to.x - from.x) * step / 10, from.y + (to.y - from.y) * step / 10);
        QMouseEvent move(QEvent::MouseMove, widgetPoint(p), view->mapToGlobal(widgetPoint(p)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view, &move);
        GalleryShots::settle(20);
    }
    if (release)
        QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, widgetPoint(to));
}

struct Chooser : OVImageCatalogDelegate
{
    QString chosen;
    void imageCatalogSelectImageWithPath(OVImageCatalog*, const QString& path) override { chosen = path; }
};

void cropDialog(const QImage& portrait)
{
    View* focus = nullptr;
    Window* host = hostWindow(portrait, &focus);
    GalleryShots::settle(200);
    OVCropController crop;
    bool answered = false, accepted = false;
    crop.beginSheetForWindow(host, [&](bool ok) {
        answered = true;
        accepted = ok;
    });
    crop.setImage(portrait);
    crop.setCropRatio(1.5);
    check(crop.setDescriptionFile(
              Bundle::main().pathForResource(QStringLiteral("CropDescription"), QStringLiteral("rtf"))),
          "the crop description is read");
    OVCropView* view = crop.cropView();
    const Rect before = crop.cropRect();
    shoot(host, QStringLiteral("crop-dialog"));
    // The portrait is square: at 3:2 the rectangle is as wide as the picture; drag it down.
    const Rect area = view->activeArea();
    dragCropView(view, Point(area.midX(), area.midY()), Point(area.midX() + 40, area.midY() - 60), false);
    check(view->isDragging(), "the crop view is dragging");
    check(crop.cropRect().minY() < before.minY(), "the drag moves the rectangle down");
    check(crop.cropRect().minX() == before.minX(), "a rectangle as wide as the picture stays put sideways");
    shoot(host, QStringLiteral("crop-dialog-mid-drag"));
    QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier,
                        view->pointToWidget(Point(area.midX() + 40, area.midY() - 60)).toPoint());
    const Rect chosen = crop.cropRect();
    QTest::keyClick(crop.loadedWindow(), Qt::Key_Return);
    GalleryShots::settle(100);
    check(answered && accepted, "Return accepts the crop");
    const QRect pixels = OVCropController::pixelRectForCropRect(chosen, portrait.size());
    check(std::abs(double(pixels.width()) / pixels.height() - 1.5) < 0.02, "the crop is 3:2 in pixels");
    if (!pixels.isEmpty())
        GalleryShots::save(portrait.copy(pixels), QStringLiteral("crop-result"));
    delete host;
}

void drawer(const QImage& portrait)
{
    SteppedClock clock;
    View* focus = nullptr;
    Window* host = hostWindow(portrait, &focus);
    GalleryShots::settle(200);
    OVImageCatalog& catalog = OVImageCatalog::sharedImageCatalog();
    Chooser chooser;
    catalog.showRight(true, focus, &chooser);
    OVWindowDrawer* drawer = catalog.windowDrawer();
    check(drawer && drawer->isOpen(), "the drawer opens");
    if (!drawer) {
        delete host;
        return;
    }
    const Rect target(drawer->loadedWindow()->frame().maxX() - catalog.view()->frame().width(), 0, 0, 0);
    const double duration = OVWindowDrawer::resizeAnimationTime(
        drawer->loadedWindow()->frame(),
        Rect(target.minX(), drawer->loadedWindow()->frame().minY(), catalog.view()->frame().width(),
             drawer->loadedWindow()->frame().height()));
    clock.advance(duration / 2);
    shoot(host, QStringLiteral("drawer-half-open"));
    clock.advance(duration);
    clock.advance(1);
    OVGridViewController* grid = catalog.gridViewController();
    grid->refreshLayout(OVGridViewController::Instant);
    const QList<OVGridItem*> backgrounds = grid->gridItemsInSection(catalog.mainSection());
    check(backgrounds.size() == 4, "four backgrounds are listed");
    shoot(host, QStringLiteral("drawer-open-backgrounds"));
    catalog.setActiveCategory(1);
    clock.advance(1);
    check(grid->gridItemsInSection(catalog.mainSection()).size() == 5, "five objects are listed");
    shoot(host, QStringLiteral("drawer-open-objects"));
    catalog.setActiveCategory(0);
    clock.advance(1);
    // Choosing a background by clicking it.
    const QList<OVGridItem*> items = grid->gridItemsInSection(catalog.mainSection());
    if (!items.isEmpty()) {
        OVGridItem* item = items.first();
        QTest::mouseClick(item, Qt::LeftButton, Qt::NoModifier, item->rect().center());
        for (int i = 0; i < 20 && chooser.chosen.isEmpty(); ++i)
            clock.advance(0.05);
    }
    check(!chooser.chosen.isEmpty() && QFileInfo(chooser.chosen).isFile() &&
              !chooser.chosen.contains(QStringLiteral("-thumb")),
          "a click hands over the full picture");
    check(!drawer->isOpen(), "the drawer slides back after a choice");
    clock.advance(duration / 2);
    shoot(host, QStringLiteral("drawer-closing"));
    clock.advance(5);
    delete host;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    GalleryShots::useOutputFolder(argc, argv, QDir::currentPath());
    const QImage portrait(QStringLiteral(GLIMORA_TESTDATA_DIR "/portrait-512.png"));
    if (portrait.isNull()) {
        std::fprintf(stderr, "Error: the test portrait cannot be read\n");
        return 1;
    }
    cropDialog(portrait);
    drawer(portrait);
    return exitCodeWithCount();
}
