// A photo retouched from start to end in the real application, driven as a person would: the photo
// opened through the open panel, handed over by a second start and dropped on the welcome window; an
// effect added with a click on its tile, a stroke painted on the canvas, the intensity knob dragged,
// undo and redo from the keyboard; the work saved as a package through File ▸ Save As…, the window
// closed, the package reopened from the welcome window and compared with what was saved; the picture
// exported as PNG and JPEG through File ▸ Export… and compared with the full-size composition; the
// menu bar on every window, the View menu zooming; a document of the older single-file form opened.
// One PNG per step:
//   editor-end-to-end <output folder>
// The second start is this program again, in a process of its own (the running instance must answer it):
//   editor-end-to-end --second-start <sandbox> <photo>
// Fails (non-zero) when a step does not have the effect it should.
#include "Classes/Document/DocumentHandler.h"
#include "Classes/Document/GMAboutBoxController.h"
#include "Classes/Document/GMApplicationDelegate.h"
#include "Classes/Document/GMDocument.h"
#include "Classes/Document/GMDocumentPackage.h"
#include "Classes/Document/GMEditorWindowController.h"
#include "Classes/Document/GMFrameworkEffectsTools.h"
#include "Classes/Document/GMFrameworkEffectsWindow.h"
#include "Classes/Document/GMGridItem.h"
#include "Classes/Document/GMGridViewController.h"
#include "Classes/Document/GMPreferencesWindowController.h"
#include "Classes/Document/GMScenePreviewChooser.h"
#include "Classes/Document/GMScenePreviewWindow.h"
#include "Classes/Document/GMWelcomeWindow.h"
#include "Classes/Document/GMWindowCascade.h"
#include "Classes/Editor/EffectIntensity.h"
#include "Classes/Editor/GMCollectionViewEffectItem.h"
#include "Classes/Editor/GMEffectBrowserController.h"
#include "Classes/Editor/GMEffectIconView.h"
#include "Classes/Editor/GMSettingsController.h"
#include "Classes/Editor/GMSlider.h"
#include "Classes/Editor/GMWindowController.h"
#include "Classes/Editor/OVLayerBrowser.h"
#include "Classes/Editor/OVLoupeView.h"
#include "Classes/Editor/OVSwitch.h"
#include "Classes/Editor/OVZoomView.h"
#include "Classes/Filters/FilterLibrary.h"
#include "Classes/Frames/FramesLibrary.h"
#include "Classes/Frames/OVCropController.h"
#include "Classes/Frames/OVEffect.h"
#include "Classes/Frames/OVEffectPicker.h"
#include "Classes/Frames/OVFilterPreview.h"
#include "Classes/Frames/OVFrameBuilder.h"
#include "Classes/Frames/OVFrameCatalog.h"
#include "Classes/Frames/OVImageCatalog.h"
#include "Classes/Frames/OVTexturedFrameFilter.h"
#include "Classes/Frames/OVWindowDrawer.h"
#include "Classes/Framework/Toolkit/OV3DView.h"
#include "Classes/Framework/Toolkit/OVActivityPanel.h"
#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVGridItem.h"
#include "Classes/Framework/Toolkit/OVGridViewController.h"
#include "Classes/Framework/Toolkit/OVListView.h"
#include "Classes/Framework/Toolkit/OVSlider.h"
#include "Classes/Help/OVInformationCatalog.h"
#include "Classes/Help/OVInformationListEntry.h"
#include "Classes/Help/OVInformationPanel.h"
#include "Classes/Help/OVMovieController.h"
#include "Classes/Help/OVSubtitleView.h"
#include "Classes/ToolObjects/OVBrushFramework/GMBrushPath.h"
#include "Classes/ToolObjects/OVBrushFramework/OVBrushPathImage.h"
#include "Classes/ToolObjects/OVBrushFramework/OVHealingBrush.h"
#include "Classes/ToolObjects/OVBrushFramework/OVImageContainer.h"
#include "Classes/ToolObjects/OVBrushFramework/OVIrisMaskBrush.h"
#include "Classes/ToolObjects/OVBrushFramework/OVIrisReplacementBrush.h"
#include "Classes/ToolObjects/PhotoToolChain.h"
#include "Platform/Foundation/ArchivedObject.h"
#include "Platform/Foundation/FileSystem.h"
#include "Platform/Foundation/KeyedArchiver.h"
#include "Platform/Foundation/UndoManager.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Image/ImageFile.h"
#include "Platform/Image/RenderContext.h"
#include "Platform/Media/Movie.h"
#include "Platform/UI/Alert.h"
#include "Platform/UI/AttributedString.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/Menu.h"
#include "Platform/UI/Window.h"
#include "Tests/ChildProcess.h"
#include "Tests/Gallery/EditorClasses.h"
#include "Tests/Gallery/GalleryShots.h"

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QHeaderView>
#include <QImageReader>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QTreeView>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

using pf::Point, pf::Rect;

namespace {

using GalleryShots::failures;
using GalleryShots::outputFolder;

void settle(int milliseconds = 200)
{
    GalleryShots::settle(milliseconds);
}

bool waitFor(const std::function<bool()>& done, int milliseconds = 20000)
{
    return GalleryShots::waitFor(done, milliseconds);
}

using GalleryShots::check;

using GalleryShots::screenshot;

void shoot(const QWidget* window, const QString& name, int settleMs = 150)
{
    settle(settleMs);
    GalleryShots::saveNumbered(screenshot(window), name);
    std::fflush(stdout);
}

// Answers the next modal file panel: the folder, the type whose filter names the extension, the name.
void answerFilePanel(const QString& path, bool* seen, const QString& shotName = QString())
{
    auto* poll = new QTimer;
    poll->setInterval(100);
    QObject::connect(poll, &QTimer::timeout, [poll, path, seen, shotName] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        poll->stop();
        poll->deleteLater();
        *seen = true;
        const QFileInfo target(path);
        dialog->setDirectory(target.absolutePath());
        const QString pattern = QStringLiteral("*.") + target.suffix();
        for (const QString& filter : dialog->nameFilters())
            if (filter.contains(pattern)) {
                dialog->selectNameFilter(filter);
                emit dialog->filterSelected(filter);
            }
        settle(300);
        // Large enough for its list's columns, every one but the names' as wide as what it shows.
        check(dialog->width() >= 800 && dialog->height() >= 500,
              QStringLiteral("the file panel opens at %1 x %2").arg(dialog->width()).arg(dialog->height()));
        if (auto* list = dialog->findChild<QTreeView*>(QStringLiteral("treeView")); list && list->isVisible())
            for (int column = 1; column < list->header()->count(); ++column)
                check(list->header()->sectionSize(column) >=
                          static_cast<QAbstractItemView*>(list)->sizeHintForColumn(column),
                      QStringLiteral("the file list's column %1 shows whole").arg(column));
        if (!shotName.isEmpty())
            shoot(dialog, shotName);
        if (auto* name = dialog->findChild<QLineEdit*>()) {
            name->setText(target.fileName());
            QTest::keyClick(name, Qt::Key_Return);
        }
    });
    poll->start();
}

QMenuBar* menuBarOf(QWidget* window)
{
    auto* pfWindow = qobject_cast<pf::Window*>(window);
    return pfWindow ? qobject_cast<QMenuBar*>(pfWindow->menuBar()) : nullptr;
}

// Chooses an item from the window's menu bar with the mouse, as a person does (a screenshot with the
// menu open when named). False when the menu or the item is missing or disabled.
bool chooseFromMenu(QWidget* window, const QString& title, const QString& item, const QString& shotName = {})
{
    QMenuBar* bar = menuBarOf(window);
    if (!bar)
        return false;
    QAction* top = nullptr;
    for (QAction* action : bar->actions())
        if (action->menu() && action->menu()->objectName() == title)
            top = action;
    if (!top)
        return false;
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->actionGeometry(top).center());
    QMenu* menu = top->menu();
    if (!waitFor([&] { return menu->isVisible(); }, 3000))
        return false;
    settle(200);
    if (!shotName.isEmpty())
        shoot(window, shotName);
    QAction* chosen = nullptr;
    for (QAction* action : menu->actions())
        if (action->objectName() == item)
            chosen = action;
    if (!chosen || !chosen->isEnabled()) {
        menu->close();
        return false;
    }
    QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier, menu->actionGeometry(chosen).center());
    settle(100);
    return true;
}

GMWindowController* editorOf(const std::shared_ptr<pf::Document>& document)
{
    auto gm = std::dynamic_pointer_cast<GMDocument>(document);
    auto* window = gm ? dynamic_cast<GMEditorWindowController*>(gm->windowController().get()) : nullptr;
    return window ? &window->editor() : nullptr;
}

// Open, loaded, previewed and live.
bool waitUntilEditing(const std::shared_ptr<pf::Document>& document)
{
    return waitFor([&] {
        GMWindowController* editor = editorOf(document);
        auto gm = std::static_pointer_cast<GMDocument>(document);
        return editor && editor->window() && editor->window()->isVisible() && gm->pendingLayerCount() == 0 &&
               editor->viewMode() == GMWindowController::Live && !editor->isPreviewPending();
    });
}

// Input in a view's own (y-up) coordinates, through the window as a person's.
class Hand
{
public:
    explicit Hand(pf::Window* window) : m_window(window) {}
    QPoint at(pf::View* view, Point p) const
    {
        return view->mapTo(m_window, view->pointToWidget(p)).toPoint();
    }
    QPoint atBase(Point base) const { return QPoint(int(base.x), int(m_window->height() - base.y)); }
    void move(QPoint p, int settleMs = 40)
    {
        QCursor::setPos(m_window->mapToGlobal(p));
        QTest::mouseMove(m_window->windowHandle(), p);
        settle(settleMs);
    }
    // While the button is held the pointer moves without the server's warp: a warp arrives late, as a
    // motion with no button down, and would let go of what the hand carries where it then was.
    void drag(QPoint p, int settleMs = 40)
    {
        QTest::mouseMove(m_window->windowHandle(), p);
        settle(settleMs);
    }
    void press(QPoint p) { QTest::mousePress(m_window->windowHandle(), Qt::LeftButton, {}, p); }
    void release(QPoint p) { QTest::mouseRelease(m_window->windowHandle(), Qt::LeftButton, {}, p); }
    void click(QPoint p)
    {
        move(p);
        QTest::mouseClick(m_window->windowHandle(), Qt::LeftButton, {}, p);
        settle(200);
    }
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers)
    {
        QTest::keyClick(m_window->windowHandle(), key, modifiers);
        settle(200);
    }

private:
    pf::Window* m_window;
};

int tileIndexShowing(GMEffectBrowserController& effects, const QString& name)
{
    const QVariantList items = effects.effectCollectionView()->arrangedObjects();
    for (int i = 0; i < items.size(); ++i)
        if (items[i].toMap().value(QStringLiteral("displayName")).toString() == name)
            return i;
    return -1;
}

pf::Bitmap rendered(const pf::Image& image)
{
    static pf::RenderContext context(QStringLiteral("end to end"));
    const Rect extent = image.extent();
    return image.isNull() ? pf::Bitmap() : context.render(image, extent).value_or(pf::Bitmap());
}

// The largest difference of a channel (0..255) and the mean absolute difference over all channels.
struct Difference
{
    int largest = 256;
    double mean = 256;
};

Difference compare(const QImage& a, const QImage& b)
{
    Difference result;
    if (a.isNull() || a.size() != b.size())
        return result;
    const QImage x = a.convertToFormat(QImage::Format_RGBA8888);
    const QImage y = b.convertToFormat(QImage::Format_RGBA8888);
    result.largest = 0;
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const uchar* p = x.constScanLine(row);
        const uchar* q = y.constScanLine(row);
        for (int i = 0; i < x.width() * 4; ++i) {
            const int d = std::abs(int(p[i]) - int(q[i]));
            result.largest = std::max(result.largest, d);
            sum += d;
        }
    }
    result.mean = sum / (double(x.width()) * x.height() * 4);
    return result;
}

struct SavedLayer
{
    QString name;
    QVariantMap settings;
    QImage mask;
};

std::vector<SavedLayer> layersOf(PhotoToolChain& chain)
{
    std::vector<SavedLayer> layers;
    for (int i = 1; i < chain.numberOfTools(); ++i) {
        const auto mask = chain.brushPathImageAtIndex(i)->contentContainer()->imageContainer();
        layers.push_back({chain.photoToolAtIndex(i)->blueprint()->photoToolName(),
                          chain.photoToolAtIndex(i)->savedSettingsState(),
                          rendered(mask->image()).toQImage()});
    }
    return layers;
}

// The portrait as a JPEG: its bytes are kept in the package as they are, so the reopened original is
// the very same picture.
QString makePhoto(const QString& path)
{
    QImage portrait(QStringLiteral(GLIMORA_TESTDATA_DIR "/portrait-512.png"));
    check(!portrait.isNull(), QStringLiteral("the test portrait is there"));
    portrait.save(path, "JPEG", 92);
    return path;
}

// A point on the loupe's circle (r = 1 at its edge), in its superview.
Point aroundLoupe(const OVLoupeView& loupe, double r, double degrees)
{
    const Rect f = loupe.frame();
    const double a = degrees / 180 * M_PI;
    return Point(f.midX() + r * f.width() / 2 * std::cos(a), f.midY() + r * f.height() / 2 * std::sin(a));
}

// The rim picked up and carried, the button held, until the loupe's middle is at `to`; then let go.
void carryLoupe(OVLoupeView& loupe, Hand& hand, Point to)
{
    pf::View* above = loupe.superview();
    const Point grip = aroundLoupe(loupe, 0.85, 200);
    const Point middle(loupe.frame().midX(), loupe.frame().midY());
    const Point end(grip.x + to.x - middle.x, grip.y + to.y - middle.y);
    hand.move(hand.at(above, grip), 200);
    hand.press(hand.at(above, grip));
    for (int i = 1; i <= 14; ++i)
        hand.drag(
            hand.at(above, Point(grip.x + (end.x - grip.x) * i / 14, grip.y + (end.y - grip.y) * i / 14)));
    hand.release(hand.at(above, end));
}

// What the stroke in the loupe's glass did to the selected layer's mask.
struct LoupeStroke
{
    QImage before, after;
    int changed = 0;
};

// The window's own renderer live on the canvas, no preview pending.
bool waitUntilLive(const GMWindowController& editor)
{
    return waitFor(
        [&] { return editor.viewMode() == GMWindowController::Live && !editor.isPreviewPending(); });
}

bool loupeLive(const OVLoupeView& loupe)
{
    return waitFor([&] { return loupe.loupeState() == 5; });
}

// The brush size slider clicked where it gives `value` (it jumps to a click).
void setBrushSize(GMWindowController& editor, Hand& hand, double value)
{
    GMSlider* slider = editor.settingsController()->brushSizeSlider();
    hand.click(hand.at(slider, GalleryShots::pointForValue(*slider, value)));
}

// The distance from a point to a polyline.
double distanceToPath(const std::vector<Point>& path, Point p)
{
    double best = std::numeric_limits<double>::infinity();
    for (size_t i = 0; i + 1 < path.size(); ++i) {
        const Point a = path[i], b = path[i + 1];
        const double dx = b.x - a.x, dy = b.y - a.y, len2 = dx * dx + dy * dy;
        const double t = len2 > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / len2, 0.0, 1.0) : 0;
        best = std::min(best, std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy)));
    }
    return best;
}

LoupeStroke strokeThroughLoupe(GMWindowController& editor, Hand& hand, PhotoToolChain& chain)
{
    LoupeStroke result;
    OVLoupeView* loupe = editor.loupe();
    pf::View* above = loupe ? loupe->superview() : nullptr;
    check(above && loupe->loupeState() == 1, QStringLiteral("the loupe rests in its dock"));
    if (!above)
        return result;
    pf::Window* window = editor.window();
    const Rect dock = loupe->frame();

    // The sitter's right eye, in the picture's own (y-up) unit coordinates.
    const Rect photo = editor.activeRectForLoupe(loupe);
    const Point eye(photo.minX() + 0.39 * photo.width(), photo.minY() + 0.795 * photo.height());
    carryLoupe(*loupe, hand, eye);
    check(loupeLive(*loupe), QStringLiteral("the loupe dropped on an eye goes live"));
    check(loupe->drawSenderActive() && !editor.zoomView()->drawSenderActive(),
          QStringLiteral("the placed loupe takes the strokes"));
    const Rect shown = loupe->viewRect();
    check(shown.contains(Point(0.39, 0.795)), QStringLiteral("the glass shows the eye"));
    hand.move(hand.at(above, aroundLoupe(*loupe, 1.3, 200)));
    shoot(window, QStringLiteral("loupe-on-an-eye"));

    // The knob from its mark "1×" to the mark "¼×": four picture pixels to a point of the glass, so the
    // glass shows four times the part it showed, up to the whole picture, at a quarter of its size.
    const Point knob = aroundLoupe(*loupe, 0.71, 4.3);
    hand.move(hand.at(above, knob));
    hand.press(hand.at(above, knob));
    for (int i = 1; i <= 6; ++i)
        hand.move(hand.at(above, aroundLoupe(*loupe, 0.71, 4.3 + (71 - 4.3) * i / 6)));
    hand.release(hand.at(above, aroundLoupe(*loupe, 0.71, 71)));
    check(loupe->zoomFactor() == 3 && loupe->picturePixelsPerPoint() == 4,
          QStringLiteral("the knob turns to a quarter"));
    check(loupeLive(*loupe), QStringLiteral("the loupe at a quarter is live"));
    // The whole area under the glass; near the photo's top it reaches past it, and what is rendered is
    // the part within the photo.
    const Rect glass = loupe->viewRect();
    check(std::abs(glass.width() - std::min(1.0, 4 * shown.width())) < 1e-6 &&
              std::abs(glass.height() - std::min(1.0, 4 * shown.height())) < 1e-6,
          QStringLiteral("at a quarter the glass shows four times the part"));
    check(loupe->editRect() == glass.intersected(Rect(0, 0, 1, 1)),
          QStringLiteral("the glass renders the part of it within the picture"));
    hand.move(hand.at(above, aroundLoupe(*loupe, 1.3, 200)), 300);
    shoot(window, QStringLiteral("loupe-turned-to-a-quarter"));

    // A small brush, so that every dab lies well inside the glass.
    setBrushSize(editor, hand, 0.2);

    // A stroke across the glass, well inside it; its path kept in the picture's unit coordinates.
    const pf::Size glassSize = loupe->glassSize();
    const auto inPicture = [&](Point p) {
        const Rect f = loupe->frame();
        const double gx = (p.x - (f.midX() - glassSize.width / 2)) / glassSize.width;
        const double gy = (p.y - (f.midY() - glassSize.height / 2)) / glassSize.height;
        return Point(glass.minX() + gx * glass.width(), glass.minY() + gy * glass.height());
    };
    std::vector<Point> path;
    const auto mask = chain.brushPathImageAtIndex(chain.selectionIndex());
    const int segmentsBefore = int(mask->segmentImageNames().size());
    result.before = rendered(mask->contentContainer()->imageContainer()->image()).toQImage();
    Point at = aroundLoupe(*loupe, 0.45, 160);
    path.push_back(inPicture(at));
    hand.move(hand.at(above, at));
    hand.press(hand.at(above, at));
    for (int i = 1; i <= 16; ++i) {
        at = aroundLoupe(*loupe, 0.45 - i * 0.015, 160 + i * 12);
        path.push_back(inPicture(at));
        hand.move(hand.at(above, at));
    }
    hand.release(hand.at(above, at));
    check(waitFor([&] { return int(mask->segmentImageNames().size()) > segmentsBefore; }),
          QStringLiteral("the stroke in the glass is stored in the layer's mask"));
    check(loupeLive(*loupe), QStringLiteral("the stroke in the glass shows live"));
    result.after = rendered(mask->contentContainer()->imageContainer()->image()).toQImage();
    {
        // Every changed pixel of the mask lies under the glass (within the circle inscribed in the part
        // of the picture the glass shows, a pixel's tolerance for its edge), and within the brush's
        // reach of the stroke's path carried through the glass into the picture.
        const QImage& a = result.before;
        const QImage& b = result.after;
        check(!a.isNull() && a.size() == b.size(), QStringLiteral("the mask keeps its size"));
        const double pixelsPerPoint = glass.width() * a.width() / glassSize.width;
        const double reach = (editor.settingsController()->calculateBrushSize() / 2 + 2) * pixelsPerPoint + 2;
        std::vector<Point> pixels;
        for (const Point& q : path)
            pixels.emplace_back(q.x * a.width(), q.y * a.height());
        int outside = 0, astray = 0;
        double farthest = 0;
        for (int y = 0; !a.isNull() && y < std::min(a.height(), b.height()); ++y)
            for (int x = 0; x < std::min(a.width(), b.width()); ++x) {
                if (a.pixel(x, y) == b.pixel(x, y))
                    continue;
                ++result.changed;
                const double u = (x + 0.5) / a.width(), v = 1 - (y + 0.5) / a.height();
                const double du = (u - glass.midX()) * a.width(), dv = (v - glass.midY()) * a.height();
                const double rx = glass.width() / 2 * a.width() + 1, ry = glass.height() / 2 * a.height() + 1;
                if ((du / rx) * (du / rx) + (dv / ry) * (dv / ry) > 1)
                    ++outside;
                const double d = distanceToPath(pixels, Point(u * a.width(), v * a.height()));
                farthest = std::max(farthest, d);
                if (d > reach)
                    ++astray;
            }
        std::printf("loupe stroke: %d mask pixels changed, %d outside the glass, %d beyond the brush's "
                    "reach of %.1f px (farthest %.1f px)\n",
                    result.changed, outside, astray, reach, farthest);
        check(result.changed > 200, QStringLiteral("the stroke in the glass paints the mask"));
        check(outside == 0, QStringLiteral("the stroke in the glass changes the mask only under the glass"));
        check(astray == 0, QStringLiteral("the stroke lands where it was drawn in the glass"));
    }
    hand.move(hand.at(above, aroundLoupe(*loupe, 0.1, 0)), 400);
    shoot(window, QStringLiteral("loupe-stroke-in-the-glass"), 600);

    // Carried back to its dock: the canvas takes the strokes again.
    carryLoupe(*loupe, hand, Point(dock.midX(), dock.midY()));
    check(waitFor([&] { return loupe->loupeState() == 1 && loupe->frame() == dock; }),
          QStringLiteral("the loupe is docked again"));
    settle(600);
    check(!loupe->drawSenderActive() && editor.zoomView()->drawSenderActive(),
          QStringLiteral("docked, the canvas takes the strokes again"));
    check(waitUntilLive(editor), QStringLiteral("the canvas is live again"));
    shoot(window, QStringLiteral("loupe-docked-again"));
    return result;
}

// What the screen shows, for steps about more than one window or what reaches past one.
void shootScreen(const QString& name)
{
    settle(300);
    GalleryShots::saveNumbered(QGuiApplication::primaryScreen()->grabWindow(0).toImage(), name);
}

// The loupe put down near the photo's top, where an eye of a larger portrait lies: it rests where it was
// put down, its rim past the window's edge if need be, and the glass is centred on that point. Its scale
// tells in a tooltip what its steps count. Then it goes back to its dock.
void loupeReachesTheTop(GMWindowController& editor, Hand& hand, const QString& photoPath)
{
    OVLoupeView* loupe = editor.loupe();
    pf::View* above = loupe ? loupe->superview() : nullptr;
    if (!above)
        return;
    pf::Window* window = editor.window();
    const Rect dock = loupe->frame();
    const Rect photo = editor.activeRectForLoupe(loupe);

    // First onto the middle, where the knob is in reach: turned to its first mark, "2×", the glass shows a
    // part small enough to be centred on a point near the top.
    carryLoupe(*loupe, hand, Point(photo.midX(), photo.midY()));
    check(loupeLive(*loupe), QStringLiteral("the loupe on the middle of the photo goes live"));
    const double needle = -29 + 100.0 * loupe->zoomFactor() / 3;
    hand.move(hand.at(above, aroundLoupe(*loupe, 0.71, needle)));
    hand.press(hand.at(above, aroundLoupe(*loupe, 0.71, needle)));
    for (int i = 1; i <= 6; ++i)
        hand.drag(hand.at(above, aroundLoupe(*loupe, 0.71, needle + (-29 - needle) * i / 6)));
    hand.release(hand.at(above, aroundLoupe(*loupe, 0.71, -29)));
    check(loupe->zoomFactor() == 0, QStringLiteral("the knob turns to 2×"));

    // Then up, near the photo's top: nearer the window's top than half the loupe.
    const Point unit(0.42, 0.885);
    const Point target(photo.minX() + unit.x * photo.width(), photo.minY() + unit.y * photo.height());
    check(above->bounds().maxY() - target.y < loupe->frame().height() / 2,
          QStringLiteral("the point lies nearer the window's top than half the loupe"));
    carryLoupe(*loupe, hand, target);
    check(loupeLive(*loupe), QStringLiteral("the loupe near the top goes live"));
    const Point middle(loupe->frame().midX(), loupe->frame().midY());
    std::printf("loupe put down at (%.1f, %.1f), rests at (%.1f, %.1f)\n", target.x, target.y, middle.x,
                middle.y);
    check(std::abs(middle.x - target.x) <= 1.5 && std::abs(middle.y - target.y) <= 1.5,
          QStringLiteral("the loupe rests where it was put down"));
    const Rect glass = loupe->viewRect();
    check(std::abs(glass.midX() - unit.x) < 0.01 && std::abs(glass.midY() - unit.y) < 0.01,
          QStringLiteral("the glass is centred on the point (%1, %2)").arg(glass.midX()).arg(glass.midY()));
    hand.move(hand.at(above, aroundLoupe(*loupe, 1.3, 200)), 400);
    shoot(window, QStringLiteral("loupe-reaches-the-top"));

    // The scale's tooltip: its steps count the photo's own pixels, and how many times the canvas that is.
    const double times = std::max(QImageReader(photoPath).size().width() / photo.width(),
                                  QImageReader(photoPath).size().height() / photo.height()) /
                         loupe->picturePixelsPerPoint();
    hand.move(hand.at(above, aroundLoupe(*loupe, 0.85, -20)), 100);
    check(waitFor([] { return QToolTip::isVisible(); }, 5000) &&
              QToolTip::text().contains(QLatin1String("photo's own pixels")) &&
              QToolTip::text().contains(QStringLiteral(" %1 times ").arg(times, 0, 'f', 1)),
          QStringLiteral("the scale's tooltip says what its steps count: %1").arg(QToolTip::text()));
    shootScreen(QStringLiteral("loupe-scale-tooltip"));
    QToolTip::hideText();

    carryLoupe(*loupe, hand, Point(dock.midX(), dock.midY()));
    check(waitFor([&] { return loupe->loupeState() == 1 && loupe->frame() == dock; }),
          QStringLiteral("the loupe is docked again"));
    settle(600);
    check(waitUntilLive(editor), QStringLiteral("the canvas is live again"));
}

// The first editor window of the run (the sample's) introduces retouching as a sheet. Its "Open the
// Sample" brings the sample open already forward instead of opening a second copy; then the box is
// ticked, and OK ends the sheet.
void answerFirstSheet(DocumentHandler& handler, pf::Window* sampleWindow)
{
    check(waitFor([] { return !OVInformationPanel::openPanels().isEmpty(); }, 5000),
          QStringLiteral("the first editor window shows a help sheet"));
    if (OVInformationPanel::openPanels().isEmpty())
        return;
    check(OVInformationPanel::openPanels().size() == 1, QStringLiteral("one help sheet, not one a window"));
    OVInformationPanel* sheet = OVInformationPanel::openPanels().constFirst();
    check(sheet->tag() == GMEditorWindowController::firstRunTopic,
          QStringLiteral("the sheet introduces retouching (%1)").arg(sheet->tag()));
    // The panel is listed as soon as it is asked for; its window comes a moment later on a busy machine.
    check(waitFor([sheet] { return sheet->loadedWindow() && sheet->loadedWindow()->isVisible(); }, 20000),
          QStringLiteral("the sheet is on screen"));
    if (!sheet->loadedWindow())
        return;
    OVButton* openSample = sheet->actionButton();
    check(openSample && openSample->isEnabled() && !openSample->isHidden(),
          QStringLiteral("the sheet offers to open the sample"));
    if (openSample) {
        const size_t open = handler.documents().size();
        Hand hand(sampleWindow);
        const Rect b = openSample->bounds();
        hand.click(hand.at(openSample, Point(b.midX() + 5, b.midY() - 2)));
        settle(500);
        check(handler.documents().size() == open,
              QStringLiteral("Open the Sample brings the sample open already forward, no second copy (%1 "
                             "documents)")
                  .arg(handler.documents().size()));
        check(sampleWindow->isVisible() && pf::Window::keyWindow() == sampleWindow,
              QStringLiteral("the sample's window is in front"));
    }
    QCheckBox* box = sheet->dontShowCheckbox();
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    check(box->isChecked(), QStringLiteral("a click ticks \"Don't show again\""));
    shoot(sheet->loadedWindow(), QStringLiteral("first-run-sheet"));
    QTest::mouseClick(sheet->okButton(), Qt::LeftButton);
    settle(200);
    check(OVInformationPanel::openPanels().isEmpty(), QStringLiteral("OK ends the sheet"));
    check(pf::UserDefaults::standard()
                  .dictionaryForKey(OVInformationPanel::dontShowAgainKey)
                  .value(GMEditorWindowController::firstRunTopic)
                  .toInt() == 1,
          QStringLiteral("the ticked box is remembered"));
}

// The tile of the plain sample portrait, the one the help sheet opens too.
GMGridItem* plainSampleTile(GMWelcomeWindow& welcome)
{
    for (OVGridItem* tile : welcome.grid()->gridItemsInSection(welcome.sectionSamples()))
        if (QFileInfo(tile->context().toString()).fileName() == QLatin1String("TestPerson.jpg"))
            return qobject_cast<GMGridItem*>(tile);
    return nullptr;
}

// A click on a welcome window's tile, a little off its middle.
void clickTile(GMWelcomeWindow& welcome, QWidget* tile)
{
    const QPoint at = tile->mapTo(welcome.window(), tile->rect().center() + QPoint(6, -5));
    QTest::mouseMove(welcome.window()->windowHandle(), at);
    settle(100);
    QTest::mouseClick(welcome.window()->windowHandle(), Qt::LeftButton, {}, at);
}

// Help ▸ Tips & Tricks: the "Layers" topic chosen in the list, its movie played two seconds, scrubbed
// to the middle with the slider, its subtitles switched on.
void tipsAndTricks(pf::Window* editorWindow)
{
    check(chooseFromMenu(editorWindow, QStringLiteral("Help"), QStringLiteral("Tips & Tricks"),
                         QStringLiteral("help-menu")),
          QStringLiteral("Help ▸ Tips & Tricks is chosen"));
    OVInformationCatalog* catalog = OVInformationCatalog::sharedInformationCatalog();
    pf::Window* window = catalog->loadedWindow();
    check(window && waitFor([&] { return window->isVisible(); }), QStringLiteral("the catalog shows"));
    OVListView* list = catalog->infoList();
    if (!window || !list)
        return;
    Hand hand(window);
    OVInformationListEntry* layers = nullptr;
    for (OVListEntryView* entry : list->entries())
        if (auto* row = qobject_cast<OVInformationListEntry*>(entry);
            row && row->infoName() == QLatin1String("Layers"))
            layers = row;
    check(layers != nullptr, QStringLiteral("the catalog lists \"Layers\""));
    if (!layers)
        return;
    // Every topic's second line shows whole in its row.
    for (OVListEntryView* entry : list->entries())
        if (auto* row = qobject_cast<OVInformationListEntry*>(entry)) {
            pf::AttributedString line(row->subtitle());
            line.setFont(pf::systemFont(11), 0, line.length());
            check(line.size().width <= row->rowView()->titleRect().width(),
                  QStringLiteral("the second line of \"%1\" shows whole (%2 of %3 points)")
                      .arg(row->title())
                      .arg(line.size().width)
                      .arg(row->rowView()->titleRect().width()));
        }
    const Rect head = layers->rowView()->bounds();
    hand.click(hand.at(layers->rowView(), Point(head.midX(), head.midY())));
    check(catalog->selectedPanel() == layers->infoPanel(),
          QStringLiteral("a click on the row shows the topic"));
    OVMovieController* player = layers->infoPanel()->movieController();
    check(player && player->movie(), QStringLiteral("the topic has its movie"));
    if (!player || !player->movie())
        return;
    settle(300);
    shoot(window, QStringLiteral("tips-and-tricks-layers"));

    // The pointer over the movie brings the bar; its play button starts the movie.
    pf::View* picture = player->view();
    hand.move(hand.at(picture, Point(picture->bounds().midX(), picture->bounds().midY())));
    settle(500);
    OVButton* play = player->playButton();
    hand.click(hand.at(play, Point(play->bounds().midX(), play->bounds().midY())));
    check(player->isPlaying(), QStringLiteral("the play button starts the movie"));
    settle(2000);
    check(player->currentTime() > 1.0,
          QStringLiteral("the movie plays (%1 s after two seconds)").arg(player->currentTime(), 0, 'f', 2));

    // The slider's knob dragged to the middle.
    QSlider* slider = player->scrubSlider();
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = slider->orientation();
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = slider->sliderPosition();
    option.sliderValue = slider->value();
    const QRect knob =
        slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider);
    const QRect groove =
        slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, slider);
    const QPoint middle(groove.left() + groove.width() / 2, knob.center().y());
    QTest::mousePress(slider, Qt::LeftButton, {}, knob.center());
    for (int i = 1; i <= 6; ++i) {
        QTest::mouseMove(slider, knob.center() + (middle - knob.center()) * i / 6);
        settle(30);
    }
    QTest::mouseRelease(slider, Qt::LeftButton, {}, middle);
    const double duration = player->movie()->duration().seconds();
    check(std::abs(player->sliderValue() - 0.5) < 0.08 &&
              std::abs(player->currentTime() - duration / 2) < 1.0,
          QStringLiteral("the slider scrubs to the middle (%1 of %2 s)")
              .arg(player->currentTime(), 0, 'f', 2)
              .arg(duration, 0, 'f', 2));

    // English cues start hidden; the subtitle button shows them.
    check(!player->showSubtitle(), QStringLiteral("English subtitles start hidden"));
    OVButton* subtitles = player->subtitleButton();
    hand.click(hand.at(subtitles, Point(subtitles->bounds().midX(), subtitles->bounds().midY())));
    settle(300);
    const OVSubtitle* cue = player->subtitleView() ? player->subtitleView()->currentSubtitle() : nullptr;
    check(player->showSubtitle() && cue && !cue->string().isEmpty(),
          QStringLiteral("the subtitle button shows the cue of the moment"));
    shoot(window, QStringLiteral("tips-and-tricks-movie"));
    player->togglePlayPause();
    catalog->close();
    settle(300);
    check(!catalog->isWindowLoaded(), QStringLiteral("the catalog closes"));
}

// A document of the older single-file form: the portrait archived as an image object (its TIFF
// representation), and a "Darken" layer whose mask is stored as a stroke across the middle.
QString makeOlderDocument(const QString& path)
{
    QImage portrait(QStringLiteral(GLIMORA_TESTDATA_DIR "/portrait-512.png"));
    QBuffer tiff;
    tiff.open(QIODevice::WriteOnly);
    portrait.save(&tiff, "TIFF");
    const auto object = [](const QString& name, const QVariantMap& fields) {
        return QVariant::fromValue(pf::ArchivedObject{name, {name, QStringLiteral("NSObject")}, fields});
    };
    const QVariant bitmap =
        object(QStringLiteral("NSBitmapImageRep"), {{QStringLiteral("NSTIFFRepresentation"), tiff.data()}});
    const QVariant image = object(QStringLiteral("NSImage"),
                                  {{QStringLiteral("NSReps"), QVariantList{QVariantList{0, bitmap}}}});
    auto brush = std::make_shared<GMBrush>();
    brush->size = 0.25;
    brush->smoothness = 0.3;
    brush->pressure = 1;
    auto strokes = std::make_shared<GMBrushPath>();
    strokes->addSegmentWithBrush(brush);
    strokes->addPointsToLastSegment({{0.2, 0.5}, {0.5, 0.5}, {0.8, 0.5}});
    const QVariantMap layer{
        {QStringLiteral("name"), QStringLiteral("Darken")},
        {QStringLiteral("values"), QVariantMap{{QStringLiteral("brushPathKey"), QVariant::fromValue(strokes)},
                                               {QStringLiteral("brushSize"), 0.25}}}};
    const auto archive =
        pf::KeyedArchiver::archivedData({{QStringLiteral("content"), QVariantList{image, layer}}});
    QFile file(path);
    check(archive && file.open(QIODevice::WriteOnly) && file.write(*archive) == archive->size(),
          QStringLiteral("the older document is written"));
    return path;
}

// The second start of step 2: claims the sandbox's working area as a start of the application does.
// Its exit code: 0 handed over (the running instance said it has the photo), 1 refused, 2 it ran.
int secondStart(const QString& sandbox, const QString& photo)
{
    pf::FileSystem::setApplicationSupportDirectoryForTesting(sandbox + QStringLiteral("/app"));
    pf::UserDefaults::standard().setFileForTesting(sandbox + QStringLiteral("/defaults.conf"));
    pf::Alert::setResponder([](const pf::Alert& alert) {
        std::fprintf(stderr, "Told: %s\n", qPrintable(alert.messageText));
        return pf::Alert::firstButtonReturn;
    });
    GMApplicationDelegate delegate;
    if (delegate.claimSingleInstance({photo}))
        return 2;
    return delegate.startRefused() ? 1 : 0;
}

void run(const QString& sandbox)
{
    const QString photo = makePhoto(sandbox + QStringLiteral("/Portrait.jpg"));
    GMApplicationDelegate delegate;
    check(delegate.claimSingleInstance({}), QStringLiteral("the test is the running instance"));
    DocumentHandler& handler = delegate.documentHandler();
    delegate.applicationDidFinishLaunching({});
    GMWelcomeWindow* welcome = handler.welcomeWindow();
    check(waitFor([&] { return welcome->window()->isVisible(); }),
          QStringLiteral("the welcome window shows"));
    settle(500);
    // Under Xvfb the renderer is a software one: the warning lies over the window until dismissed.
    if (welcome->isWarningShown())
        for (QPushButton* button : welcome->window()->findChildren<QPushButton*>())
            if (button->text() == QLatin1String("Continue") && button->isVisible())
                QTest::mouseClick(button, Qt::LeftButton);
    check(waitFor([&] { return !welcome->isWarningShown(); }), QStringLiteral("the warning is dismissed"));
    settle(300);
    check(menuBarOf(welcome->window()) != nullptr, QStringLiteral("the welcome window has the menu bar"));
    shoot(welcome->window(), QStringLiteral("welcome"));

    // 1. The plain sample from the welcome window: the first editor window of the run, a draft named
    // "Untitled", with the first-run sheet over it.
    waitFor([&] { return welcome->grid()->picturesPending() == 0; });
    GMGridItem* sampleTile = plainSampleTile(*welcome);
    check(sampleTile != nullptr, QStringLiteral("the welcome window offers the sample portrait"));
    if (!sampleTile)
        return;
    clickTile(*welcome, sampleTile);
    check(waitFor([&] { return handler.documents().size() == 1; }),
          QStringLiteral("a click on the sample opens it"));
    if (handler.documents().empty())
        return;
    const std::shared_ptr<pf::Document> sample = handler.documents().front();
    check(waitUntilEditing(sample), QStringLiteral("the sample is edited live"));
    pf::Window* sampleWindow = sample->window();
    check(sample->displayName() == QLatin1String("Untitled") &&
              sampleWindow->windowTitle().startsWith(QLatin1String("Untitled")),
          QStringLiteral("the sample is the draft \"Untitled\" (%1)").arg(sampleWindow->windowTitle()));
    shoot(sampleWindow, QStringLiteral("sample-opened"));
    answerFirstSheet(handler, sampleWindow);

    // The photo through the open panel, from the sample's File menu: no window's frame is remembered
    // yet in this run, and its window steps down and right of the sample's rather than covering it.
    bool panelSeen = false;
    answerFilePanel(photo, &panelSeen, QStringLiteral("open-panel"));
    check(chooseFromMenu(sampleWindow, QStringLiteral("File"), QStringLiteral("Open…")),
          QStringLiteral("File ▸ Open… is chosen"));
    check(panelSeen, QStringLiteral("File ▸ Open… shows the open panel"));
    auto document = handler.documentForURL(photo);
    check(document != nullptr, QStringLiteral("the open panel opens the photo"));
    if (document) {
        check(waitUntilEditing(document),
              QStringLiteral("the photo opened through the panel is edited live"));
        const QPoint offset = document->window()->geometry().topLeft() - sampleWindow->geometry().topLeft();
        std::printf("second window of the run: %d, %d from the first\n", offset.x(), offset.y());
        check(offset.x() >= GMWindowCascade::step / 2 && offset.y() >= GMWindowCascade::step / 2,
              QStringLiteral("the second window of the run steps down and right of the first (%1, %2)")
                  .arg(offset.x())
                  .arg(offset.y()));
        shootScreen(QStringLiteral("second-window-of-the-run-steps-aside"));

        // A second draft from the welcome window: "Untitled 2", beside "Untitled".
        check(chooseFromMenu(document->window(), QStringLiteral("Window"), QStringLiteral("Welcome Window")),
              QStringLiteral("Window ▸ Welcome Window is chosen"));
        check(waitFor([&] { return welcome->window()->isVisible(); }),
              QStringLiteral("the welcome window shows"));
        settle(300);
        if (GMGridItem* again = plainSampleTile(*welcome))
            clickTile(*welcome, again);
        check(waitFor([&] { return handler.documents().size() == 3; }),
              QStringLiteral("a second click on the sample opens a second draft"));
        if (handler.documents().size() == 3) {
            const std::shared_ptr<pf::Document> draft = handler.documents().back();
            check(waitUntilEditing(draft), QStringLiteral("the second draft is edited live"));
            check(draft->displayName() == QLatin1String("Untitled 2") &&
                      draft->window()->windowTitle().startsWith(QLatin1String("Untitled 2")),
                  QStringLiteral("the second draft is \"Untitled 2\" (%1)")
                      .arg(draft->window()->windowTitle()));
            check(chooseFromMenu(draft->window(), QStringLiteral("Window"), QStringLiteral("Untitled"),
                                 QStringLiteral("window-menu-two-drafts")),
                  QStringLiteral("the Window menu tells the drafts apart"));
            draft->close();
            settle(300);
        }
        sample->close();
        settle(300);
        document->window()->makeKeyAndOrderFront();
        settle(300);
        shoot(document->window(), QStringLiteral("opened-through-open-panel"));
        tipsAndTricks(document->window());
        document->close();
        settle(300);
    }

    // 2. Handed over by a second start, in a process of its own: this one answers it while it waits.
    {
        ChildProcess second;
        check(second.start(QCoreApplication::applicationFilePath(),
                           {QStringLiteral("--second-start"), sandbox, photo}),
              QStringLiteral("a second start is started"));
        waitFor([&] { return !second.isRunning(); }, 30000);
        check(!second.isRunning() && second.exitCode() == 0,
              QStringLiteral("a second start hands its file over (exit %1) %2")
                  .arg(second.exitCode())
                  .arg(QString::fromLocal8Bit(second.errors())));
    }
    check(waitFor([&] { return handler.documentForURL(photo) != nullptr; }),
          QStringLiteral("the handed-over photo opens"));
    document = handler.documentForURL(photo);
    if (document) {
        check(waitUntilEditing(document), QStringLiteral("the handed-over photo is edited live"));
        shoot(document->window(), QStringLiteral("opened-by-second-start"));
        document->close();
        settle(300);
    }

    // 3. Dropped on the welcome window: this one is retouched.
    handler.displayWelcomeScreen();
    settle(300);
    {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(photo)});
        QDragEnterEvent enter(QPoint(40, 40), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(welcome->dropTarget(), &enter);
        shoot(welcome->window(), QStringLiteral("photo-dragged-over-welcome"));
        QDropEvent drop(QPointF(40, 40), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(welcome->dropTarget(), &drop);
    }
    document = handler.documentForURL(photo);
    check(document != nullptr, QStringLiteral("the dropped photo opens"));
    if (!document)
        return;
    check(waitUntilEditing(document), QStringLiteral("the dropped photo is edited live"));
    GMWindowController* editor = editorOf(document);
    pf::Window* window = editor->window();
    window->activateWindow();
    settle(300);
    shoot(window, QStringLiteral("opened-by-drop"));
    check(menuBarOf(window) != nullptr, QStringLiteral("the editor window has the menu bar"));
    Hand hand(window);
    auto chain = editor->toolChain();

    // The View menu zooms in about the middle and fits the photo again.
    check(chooseFromMenu(window, QStringLiteral("View"), QStringLiteral("Zoom In"),
                         QStringLiteral("view-menu")),
          QStringLiteral("View ▸ Zoom In is chosen"));
    check(editor->zoomView()->zoomFactor() < 0.95, QStringLiteral("View ▸ Zoom In magnifies the photo"));
    check(waitUntilEditing(document), QStringLiteral("the zoomed photo is edited live"));
    shoot(window, QStringLiteral("zoomed-in-from-the-menu"));
    check(chooseFromMenu(window, QStringLiteral("View"), QStringLiteral("Zoom to Fit")),
          QStringLiteral("View ▸ Zoom to Fit is chosen"));
    check(waitFor([&] { return editor->zoomView()->zoomFactor() > 0.999; }),
          QStringLiteral("View ▸ Zoom to Fit shows the whole photo"));
    check(waitUntilEditing(document), QStringLiteral("the fitted photo is edited live"));

    // Alt and the ordinary wheel over the photo zoom about the pointer. The window gets the wheel as X11
    // delivers it: with Alt held, on the other axis.
    {
        OVZoomView* canvas = editor->zoomView();
        const Rect shown = canvas->zoomLayer()->frame();
        const Point pointer(shown.minX() + 0.35 * shown.width(), shown.minY() + 0.7 * shown.height());
        const QPoint at = hand.at(canvas, pointer);
        hand.move(at);
        // While the photo does not fill a side it stays centred along it (it never leaves a gap), so
        // each notch holds the point under the pointer along the sides the photo fills before and after.
        bool held = true;
        for (int notch = 0; notch < 3; ++notch) {
            const Point before = canvas->photoPointAt(pointer);
            const Rect partBefore = canvas->editRect();
            QWheelEvent wheel(at, window->mapToGlobal(QPointF(at)), QPoint(), QPoint(120, 0), Qt::NoButton,
                              Qt::AltModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(window->windowHandle(), &wheel);
            settle(40);
            const Point now = canvas->photoPointAt(pointer);
            const Rect part = canvas->editRect();
            std::printf(
                "Alt and the wheel: zoom %.3f, part %.3f x %.3f, point (%.4f, %.4f) -> (%.4f, %.4f)\n",
                canvas->zoomFactor(), part.width(), part.height(), before.x, before.y, now.x, now.y);
            const bool fillsX = partBefore.width() < 0.999 && part.width() < 0.999;
            const bool fillsY = partBefore.height() < 0.999 && part.height() < 0.999;
            held = held && (!fillsX || std::abs(now.x - before.x) < 0.005) &&
                   (!fillsY || std::abs(now.y - before.y) < 0.005);
        }
        check(canvas->zoomFactor() < 0.75, QStringLiteral("Alt and the wheel magnify the photo"));
        const Rect part = canvas->editRect();
        check(held && (part.width() < 0.999 || part.height() < 0.999),
              QStringLiteral("the photo point under the pointer stays under it"));
        check(waitUntilEditing(document), QStringLiteral("the photo zoomed with the wheel is edited live"));
        shoot(window, QStringLiteral("zoomed-with-alt-and-the-wheel"));
        check(chooseFromMenu(window, QStringLiteral("View"), QStringLiteral("Zoom to Fit")),
              QStringLiteral("View ▸ Zoom to Fit is chosen again"));
        check(waitFor([&] { return canvas->zoomFactor() > 0.999; }),
              QStringLiteral("the whole photo shows again"));
        check(waitUntilEditing(document), QStringLiteral("the fitted photo is edited live again"));
    }

    // 4. A click on an effect's tile adds it as a layer.
    const QString effectName = QStringLiteral("Black & White");
    GMEffectBrowserController& effects = *editor->effectBrowserController();
    const int tile = tileIndexShowing(effects, effectName);
    check(tile >= 0, QStringLiteral("the strip shows the effect"));
    if (tile < 0)
        return;
    // The wheel over the strip brings the tile into view.
    for (int notch = 0; notch < 60 && GalleryShots::onTile(effects, tile).x > window->width() - 160;
         ++notch) {
        OV3DView* strip = effects.browserView();
        const QPoint at = strip->mapFrom(window, hand.atBase(Point(window->width() / 2.0, 90)));
        QWheelEvent wheel(at, strip->mapToGlobal(QPointF(at)), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(strip, &wheel);
        settle(30);
    }
    settle(400);
    check(GalleryShots::onTile(effects, tile).x < window->width() - 160,
          QStringLiteral("the wheel scrolls the strip to the tile"));
    hand.move(hand.atBase(GalleryShots::onTile(effects, tile)));
    shoot(window, QStringLiteral("tile-hovered"));
    hand.click(hand.atBase(GalleryShots::onTile(effects, tile)));
    check(chain->numberOfTools() == 2 && chain->selectionIndex() == 1,
          QStringLiteral("the click adds the effect"));
    check(waitUntilEditing(document), QStringLiteral("the new layer is edited live"));
    check(editor->settingsController()->face() == GMSettingsController::Face::Controls,
          QStringLiteral("the panel shows the layer's controls"));
    shoot(window, QStringLiteral("effect-added"));
    if (chain->numberOfTools() < 2)
        return;

    // Ctrl and the wheel turned up over the photo make the brush larger, turned down smaller; ] and [ do
    // the same from the keyboard. The size slider's tooltip says which way grows.
    {
        GMSlider* size = editor->settingsController()->brushSizeSlider();
        OVZoomView* canvas = editor->zoomView();
        const Rect shown = canvas->zoomLayer()->frame();
        const QPoint over = hand.at(canvas, Point(shown.midX() + 13, shown.midY() - 21));
        hand.move(over, 200);
        const double start = size->value();
        const auto turn = [&](int notches) {
            QWheelEvent wheel(over, window->mapToGlobal(QPointF(over)), QPoint(), QPoint(0, 120 * notches),
                              Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(window->windowHandle(), &wheel);
            settle(60);
        };
        const auto sized = [&](double step, const QString& what) {
            check(std::abs(size->value() - (start + step)) < 1e-9,
                  QStringLiteral("%1 (%2 to %3)").arg(what).arg(start).arg(size->value()));
        };
        turn(3);
        sized(3.0 / 60, QStringLiteral("Ctrl and the wheel turned up make the brush larger"));
        shoot(window, QStringLiteral("brush-larger-with-the-wheel"));
        turn(-3);
        sized(0, QStringLiteral("turned down, smaller again"));
        hand.key(Qt::Key_BracketRight, Qt::NoModifier);
        sized(GMSettingsController::brushKeyStep, QStringLiteral("] makes the brush larger"));
        hand.key(Qt::Key_BracketLeft, Qt::NoModifier);
        sized(0, QStringLiteral("[ makes it smaller"));
        hand.move(hand.at(size, GalleryShots::pointForValue(*size, 0.12)), 100);
        check(waitFor([] { return QToolTip::isVisible(); }, 5000) &&
                  QToolTip::text().contains(QLatin1String("wheel up or ] makes it larger")),
              QStringLiteral("the size slider's tooltip says which way grows: %1").arg(QToolTip::text()));
        shoot(window, QStringLiteral("brush-size-tooltip"));
        QToolTip::hideText();
        hand.move(over, 200);
    }

    // 5. A stroke across the face.
    OVZoomView* zoom = editor->zoomView();
    const Rect photoFrame = zoom->zoomLayer()->frame();
    const auto onPhoto = [&](double x, double y) {
        return hand.at(zoom, Point(photoFrame.minX() + x * photoFrame.width(),
                                   photoFrame.minY() + y * photoFrame.height()));
    };
    const auto mask = chain->brushPathImageAtIndex(1);
    const int snapshotsBefore = int(mask->segmentImageNames().size());
    hand.move(onPhoto(0.3, 0.55));
    hand.press(onPhoto(0.3, 0.55));
    for (int i = 1; i <= 16; ++i)
        hand.move(onPhoto(0.3 + i * 0.025, 0.55 + 0.08 * std::sin(i / 3.0)));
    hand.release(onPhoto(0.7, 0.55));
    check(waitFor([&] { return int(mask->segmentImageNames().size()) > snapshotsBefore; }),
          QStringLiteral("the stroke is stored in the layer's mask"));
    check(waitUntilEditing(document), QStringLiteral("the stroke shows live"));
    {
        // The picture changed where the mask was painted, and nowhere else.
        const QImage before = rendered(chain->originalImage()).toQImage();
        const QImage after = rendered(editor->imageForSaving()).toQImage();
        const QImage painted = rendered(mask->contentContainer()->imageContainer()->image()).toQImage();
        double inside = 0, outside = 0;
        int insideCount = 0, outsideCount = 0;
        for (int y = 0; y < before.height(); ++y)
            for (int x = 0; x < before.width(); ++x) {
                const QRgb a = before.pixel(x, y), b = after.pixel(x, y);
                const int change = std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                                   std::abs(qBlue(a) - qBlue(b));
                const int m = qRed(painted.pixel(x, y));
                if (m > 96) {
                    inside += change;
                    ++insideCount;
                } else if (m == 0) {
                    outside += change;
                    ++outsideCount;
                }
            }
        inside /= std::max(1, insideCount);
        outside /= std::max(1, outsideCount);
        std::printf("stroke: %d pixels painted, mean change %.2f there and %.2f elsewhere\n", insideCount,
                    inside, outside);
        check(insideCount > 1000 && inside >= 10,
              QStringLiteral("the stroke changes the picture where it was painted"));
        check(outside < 0.5, QStringLiteral("the stroke leaves the rest of the picture alone"));
    }
    shoot(window, QStringLiteral("stroke-painted"));

    // 5b. The loupe carried by its rim onto an eye, turned to a quarter, a stroke painted in its glass, and
    // carried back to its dock.
    const LoupeStroke loupeStroke = strokeThroughLoupe(*editor, hand, *chain);
    loupeReachesTheTop(*editor, hand, photo);

    // 6. The intensity knob dragged.
    EffectIntensity* knob = editor->settingsController()->effectIntensity();
    const double intensityBefore =
        chain->photoToolAtIndex(1)->settings().value(QStringLiteral("intensity")).toDouble();
    const Rect knobBounds = knob->bounds();
    // Where the knob stands now.
    double knobX = knobBounds.minX();
    for (double x = knobBounds.minX(); x < knobBounds.maxX(); x += 1)
        if (std::abs(knob->valueForPoint(Point(x, knobBounds.midY())) - intensityBefore) <
            std::abs(knob->valueForPoint(Point(knobX, knobBounds.midY())) - intensityBefore))
            knobX = x;
    hand.move(hand.at(knob, Point(knobX, knobBounds.midY())));
    hand.press(hand.at(knob, Point(knobX, knobBounds.midY())));
    // Towards the middle, from whichever end the knob is nearer.
    const double step = intensityBefore > 0.5 ? -12 : 12;
    for (int i = 1; i <= 6; ++i)
        hand.move(hand.at(knob, Point(knobX + i * step, knobBounds.midY())));
    hand.release(hand.at(knob, Point(knobX + 6 * step, knobBounds.midY())));
    settle(200);
    const double intensityAfter =
        chain->photoToolAtIndex(1)->settings().value(QStringLiteral("intensity")).toDouble();
    check(std::abs(intensityAfter - intensityBefore) > 0.05,
          QStringLiteral("the drag changes the intensity"));

    check(waitUntilEditing(document), QStringLiteral("the new intensity shows live"));
    shoot(window, QStringLiteral("intensity-dragged"));

    // 7. Undo and redo from the keyboard; the Edit menu names the step.
    {
        QAction* undoItem = nullptr;
        for (QAction* top : menuBarOf(window)->actions())
            if (top->menu() && top->menu()->objectName() == QLatin1String("Edit"))
                for (QAction* item : top->menu()->actions())
                    if (item->objectName() == QLatin1String("Undo"))
                        undoItem = item;
        check(undoItem && undoItem->isEnabled() && undoItem->text().size() > 5,
              QStringLiteral("Edit ▸ Undo names the step it takes back (%1)")
                  .arg(undoItem ? undoItem->text() : QString()));
    }
    hand.key(Qt::Key_Z, Qt::ControlModifier);
    const double undone =
        chain->photoToolAtIndex(1)->settings().value(QStringLiteral("intensity")).toDouble();
    check(std::abs(undone - intensityBefore) < 1e-6, QStringLiteral("Ctrl+Z takes the intensity back"));
    check(waitUntilEditing(document), QStringLiteral("the undone intensity shows"));
    shoot(window, QStringLiteral("undone"));
    hand.key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    const double redone =
        chain->photoToolAtIndex(1)->settings().value(QStringLiteral("intensity")).toDouble();
    check(std::abs(redone - intensityAfter) < 1e-6, QStringLiteral("Ctrl+Shift+Z does it again"));
    check(waitUntilEditing(document), QStringLiteral("the redone intensity shows"));
    shoot(window, QStringLiteral("redone"));

    // The layers fanned out in 3D with the switch, and folded back.
    OVSwitch* layerSwitch = editor->switch3D();
    hand.click(hand.at(layerSwitch, Point(layerSwitch->bounds().midX(), layerSwitch->bounds().midY())));
    check(waitFor([&] { return editor->layerBrowser()->state() == OVLayerBrowser::In3D; }),
          QStringLiteral("the switch fans the layers out"));
    settle(300);
    check(editor->viewMode() == GMWindowController::Layers3D,
          QStringLiteral("the window shows the layers in 3D"));
    shoot(window, QStringLiteral("layers-in-3d"));
    hand.click(hand.at(layerSwitch, Point(layerSwitch->bounds().midX(), layerSwitch->bounds().midY())));
    check(waitFor([&] { return editor->layerBrowser()->state() == OVLayerBrowser::In2D; }),
          QStringLiteral("the switch folds the layers back"));
    check(waitUntilEditing(document), QStringLiteral("back in 2D the window edits live again"));
    shoot(window, QStringLiteral("layers-back-in-2d"));

    // 7b. Closing the retouched photo asks whether its changes go into the file: Don't Save at the left,
    // Cancel, and Save, the default, at the right. Escape answers Cancel: the window stays, still edited.
    {
        check(document->isDocumentEdited(), QStringLiteral("the retouched photo is marked edited"));
        QStringList order;
        QString byDefault;
        bool asked = false;
        auto* poll = new QTimer;
        poll->setInterval(100);
        QObject::connect(poll, &QTimer::timeout, [&, poll] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            poll->stop();
            poll->deleteLater();
            asked = true;
            settle(300);
            QList<QAbstractButton*> buttons = box->buttons();
            std::sort(buttons.begin(), buttons.end(), [](QAbstractButton* a, QAbstractButton* b) {
                return a->mapToGlobal(QPoint()).x() < b->mapToGlobal(QPoint()).x();
            });
            for (QAbstractButton* button : buttons)
                order << button->text();
            byDefault = box->defaultButton() ? box->defaultButton()->text() : QString();
            shootScreen(QStringLiteral("close-question"));
            QTest::keyClick(box, Qt::Key_Escape);
        });
        poll->start();
        check(chooseFromMenu(window, QStringLiteral("File"), QStringLiteral("Close")),
              QStringLiteral("File ▸ Close is chosen"));
        check(asked, QStringLiteral("closing the retouched photo asks"));
        check(order ==
                  QStringList{QStringLiteral("Don't Save"), QStringLiteral("Cancel"), QStringLiteral("Save")},
              QStringLiteral("the buttons read Don't Save, Cancel, Save (%1)")
                  .arg(order.join(QStringLiteral(", "))));
        check(byDefault == QLatin1String("Save"), QStringLiteral("Save is the default (%1)").arg(byDefault));
        settle(300);
        check(handler.documentForURL(photo) == document && window->isVisible(),
              QStringLiteral("Escape answers Cancel: the window stays open"));
        check(document->isDocumentEdited(), QStringLiteral("and its changes are still to save"));
        window->activateWindow();
        settle(300);
    }

    // 8. Saved as a package through the save panel.
    const QString package = sandbox + QStringLiteral("/Retouched.glimora");
    bool savePanelSeen = false;
    bool saved = false, savedOK = false;
    answerFilePanel(package, &savePanelSeen, QStringLiteral("save-panel"));
    check(chooseFromMenu(window, QStringLiteral("File"), QStringLiteral("Save As…"),
                         QStringLiteral("file-menu")),
          QStringLiteral("File ▸ Save As… is chosen from the menu bar"));
    check(savePanelSeen, QStringLiteral("Save As shows the save panel"));
    saved = waitFor([&] { return QFileInfo(package).isDir() && !document->isSaving(); });
    savedOK = saved && !document->isDocumentEdited() &&
              QFileInfo(document->fileURL()).absoluteFilePath() == QFileInfo(package).absoluteFilePath();
    check(saved && savedOK, QStringLiteral("the package is saved"));
    check(QFileInfo(package).isDir(), QStringLiteral("the package is on disk"));
    const std::vector<SavedLayer> savedLayers = layersOf(*chain);
    const QImage savedPreview = rendered(editor->previewForSaving()).toQImage();
    const QImage fullSize = rendered(editor->imageForSaving()).toQImage();
    shoot(window, QStringLiteral("saved-as-package"));

    // 9. Closed: the welcome window comes back.
    document->close();
    document.reset();
    check(waitFor([&] { return welcome->window()->isVisible(); }),
          QStringLiteral("the welcome window comes back"));
    settle(400);
    shoot(welcome->window(), QStringLiteral("closed-welcome-again"));

    // Help ▸ About Glimora shows the about window; a click on the welcome window hides it again.
    check(chooseFromMenu(welcome->window(), QStringLiteral("Help"), QStringLiteral("About Glimora")),
          QStringLiteral("Help ▸ About Glimora is chosen from the menu bar"));
    pf::Window* aboutBox = delegate.aboutBoxController()->aboutBox();
    check(waitFor([&] { return aboutBox->isVisible(); }), QStringLiteral("the about window shows"));
    settle(300);
    shoot(aboutBox, QStringLiteral("about"));
    QTest::keyClick(aboutBox->windowHandle(), Qt::Key_Escape);
    check(waitFor([&] { return !aboutBox->isVisible(); }), QStringLiteral("Escape closes the about window"));
    check(chooseFromMenu(welcome->window(), QStringLiteral("Help"), QStringLiteral("About Glimora")),
          QStringLiteral("Help ▸ About Glimora is chosen again"));
    check(waitFor([&] { return aboutBox->isVisible(); }), QStringLiteral("the about window shows again"));
    settle(300);
    QTest::mouseClick(welcome->window()->contentView(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 200));
    check(waitFor([&] { return !aboutBox->isVisible(); }),
          QStringLiteral("the about window goes when another window is clicked"));
    // Edit ▸ Preferences… shows the retention choices; closing hides them.
    check(chooseFromMenu(welcome->window(), QStringLiteral("Edit"), QStringLiteral("Preferences…")),
          QStringLiteral("Edit ▸ Preferences… is chosen from the menu bar"));
    GMPreferencesWindowController* preferences = delegate.preferencesController();
    check(preferences && waitFor([&] { return preferences->isVisible(); }),
          QStringLiteral("the preferences show"));
    if (preferences) {
        shoot(preferences->loadedWindow(), QStringLiteral("preferences"));
        preferences->close();
        check(waitFor([&] { return !preferences->isVisible(); }), QStringLiteral("the preferences close"));
    }
    welcome->window()->makeKeyAndOrderFront();
    settle(200);

    // 10. Reopened by a click on its recent tile.
    handler.displayWelcomeScreen();
    GMGridViewController* grid = welcome->grid();
    waitFor([&] { return welcome->window()->isVisible() && grid->picturesPending() == 0; });
    settle(500);
    GMGridItem* recent = nullptr;
    for (OVGridItem* tile : grid->gridItemsInSection(welcome->sectionRecent()))
        if (tile->title().contains(QLatin1String("Retouched")))
            recent = qobject_cast<GMGridItem*>(tile);
    check(recent != nullptr, QStringLiteral("the package is among the recent tiles"));
    if (!recent)
        return;
    check(recent->hasPicture(), QStringLiteral("its tile shows the saved preview"));
    shoot(welcome->window(), QStringLiteral("welcome-recent-tile"));
    const QPoint at = recent->mapTo(welcome->window(), recent->rect().center());
    QTest::mouseMove(welcome->window()->windowHandle(), at);
    QTest::mouseClick(welcome->window()->windowHandle(), Qt::LeftButton, {}, at);
    check(waitFor([&] { return handler.documentForURL(package) != nullptr; }),
          QStringLiteral("the package reopens"));
    document = handler.documentForURL(package);
    if (!document)
        return;
    check(waitUntilEditing(document), QStringLiteral("the reopened package is edited live"));
    settle(OVActivityPanel::slideDuration * 1000 + 100);
    editor = editorOf(document);
    window = editor->window();
    chain = editor->toolChain();
    shoot(window, QStringLiteral("reopened"));

    // A second document opens stepped down and right of the first, and the Window menu lists both: the
    // first chosen there comes to the front.
    {
        QString secondError;
        auto second = handler.openDocumentWithContentsOfURL(photo, true, &secondError);
        check(second != nullptr, QStringLiteral("a second document opens: ") + secondError);
        if (second) {
            check(waitUntilEditing(second), QStringLiteral("the second document is edited live"));
            pf::Window* secondWindow = second->window();
            const QPoint offset = secondWindow->geometry().topLeft() - window->geometry().topLeft();
            std::printf("second window: %d, %d from the first\n", offset.x(), offset.y());
            // It opens where the last window closed, a step down and right when that is where the first
            // one lies: never over the first's title bar.
            check(std::abs(offset.x()) >= GMWindowCascade::step / 2 ||
                      std::abs(offset.y()) >= GMWindowCascade::step / 2,
                  QStringLiteral("the second window does not cover the first exactly"));
            shoot(secondWindow, QStringLiteral("second-window-cascaded"));
            check(chooseFromMenu(secondWindow, QStringLiteral("Window"), document->displayName(),
                                 QStringLiteral("window-menu")),
                  QStringLiteral("Window ▸ %1 is chosen").arg(document->displayName()));
            check(waitFor([&] { return window->isKeyWindow(); }, 5000),
                  QStringLiteral("the Window menu brings the chosen document to the front"));
            second->close();
            settle(300);
            window->makeKeyAndOrderFront();
            settle(300);
        }
    }

    // 11. Every layer as saved; the composed preview within rounding.
    const std::vector<SavedLayer> reopened = layersOf(*chain);
    check(reopened.size() == savedLayers.size(), QStringLiteral("as many layers as were saved"));
    for (size_t i = 0; i < std::min(reopened.size(), savedLayers.size()); ++i) {
        check(reopened[i].name == savedLayers[i].name, QStringLiteral("layer %1 has its effect").arg(i + 1));
        check(reopened[i].settings == savedLayers[i].settings,
              QStringLiteral("layer %1 has its settings").arg(i + 1));
        check(!reopened[i].mask.isNull() && reopened[i].mask == savedLayers[i].mask,
              QStringLiteral("layer %1 has its mask, pixel for pixel").arg(i + 1));
    }
    // The stroke painted through the loupe is in the saved package.
    if (!reopened.empty() && loupeStroke.changed > 0) {
        const QImage& m = reopened[0].mask;
        int kept = 0;
        for (int y = 0; y < loupeStroke.after.height(); ++y)
            for (int x = 0; x < loupeStroke.after.width(); ++x)
                if (loupeStroke.before.pixel(x, y) != loupeStroke.after.pixel(x, y) && m.valid(x, y) &&
                    m.pixel(x, y) == loupeStroke.after.pixel(x, y))
                    ++kept;
        std::printf("reopened: %d of the %d mask pixels the loupe stroke changed as painted\n", kept,
                    loupeStroke.changed);
        check(kept == loupeStroke.changed, QStringLiteral("the saved package holds the loupe's stroke"));
    }
    const QImage reopenedPreview = rendered(editor->previewForSaving()).toQImage();
    const Difference preview = compare(reopenedPreview, savedPreview);
    std::printf("preview after reopening: largest difference %d/255, mean %.4f/255\n", preview.largest,
                preview.mean);
    check(preview.largest <= 2, QStringLiteral("the reopened preview is the saved one (within 2/255)"));

    // 12. Exported flattened as PNG and JPEG, each against the full-size composition.
    for (const QString& suffix : {QStringLiteral("png"), QStringLiteral("jpg")}) {
        const QString path = sandbox + QStringLiteral("/Exported.") + suffix;
        bool exportSeen = false;
        answerFilePanel(path, &exportSeen, QStringLiteral("export-panel-") + suffix);
        check(chooseFromMenu(window, QStringLiteral("File"), QStringLiteral("Export…")),
              QStringLiteral("File ▸ Export… is chosen from the menu bar"));
        check(exportSeen, QStringLiteral("Export shows the save panel"));
        check(waitFor([&] { return QFileInfo::exists(path) && !document->isSaving(); }),
              QStringLiteral("the %1 is written").arg(suffix));
        const QImage written(path);
        const Difference d = compare(written, fullSize);
        std::printf("%s export: largest difference %d/255, mean %.4f/255\n", qPrintable(suffix), d.largest,
                    d.mean);
        if (suffix == QLatin1String("png"))
            check(d.largest <= 1, QStringLiteral("the PNG is the full-size composition (within 1/255)"));
        else
            check(d.mean <= 2.0 && d.largest <= 48,
                  QStringLiteral("the JPEG is the full-size composition (mean within 2/255)"));
        shoot(window, QStringLiteral("exported-") + suffix);
    }

    // 13. Extras ▸ Frame Builder… over the portrait: the preview frames this picture; a new frame and a
    // shade on it.
    check(chooseFromMenu(window, QStringLiteral("Extras"), QStringLiteral("Frame Builder…")),
          QStringLiteral("Extras ▸ Frame Builder… is chosen from the menu bar"));
    OVFrameBuilder& builder = OVFrameBuilder::sharedFrameBuilder();
    check(waitFor([&] { return builder.isActive(); }), QStringLiteral("the frame builder opens"));
    const pf::Image framed = builder.previewFilter()->value(QStringLiteral("inputImage")).value<pf::Image>();
    check(!framed.isNull() && std::lround(framed.extent().width()) == reopenedPreview.width(),
          QStringLiteral("the builder frames the document's picture"));
    builder.addFrameButton()->click();
    settle(300);
    check(builder.currentDescription() && builder.currentDescription()->isEditable(),
          QStringLiteral("a new frame is made and shown"));
    const QStringList& shades = OVFrameCatalog::sharedShadeNames();
    int shadeItem = -1;
    for (int i = 0; i < shades.size() && shadeItem < 0; ++i)
        if (OVFrameCatalog::sharedShadeSettings().contains(shades[i]))
            shadeItem = i + 2;
    if (shadeItem >= 0)
        builder.newShadeButton()->itemSelected(builder.newShadeButton()->menu()->actions().at(shadeItem));
    settle(500);
    check(builder.shadesStack().size() == 1 && builder.currentDescription()->shades().size() == 1,
          QStringLiteral("a shade is added to the new frame"));
    shoot(builder.window(), QStringLiteral("frame-builder"));
    builder.window()->close();

    // 14. Extras ▸ Scene Preview…: the image catalog slides out over the canvas on the backgrounds; a
    // click on one shows the portrait as a card in that scene, then flat, then in final quality.
    window->makeKeyAndOrderFront();
    settle(300);
    check(chooseFromMenu(window, QStringLiteral("Extras"), QStringLiteral("Scene Preview…")),
          QStringLiteral("Extras ▸ Scene Preview… is chosen from the menu bar"));
    OVImageCatalog& catalog = OVImageCatalog::sharedImageCatalog();
    check(waitFor([&] { return catalog.windowDrawer() && catalog.windowDrawer()->isOpen(); }),
          QStringLiteral("the image catalog's drawer opens"));
    check(catalog.categoryName(catalog.activeCategory()) == QLatin1String("Backgrounds"),
          QStringLiteral("the catalog shows the backgrounds"));
    settle(1200);
    shoot(window, QStringLiteral("scene-preview-catalog"));
    const QList<OVGridItem*> backgrounds =
        catalog.gridViewController()->gridItemsInSection(catalog.mainSection());
    check(backgrounds.size() == 4, QStringLiteral("four backgrounds are offered"));
    GMScenePreviewChooser& chooser = GMScenePreviewChooser::shared();
    if (backgrounds.size() > 1) {
        OVGridItem* item = backgrounds.at(1);
        QTest::mouseClick(item, Qt::LeftButton, Qt::NoModifier, item->rect().center());
    }
    check(waitFor([&] { return !chooser.openPreviews().empty(); }),
          QStringLiteral("a click on a background opens the scene preview"));
    if (!chooser.openPreviews().empty()) {
        GMScenePreviewWindow* preview = chooser.openPreviews().back();
        check(!preview->sceneImage().isNull(), QStringLiteral("the scene is rendered"));
        settle(300);
        shoot(preview->window(), QStringLiteral("scene-preview"));
        QTest::mouseClick(preview->flatSwitch(), Qt::LeftButton, Qt::NoModifier,
                          preview->flatSwitch()->rect().center());
        check(preview->isFlat() && !preview->sceneImage().isNull(),
              QStringLiteral("Flat composes the card flat"));
        shoot(preview->window(), QStringLiteral("scene-preview-flat"));
        QTest::mouseClick(preview->flatSwitch(), Qt::LeftButton, Qt::NoModifier,
                          preview->flatSwitch()->rect().center());
        QTest::mouseClick(preview->finalQualitySwitch(), Qt::LeftButton, Qt::NoModifier,
                          preview->finalQualitySwitch()->rect().center());
        check(!preview->isFlat() && preview->isFinalQuality() && !preview->sceneImage().isNull(),
              QStringLiteral("Final Quality renders the scene on the software device"));
        shoot(preview->window(), QStringLiteral("scene-preview-final-quality"));
        preview->window()->close();
        check(waitFor([&] { return chooser.openPreviews().empty(); }, 5000),
              QStringLiteral("closing the scene preview lets it go"));
    }
    check(!catalog.windowDrawer()->isOpen(), QStringLiteral("the drawer slid back after the choice"));
    // 15. Extras ▸ Framework Effects… over the portrait: an effect added by the picker, its slider
    // dragged (one undo step) and undone with the keyboard.
    // The editor in front again, as a person would click it after closing the builder.
    window->activateWindow();
    settle(300);
    check(chooseFromMenu(window, QStringLiteral("Extras"), QStringLiteral("Framework Effects…")),
          QStringLiteral("Extras ▸ Framework Effects… is chosen from the menu bar"));
    GMFrameworkEffectsWindow* frameworkEffects = nullptr;
    check(waitFor([&] {
              frameworkEffects = GMFrameworkEffectsWindow::shown();
              return frameworkEffects && frameworkEffects->window()->isVisible() &&
                     !frameworkEffects->shownImage().isNull();
          }),
          QStringLiteral("the framework effects window opens and shows a picture"));
    if (frameworkEffects) {
        check(std::lround(frameworkEffects->picture().extent().width()) == reopenedPreview.width(),
              QStringLiteral("the framework effects work on the document's picture"));
        // A stroke of the selected layer painted in the editor beside it: the effects window shows the
        // photo as it is now.
        check(chain->selectionIndex() >= 1, QStringLiteral("a layer is selected to paint in"));
        if (chain->selectionIndex() >= 1) {
            const QImage unpainted = frameworkEffects->shownImage();
            window->activateWindow();
            settle(300);
            Hand painter(window);
            OVZoomView* canvas = editor->zoomView();
            const Rect shownPhoto = canvas->zoomLayer()->frame();
            const auto onCanvas = [&](double x, double y) {
                return painter.at(canvas, Point(shownPhoto.minX() + x * shownPhoto.width(),
                                                shownPhoto.minY() + y * shownPhoto.height()));
            };
            const auto layerMask = chain->brushPathImageAtIndex(chain->selectionIndex());
            const int strokes = int(layerMask->segmentImageNames().size());
            painter.move(onCanvas(0.2, 0.2));
            painter.press(onCanvas(0.2, 0.2));
            for (int i = 1; i <= 12; ++i)
                painter.move(onCanvas(0.2 + i * 0.05, 0.2 + i * 0.02));
            painter.release(onCanvas(0.8, 0.44));
            check(waitFor([&] { return int(layerMask->segmentImageNames().size()) > strokes; }),
                  QStringLiteral("the stroke beside the effects window is stored"));
            check(waitFor([&] { return frameworkEffects->shownImage() != unpainted; }, 5000),
                  QStringLiteral("the effects window shows the photo as it is now, the stroke in it"));
            shoot(frameworkEffects->window(), QStringLiteral("framework-effects-follow-the-photo"));
            frameworkEffects->window()->activateWindow();
            settle(300);
        }
        const QImage before = frameworkEffects->shownImage();
        Hand effectsHand(frameworkEffects->window());
        effectsHand.click(effectsHand.at(frameworkEffects->addEffectButton(), Point(40, 11)));
        pf::Menu* picker = OVEffectPicker::sharedEffectPicker().listMenu();
        check(waitFor([&] { return picker->isVisible(); }, 3000),
              QStringLiteral("Add Effect… opens the picker"));
        QAction* dimmed = nullptr;
        for (QAction* item : picker->actions())
            if (pf::Menu::title(item) == QLatin1String("Dimmed Black and White"))
                dimmed = item;
        if (dimmed) {
            QTest::mouseMove(picker, picker->actionGeometry(dimmed).center());
            settle(300);
            check(frameworkEffects->effectPreview()->isVisible(),
                  QStringLiteral("the highlighted effect is previewed"));
            shoot(frameworkEffects->window(), QStringLiteral("framework-effects-picker"));
            QTest::mouseClick(picker, Qt::LeftButton, Qt::NoModifier,
                              picker->actionGeometry(dimmed).center());
        }
        check(waitFor([&] { return frameworkEffects->effects().size() == 1; }, 3000),
              QStringLiteral("choosing in the picker adds the effect"));
        settle(300);
        check(frameworkEffects->shownImage() != before,
              QStringLiteral("the added effect changes the picture"));
        OVSlider* slider = nullptr;
        if (frameworkEffects->effects().size() == 1)
            for (QWidget* control : frameworkEffects->effects().front()->settingsControls())
                if (!slider)
                    slider = qobject_cast<OVSlider*>(control);
        check(slider != nullptr, QStringLiteral("the effect shows its slider"));
        if (slider) {
            OVEffect& effect = *frameworkEffects->effects().front();
            const double start = effect.settingsValueForKey(QStringLiteral("inputBrightness")).toDouble();
            const QImage undragged = frameworkEffects->shownImage();
            const int y = slider->height() / 2;
            const QPoint from = slider->mapTo(frameworkEffects->window(), QPoint(4, y));
            const QPoint to = slider->mapTo(frameworkEffects->window(), QPoint(slider->width() - 4, y));
            effectsHand.move(from);
            effectsHand.press(from);
            for (int step = 1; step <= 6; ++step)
                effectsHand.move(from + (to - from) * step / 6);
            effectsHand.release(to);
            settle(300);
            const double dragged = effect.settingsValueForKey(QStringLiteral("inputBrightness")).toDouble();
            check(std::abs(dragged - start) > 0.1, QStringLiteral("dragging the slider changes the effect"));
            check(frameworkEffects->shownImage() != undragged,
                  QStringLiteral("the drag changes the picture"));
            shoot(frameworkEffects->window(), QStringLiteral("framework-effects-dragged"));
            frameworkEffects->window()->activateWindow();
            settle(200);
            effectsHand.key(Qt::Key_Z, Qt::ControlModifier);
            settle(300);
            check(std::abs(effect.settingsValueForKey(QStringLiteral("inputBrightness")).toDouble() - start) <
                      1e-9,
                  QStringLiteral("one undo takes the whole drag back"));
            check(frameworkEffects->effects().size() == 1,
                  QStringLiteral("the undo leaves the effect in place"));
            shoot(frameworkEffects->window(), QStringLiteral("framework-effects-undone"));
        }
        // Crop… at 3:2, accepted with Return: the chain's input becomes the kept part.
        GMFrameworkEffectsTools& tools = GMFrameworkEffectsTools::shared();
        check(frameworkEffects->cropButton()->isEnabled(), QStringLiteral("Crop… is offered"));
        effectsHand.click(effectsHand.at(frameworkEffects->cropButton(), Point(40, 11)));
        check(waitFor([&] { return tools.cropController() && tools.cropController()->isSheetUp(); }, 3000),
              QStringLiteral("Crop… opens the crop dialog over the window"));
        if (tools.cropController() && tools.cropController()->isSheetUp()) {
            check(std::abs(tools.cropController()->cropRatio() - 1.5) < 1e-9,
                  QStringLiteral("the crop dialog keeps 3:2"));
            settle(300);
            shoot(frameworkEffects->window(), QStringLiteral("framework-effects-crop"));
            effectsHand.key(Qt::Key_Return, Qt::NoModifier);
            const auto ratio = [&] {
                const pf::Rect extent = frameworkEffects->picture().extent();
                return extent.height() > 0 ? extent.width() / extent.height() : 0.0;
            };
            check(waitFor([&] { return std::abs(ratio() - 1.5) < 0.01; }, 3000),
                  QStringLiteral("OK crops the chain's input at 3:2"));
            settle(300);
            shoot(frameworkEffects->window(), QStringLiteral("framework-effects-cropped"));
        }
        // Picture…: the image catalog's drawer; a chosen background becomes the chain's input.
        check(frameworkEffects->pictureButton()->isEnabled(), QStringLiteral("Picture… is offered"));
        const pf::Rect croppedExtent = frameworkEffects->picture().extent();
        effectsHand.click(effectsHand.at(frameworkEffects->pictureButton(), Point(40, 11)));
        OVImageCatalog& pictures = OVImageCatalog::sharedImageCatalog();
        check(waitFor([&] { return pictures.windowDrawer() && pictures.windowDrawer()->isOpen(); }),
              QStringLiteral("Picture… opens the image catalog's drawer"));
        settle(1200);
        const QList<OVGridItem*> offered =
            pictures.gridViewController()->gridItemsInSection(pictures.mainSection());
        check(!offered.isEmpty(), QStringLiteral("the drawer offers pictures"));
        if (!offered.isEmpty()) {
            shoot(frameworkEffects->window(), QStringLiteral("framework-effects-pictures"));
            OVGridItem* item = offered.front();
            QTest::mouseClick(item, Qt::LeftButton, Qt::NoModifier, item->rect().center());
            check(waitFor([&] { return frameworkEffects->picture().extent() != croppedExtent; }, 5000),
                  QStringLiteral("a chosen picture becomes the chain's input"));
            settle(300);
            shoot(frameworkEffects->window(), QStringLiteral("framework-effects-new-picture"));
        }
        frameworkEffects->window()->close();
    }

    document->close();
    settle(300);

    // 16. A document of the older single-file form opens with its layer painted from its strokes, as an
    // untitled document named after the file, which no save replaces unasked.
    const QString older = makeOlderDocument(sandbox + QStringLiteral("/Older.glimora"));
    QString olderError;
    document = handler.openDocumentWithContentsOfURL(older, true, &olderError);
    check(document != nullptr, QStringLiteral("the older document opens: ") + olderError);
    if (document) {
        check(waitUntilEditing(document), QStringLiteral("the older document is edited live"));
        GMWindowController* editor = editorOf(document);
        check(editor && editor->toolChain()->numberOfTools() == 2,
              QStringLiteral("the older document's layer is in the chain"));
        check(document->fileURL().isEmpty() && document->displayName() == QLatin1String("Older (converted)"),
              QStringLiteral("the older document opens untitled, named after its file"));
        check(document->window()->windowTitle().startsWith(QLatin1String("Older (converted)")),
              QStringLiteral("the window is titled after the older file"));
        shoot(document->window(), QStringLiteral("older-single-file"), 600);
        document->close();
        settle(300);
    }
}

} // namespace

int main(int argc, char** argv)
{
    pf::Movie::chooseBackend();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("glimora-end-to-end"));
    QApplication::setQuitOnLastWindowClosed(false);
    if (argc > 3 && QByteArray(argv[1]) == "--second-start")
        return secondStart(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    GalleryShots::useOutputFolder(argc, argv, QDir::currentPath());
    QTemporaryDir sandbox;
    GalleryShots::useSandbox(sandbox);
    // The application's own wiring: every document in an editor window.
    GalleryShots::registerEditorClasses();
    FramesLibrary::registerAll();
    run(sandbox.path());
    OVBrushPathImage::waitForPendingWrites();
    GMDocumentPackage::documentQueue().waitUntilEmpty();
    return GalleryShots::exitCodeWithCount();
}
