// Makes the help topics' movies, stills and row icons from the application itself:
//   help-movies <output folder> <icons folder> [<frames folder>]
// The icons are the SVG files of the icons folder, drawn as "<topic>Icon.png". The movies are the real
// editor window, built offscreen on a clock that moves one frame at a time, playing a scripted edit of
// the sample portrait; each frame is the window as the screen shows it, with the pointer drawn in,
// written as PNG and encoded by the packaged ffmpeg into "<topic>.mov" (H.264, yuv420p, 960 x 600, one
// thread, so the same frames give the same bytes). A topic without a movie (or whose movie could not be
// made) gets a still of the window, "<topic>.png". Returns non-zero only when the output cannot be
// written; a machine without ffmpeg gets stills instead of movies, with a warning. Given a frames folder,
// each movie's PNG frames are kept there in "<topic>/", to compare two runs frame by frame.
#include "Classes/Document/DocumentHandler.h"
#include "Classes/Document/GMApplicationDelegate.h"
#include "Classes/Document/GMDocument.h"
#include "Classes/Document/GMDocumentPackage.h"
#include "Classes/Document/GMEditorWindowController.h"
#include "Classes/Editor/EffectIntensity.h"
#include "Classes/Editor/GMCollectionViewEffectItem.h"
#include "Classes/Editor/GMEffectBrowserController.h"
#include "Classes/Editor/GMEffectIconView.h"
#include "Classes/Editor/GMSettingsController.h"
#include "Classes/Editor/GMSlider.h"
#include "Classes/Editor/GMWindowController.h"
#include "Classes/Editor/OVLayerBrowser.h"
#include "Classes/Editor/OVSwitch.h"
#include "Classes/Editor/OVZoomView.h"
#include "Classes/Filters/FilterLibrary.h"
#include "Classes/Frames/FramesLibrary.h"
#include "Classes/Framework/Toolkit/OV3DView.h"
#include "Classes/Framework/Toolkit/OVActivityPanel.h"
#include "Classes/Help/OVInformationPanel.h"
#include "Classes/Rendering/GMRealTimeRenderer.h"
#include "Classes/ToolObjects/OVBrushFramework/OVBrushPathImage.h"
#include "Classes/ToolObjects/OVBrushFramework/OVHealingBrush.h"
#include "Classes/ToolObjects/OVBrushFramework/OVImageContainer.h"
#include "Classes/ToolObjects/OVBrushFramework/OVIrisMaskBrush.h"
#include "Classes/ToolObjects/OVBrushFramework/OVIrisReplacementBrush.h"
#include "Classes/ToolObjects/PhotoToolChain.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/FileSystem.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/UI/SteppedClock.h"
#include "Platform/UI/Window.h"
#include "Tests/ChildProcess.h"
#include "Tests/Gallery/EditorClasses.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QStandardPaths>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>

using pf::Point;
using pf::Rect;

namespace {

constexpr int kFramesPerSecond = 25;
// The window is recorded at 1024 x 640 (its minimum height) and scaled to the movie's 960 x 600.
const QSize kWindowSize(1024, 640);
const QSize kMovieSize(960, 600);
constexpr int kIconSize = 64;

void warn(const QString& text)
{
    std::fprintf(stderr, "Warning: help-movies: %s\n", qPrintable(text));
}

// Counts the calls other threads hand to the main thread (their results arriving), to tell when none
// is on its way any more.
class DeliveryCounter : public QObject
{
public:
    DeliveryCounter() { QCoreApplication::instance()->installEventFilter(this); }
    quint64 count() const { return m_count; }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::MetaCall)
            ++m_count;
        return false;
    }

private:
    quint64 m_count = 0;
};

// Waits, in real time and without moving the scripted clock, until the work started off the main thread
// has finished and its results are on screen: the compositions of the render queue, the preview, the
// document's loading, mask and package writes, a save. Frames taken after it depend on the script
// alone, never on how fast the machine did that work (which differs between two runs on one machine).
class Settler
{
public:
    Settler(GMDocument& document, GMWindowController& editor) : m_document(document), m_editor(editor) {}

    // Parks the render queue until the next settle(). Between two frames the script's events are
    // handled while the queue waits: whether a composition they ask for is already made when the
    // interface next looks for it (the picture then drawn from its pixels or from its recipe, which
    // differ in rounding) no longer depends on the threads' race.
    void hold()
    {
        release();
        GMRealTimeRenderer* renderer = m_editor.editRenderer();
        if (!renderer)
            return;
        m_hold = std::make_shared<Hold>();
        renderer->renderQueue()->async([hold = m_hold] {
            std::unique_lock lock(hold->mutex);
            // Bounded, should the interface ever wait for the queue itself.
            if (!hold->released.wait_for(lock, std::chrono::seconds(10), [&] { return hold->open; }))
                warn(QStringLiteral("the render queue was held too long"));
        });
    }

    // False when the work has not finished after `milliseconds` (the frame is then taken as it is).
    bool settle(int milliseconds = 20000)
    {
        QElapsedTimer timer;
        timer.start();
        // The preview arrives first, the held queue's compositions after it: both may put a picture of
        // the photo on screen, and the later one is what the frame shows.
        while (m_hold && m_editor.isPreviewPending() && timer.elapsed() < kPreviewFirstMilliseconds) {
            QApplication::processEvents();
            QThread::msleep(1);
        }
        release();
        for (;;) {
            const quint64 before = m_deliveries.count();
            QApplication::processEvents();
            if (GMRealTimeRenderer* renderer = m_editor.editRenderer())
                renderer->renderQueue()->waitUntilEmpty();
            GMDocumentPackage::documentQueue().waitUntilEmpty();
            OVBrushPathImage::waitForPendingWrites();
            QApplication::processEvents();
            // Quiet: nothing arrived in a whole round, and nothing is awaited that has not come yet.
            if (m_deliveries.count() == before && !busy())
                return true;
            if (timer.elapsed() > milliseconds)
                return false;
            if (busy())
                QThread::msleep(1);
        }
    }

    // Steps the clock until `ready` holds, settling after each step: how many steps that takes is then
    // the same in every run.
    bool stepUntil(pf::SteppedClock& clock, const std::function<bool()>& ready, double seconds)
    {
        for (double t = 0; t < seconds; t += kStep) {
            if (!settle())
                warn(QStringLiteral("background work did not finish in time"));
            if (ready())
                return true;
            clock.advance(kStep);
        }
        return ready();
    }

private:
    static constexpr double kStep = 0.02;
    // Should a preview ever wait for a composition, the queue is let go after this long.
    static constexpr int kPreviewFirstMilliseconds = 2000;

    struct Hold
    {
        std::mutex mutex;
        std::condition_variable released;
        bool open = false;
    };

    void release()
    {
        if (!m_hold)
            return;
        {
            std::lock_guard lock(m_hold->mutex);
            m_hold->open = true;
        }
        m_hold->released.notify_all();
        m_hold.reset();
    }

    bool busy() const
    {
        return m_editor.isPreviewPending() || m_document.isOpening() || m_document.pendingLayerCount() > 0 ||
               m_document.isSaving();
    }

    GMDocument& m_document;
    GMWindowController& m_editor;
    DeliveryCounter m_deliveries;
    std::shared_ptr<Hold> m_hold;
};

bool renderIcons(const QString& iconsFolder, const QString& output)
{
    bool ok = true;
    for (const QFileInfo& svg : QDir(iconsFolder).entryInfoList({QStringLiteral("*.svg")}, QDir::Files)) {
        QSvgRenderer renderer(svg.absoluteFilePath());
        if (!renderer.isValid()) {
            warn(QStringLiteral("the icon %1 cannot be read").arg(svg.fileName()));
            continue;
        }
        QImage icon(kIconSize, kIconSize, QImage::Format_ARGB32_Premultiplied);
        icon.fill(Qt::transparent);
        QPainter painter(&icon);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(0, 0, kIconSize, kIconSize));
        painter.end();
        const QString path = QDir(output).filePath(svg.completeBaseName() + QStringLiteral("Icon.png"));
        if (!icon.save(path)) {
            std::fprintf(stderr, "Error: help-movies: cannot write %s\n", qPrintable(path));
            ok = false;
        }
    }
    return ok;
}

// The pointer as drawn over the frames: an arrow with a dark rim.
void drawPointer(QPainter& painter, QPointF at, bool pressed)
{
    QPainterPath arrow;
    arrow.moveTo(0, 0);
    arrow.lineTo(0, 17);
    arrow.lineTo(4.5, 13);
    arrow.lineTo(7.5, 19.5);
    arrow.lineTo(10, 18.5);
    arrow.lineTo(7, 12);
    arrow.lineTo(12.5, 12);
    arrow.closeSubpath();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(at);
    if (pressed) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(255, 255, 255, 70));
        painter.drawEllipse(QPointF(0, 0), 14, 14);
    }
    painter.setPen(QPen(QColor(20, 20, 20), 1.2));
    painter.setBrush(Qt::white);
    painter.drawPath(arrow);
    painter.restore();
}

// Paints the window once per frame, with everything asked for since the last one. A part of the window
// that stays the same is drawn from an image of it after a couple of paints, and the work that arrives
// between two frames may ask for one paint or several: counted in frames, the same parts are drawn the
// same way in every run.
class OnePaintPerFrame : public QObject
{
public:
    explicit OnePaintPerFrame(QWidget* window) : m_window(window) { window->installEventFilter(this); }

    void paintNow()
    {
        m_painting = true;
        QEvent request(QEvent::UpdateRequest);
        QCoreApplication::sendEvent(m_window, &request);
        m_painting = false;
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        // Held back, the request keeps what is to be painted; the next frame paints it.
        return object == m_window && event->type() == QEvent::UpdateRequest && !m_painting;
    }

private:
    QWidget* m_window;
    bool m_painting = false;
};

// Drives the window as a person would, one movie frame at a time.
class Recorder
{
public:
    Recorder(pf::SteppedClock& clock, pf::Window* window, Settler& settler)
        : m_clock(clock), m_window(window), m_settler(settler)
    {
        m_pointer = QPoint(window->width() / 2, window->height() / 2);
    }

    void start(const QString& folder)
    {
        m_folder = folder;
        m_frame = 0;
    }
    int frames() const { return m_frame; }
    QImage lastFrame() const { return m_last; }

    QPoint at(pf::View* view, Point p) const
    {
        return view->mapTo(m_window, view->pointToWidget(p)).toPoint();
    }
    QPoint atBase(Point base) const { return QPoint(int(base.x), int(m_window->height() - base.y)); }

    void wait(double seconds)
    {
        for (int i = 0, n = int(std::lround(seconds * kFramesPerSecond)); i < n; ++i)
            frame();
    }
    // Eased, so the pointer starts and stops as a hand does.
    void moveTo(QPoint target, double seconds)
    {
        const QPoint from = m_pointer;
        const int n = std::max(1, int(std::lround(seconds * kFramesPerSecond)));
        for (int i = 1; i <= n; ++i) {
            const double t = double(i) / n;
            const double e = t * t * (3 - 2 * t);
            deliverMove(QPoint(int(std::lround(from.x() + (target.x() - from.x()) * e)),
                               int(std::lround(from.y() + (target.y() - from.y()) * e))));
            frame();
        }
    }
    // Along a path of points, evenly in time.
    void drag(const std::vector<QPoint>& path, double seconds)
    {
        if (path.empty())
            return;
        moveTo(path.front(), 0.6);
        press();
        const int n = std::max(1, int(std::lround(seconds * kFramesPerSecond)));
        for (int i = 1; i <= n; ++i) {
            const double f = double(i) / n * double(path.size() - 1);
            const size_t k = std::min(path.size() - 2, size_t(f));
            const double u = path.size() > 1 ? f - double(k) : 0;
            const QPoint a = path[k], b = path.size() > 1 ? path[k + 1] : path[k];
            deliverMove(QPoint(int(std::lround(a.x() + (b.x() - a.x()) * u)),
                               int(std::lround(a.y() + (b.y() - a.y()) * u))));
            frame();
        }
        release();
    }
    void press()
    {
        m_pressed = true;
        QTest::mousePress(m_window->windowHandle(), Qt::LeftButton, {}, m_pointer);
        frame();
    }
    void release()
    {
        m_pressed = false;
        QTest::mouseRelease(m_window->windowHandle(), Qt::LeftButton, {}, m_pointer);
        frame();
    }
    void click(QPoint target, double travel = 0.8)
    {
        moveTo(target, travel);
        wait(0.2);
        press();
        release();
    }
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers)
    {
        QTest::keyClick(m_window->windowHandle(), key, modifiers);
        frame();
    }

private:
    void deliverMove(QPoint p)
    {
        m_pointer = p;
        QCursor::setPos(m_window->mapToGlobal(p));
        QTest::mouseMove(m_window->windowHandle(), p);
    }

    void frame()
    {
        m_clock.advance(1.0 / kFramesPerSecond);
        QApplication::processEvents();
        if (!m_settler.settle())
            warn(QStringLiteral("frame %1 is taken before the background work finished").arg(m_frame));
        m_paints.paintNow();
        const QRect area(m_window->mapToGlobal(QPoint(0, 0)), m_window->size());
        QScreen* screen = QGuiApplication::primaryScreen();
        QImage shot = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                          .toImage()
                          .convertToFormat(QImage::Format_RGB32);
        {
            QPainter painter(&shot);
            // An open menu is a window of its own, over the editor on the screen.
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                auto* menu = qobject_cast<QMenu*>(widget);
                if (menu && menu->isVisible())
                    painter.drawPixmap(menu->geometry().topLeft() - area.topLeft(),
                                       screen->grabWindow(menu->winId()));
            }
            drawPointer(painter, m_pointer, m_pressed);
        }
        m_last = shot.scaled(kMovieSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (!m_folder.isEmpty())
            m_last.save(QStringLiteral("%1/%2.png").arg(m_folder).arg(m_frame, 4, 10, QLatin1Char('0')),
                        "PNG", 80);
        ++m_frame;
        m_settler.hold();
    }

    pf::SteppedClock& m_clock;
    pf::Window* m_window;
    OnePaintPerFrame m_paints{m_window};
    Settler& m_settler;
    QPoint m_pointer;
    bool m_pressed = false;
    QString m_folder;
    int m_frame = 0;
    QImage m_last;
};

// A tile that lies well inside the window, the `skip`th of those.
int visibleTile(GMEffectBrowserController& effects, double windowWidth, int skip)
{
    const int count = int(effects.effectCollectionView()->arrangedObjects().size());
    for (int i = 0; i < count; ++i) {
        const Point p = GalleryShots::onTile(effects, i);
        if (p.x > 120 && p.x < windowWidth - 160 && skip-- == 0)
            return i;
    }
    return -1;
}

class Script
{
public:
    Script(Recorder& hand, GMWindowController& editor, pf::Window* window)
        : m_hand(hand), m_editor(editor), m_window(window)
    {}

    QPoint onPhoto(double x, double y) const
    {
        OVZoomView* zoom = m_editor.zoomView();
        const Rect photo = zoom->zoomLayer()->frame();
        return m_hand.at(zoom, Point(photo.minX() + x * photo.width(), photo.minY() + y * photo.height()));
    }

    bool addEffect(int skip)
    {
        GMEffectBrowserController& effects = *m_editor.effectBrowserController();
        const int tile = visibleTile(effects, m_window->width(), skip);
        if (tile < 0) {
            warn(QStringLiteral("no effect tile is in view"));
            return false;
        }
        const int before = m_editor.toolChain()->numberOfTools();
        m_hand.click(m_hand.atBase(GalleryShots::onTile(effects, tile)), 1.2);
        m_hand.wait(0.8);
        return m_editor.toolChain()->numberOfTools() > before;
    }

    void paintStroke(double y, double amplitude, double seconds)
    {
        std::vector<QPoint> path;
        for (int i = 0; i <= 16; ++i)
            path.push_back(onPhoto(0.3 + i * 0.025, y + amplitude * std::sin(i / 3.0)));
        m_hand.drag(path, seconds);
    }

    void dragIntensity(double seconds)
    {
        EffectIntensity* knob = m_editor.settingsController()->effectIntensity();
        if (!knob || !knob->isVisible()) {
            warn(QStringLiteral("the intensity knob is not shown"));
            return;
        }
        const Rect b = knob->bounds();
        const double value = m_editor.toolChain()
                                 ->photoToolAtIndex(m_editor.toolChain()->selectionIndex())
                                 ->settings()
                                 .value(QStringLiteral("intensity"))
                                 .toDouble();
        double x = b.minX();
        for (double c = b.minX(); c < b.maxX(); c += 1)
            if (std::abs(knob->valueForPoint(Point(c, b.midY())) - value) <
                std::abs(knob->valueForPoint(Point(x, b.midY())) - value))
                x = c;
        const double step = value > 0.5 ? -70 : 70;
        m_hand.drag({m_hand.at(knob, Point(x, b.midY())), m_hand.at(knob, Point(x + step, b.midY())),
                     m_hand.at(knob, Point(x + step * 0.6, b.midY()))},
                    seconds);
    }

    void setBrushSize(double value)
    {
        GMSlider* slider = m_editor.settingsController()->brushSizeSlider();
        if (!slider || !slider->isVisible())
            return;
        m_hand.click(m_hand.at(slider, GalleryShots::pointForValue(*slider, value)));
    }

    // Opens a menu of the window's menu bar and chooses one of its items, as a hand does.
    bool chooseMenuItem(const QString& menuName, const QString& itemName)
    {
        auto* bar = qobject_cast<QMenuBar*>(m_window->menuBar());
        QMenu* menu = bar ? bar->findChild<QMenu*>(menuName) : nullptr;
        QAction* item = nullptr;
        for (QAction* action : menu ? menu->actions() : QList<QAction*>())
            if (action->objectName() == itemName)
                item = action;
        if (!item) {
            warn(QStringLiteral("the menu item %1 ▸ %2 is not there").arg(menuName, itemName));
            return false;
        }
        const QRect title = bar->actionGeometry(menu->menuAction());
        m_hand.click(bar->mapTo(m_window, title.center()));
        if (!menu->isVisible()) {
            warn(QStringLiteral("the menu %1 did not open").arg(menuName));
            return false;
        }
        m_hand.wait(0.6);
        const QPoint onItem = menu->mapToGlobal(menu->actionGeometry(item).center());
        m_hand.click(m_window->mapFromGlobal(onItem), 0.6);
        return !menu->isVisible();
    }

    void toggleLayers(double wait)
    {
        OVSwitch* layerSwitch = m_editor.switch3D();
        m_hand.click(
            m_hand.at(layerSwitch, Point(layerSwitch->bounds().midX(), layerSwitch->bounds().midY())));
        m_hand.wait(wait);
    }

private:
    Recorder& m_hand;
    GMWindowController& m_editor;
    pf::Window* m_window;
};

struct Topic
{
    QString name;
    std::function<void(Script&, Recorder&)> play; // none: a still only
    std::function<bool()> prepare = nullptr;      // off camera, before the first frame; false: a still
};

// Started as the tests start programs, not with QProcess: ChildProcess.h says why (under the thread
// sanitizer QProcess would leave the rest of this run unchecked, and the next thread would end it).
// The encoder's errors are shown when it fails.
bool encode(const QString& ffmpeg, const QString& frames, const QString& movie)
{
    ChildProcess encoder;
    if (!encoder.start(ffmpeg, {QStringLiteral("-v"),
                                QStringLiteral("error"),
                                QStringLiteral("-y"),
                                QStringLiteral("-framerate"),
                                QString::number(kFramesPerSecond),
                                QStringLiteral("-i"),
                                frames + QStringLiteral("/%04d.png"),
                                QStringLiteral("-an"),
                                QStringLiteral("-c:v"),
                                QStringLiteral("libx264"),
                                QStringLiteral("-preset"),
                                QStringLiteral("veryfast"),
                                QStringLiteral("-crf"),
                                QStringLiteral("23"),
                                QStringLiteral("-pix_fmt"),
                                QStringLiteral("yuv420p"),
                                QStringLiteral("-threads"),
                                QStringLiteral("1"),
                                QStringLiteral("-fflags"),
                                QStringLiteral("+bitexact"),
                                QStringLiteral("-flags:v"),
                                QStringLiteral("+bitexact"),
                                QStringLiteral("-map_metadata"),
                                QStringLiteral("-1"),
                                movie}))
        return false;
    if (encoder.waitForFinished(120000) && encoder.exitCode() == 0)
        return true;
    std::fputs(encoder.errors().constData(), stderr);
    return false;
}

int run(const QString& output, const QString& iconsFolder, const QString& keptFrames)
{
    if (!QDir().mkpath(output)) {
        std::fprintf(stderr, "Error: help-movies: cannot make %s\n", qPrintable(output));
        return 1;
    }
    if (!renderIcons(iconsFolder, output))
        return 1;

    QTemporaryDir sandbox;
    GalleryShots::useSandbox(sandbox);
    pf::UserDefaults::standard().setValue(OVInformationPanel::dontShowAgainKey,
                                          QVariantMap{{GMEditorWindowController::firstRunTopic, 1}});
    GalleryShots::registerEditorClasses();
    FramesLibrary::registerAll();

    pf::SteppedClock clock;
    GMApplicationDelegate delegate;
    const QString sample = pf::Bundle::main().pathForResource(
        QStringLiteral("TestPerson"), QStringLiteral("jpg"), QStringLiteral("Samples"));
    auto document = sample.isEmpty() ? nullptr : delegate.documentHandler().openSample(sample);
    auto gm = std::dynamic_pointer_cast<GMDocument>(document);
    auto* controller = gm ? dynamic_cast<GMEditorWindowController*>(gm->windowController().get()) : nullptr;
    if (!controller || !controller->window()) {
        warn(QStringLiteral("the sample portrait cannot be opened: no movies"));
        return 0;
    }
    GMWindowController& editor = controller->editor();
    pf::Window* window = controller->window();
    window->setGeometry(QRect(QPoint(40, 40), kWindowSize));
    window->makeKeyAndOrderFront();
    window->activateWindow();
    Settler settler(*gm, editor);
    if (!settler.stepUntil(
            clock,
            [&] {
                return window->isVisible() && gm->pendingLayerCount() == 0 &&
                       editor.viewMode() == GMWindowController::Live && !editor.isPreviewPending();
            },
            60))
        warn(QStringLiteral("the editor is not live yet; the movies may show it loading"));
    settler.stepUntil(
        clock, [] { return false; }, 0.3);

    Recorder hand(clock, window, settler);
    Script script(hand, editor, window);
    const QList<Topic> topics = {
        {QStringLiteral("Retouching"),
         [](Script& s, Recorder& h) {
             h.wait(0.6);
             s.addEffect(0);
             s.paintStroke(0.55, 0.06, 2.6);
             h.wait(0.5);
             s.dragIntensity(2.2);
             h.wait(0.8);
         }},
        {QStringLiteral("Brushes"),
         [](Script& s, Recorder& h) {
             h.wait(0.8);
             s.setBrushSize(0.25);
             s.paintStroke(0.4, 0.03, 2.4);
             h.wait(0.5);
             s.setBrushSize(0.7);
             s.paintStroke(0.68, 0.05, 2.4);
             h.wait(0.8);
         }},
        {QStringLiteral("Layers"),
         [](Script& s, Recorder& h) {
             h.wait(0.4);
             s.addEffect(2);
             s.paintStroke(0.5, 0.08, 1.6);
             s.toggleLayers(2.8);
             s.toggleLayers(1.4);
         }},
        {QStringLiteral("Undo"),
         [](Script&, Recorder& h) {
             h.wait(1);
             for (int i = 0; i < 2; ++i) {
                 h.key(Qt::Key_Z, Qt::ControlModifier);
                 h.wait(1.6);
             }
             for (int i = 0; i < 2; ++i) {
                 h.key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
                 h.wait(1.6);
             }
             h.wait(2.5);
         }},
        {QStringLiteral("Saving"),
         [](Script& s, Recorder& h) {
             h.wait(0.4);
             s.paintStroke(0.45, 0.05, 1.8);
             h.wait(0.3);
             s.chooseMenuItem(QStringLiteral("File"), QStringLiteral("Save"));
             h.wait(1.8);
             s.paintStroke(0.64, 0.04, 1.2);
             h.wait(0.3);
             h.key(Qt::Key_S, Qt::ControlModifier);
             h.wait(1.6);
         },
         [&] {
             // Save writes in place only into a file the document already has: it gets one here, so
             // that the movie shows Save itself rather than the file dialog of a first save.
             bool saved = false;
             gm->saveToURL(sandbox.filePath(QStringLiteral("Portrait.") + GMDocumentPackage::extension),
                           GMDocumentPackage::typeName, pf::Document::SaveOperation::SaveAs,
                           [&saved](bool succeeded, const QString& message) {
                               saved = succeeded;
                               if (!succeeded)
                                   warn(QStringLiteral("the sample cannot be saved: %1").arg(message));
                           });
             settler.stepUntil(
                 clock, [&] { return !gm->isSaving() && editor.activityPanel()->activities().isEmpty(); },
                 20);
             // The busy panel slides out.
             settler.stepUntil(
                 clock, [] { return false; }, 1);
             return saved;
         }},
    };

    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (ffmpeg.isEmpty())
        warn(QStringLiteral("ffmpeg is not installed: stills instead of movies"));
    for (const Topic& topic : topics) {
        const QString movie = QDir(output).filePath(topic.name + QStringLiteral(".mov"));
        const QString still = QDir(output).filePath(topic.name + QStringLiteral(".png"));
        QFile::remove(movie);
        QFile::remove(still);
        QTemporaryDir temporary;
        const QString frames =
            keptFrames.isEmpty() ? temporary.path() : QDir(keptFrames).filePath(topic.name);
        if (!keptFrames.isEmpty()) {
            QDir(frames).removeRecursively();
            QDir().mkpath(frames);
        }
        // Without ffmpeg the script still plays: its last frame is the topic's still.
        const bool scripted = topic.play && (!topic.prepare || topic.prepare());
        const bool recorded = scripted && !ffmpeg.isEmpty();
        hand.start(recorded ? frames : QString());
        settler.hold();
        if (scripted)
            topic.play(script, hand);
        else
            hand.wait(0.2);
        bool made = false;
        if (recorded) {
            made = encode(ffmpeg, frames, movie);
            if (!made)
                warn(QStringLiteral("the movie %1 could not be encoded").arg(movie));
            else
                std::printf("%s: %d frames\n", qPrintable(movie), hand.frames());
        }
        if (!made && !hand.lastFrame().scaledToWidth(480, Qt::SmoothTransformation).save(still)) {
            std::fprintf(stderr, "Error: help-movies: cannot write %s\n", qPrintable(still));
            return 1;
        }
    }
    settler.settle(); // lets the render queue go before the window closes
    document->close();
    // The window's closing animations and the last writes; nothing is recorded any more.
    for (int i = 0; i < 10; ++i) {
        QApplication::processEvents();
        clock.advance(0.02);
    }
    OVBrushPathImage::waitForPendingWrites();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: help-movies <output folder> <icons folder> [<frames folder>]\n");
        return 2;
    }
    // A screen larger than the window, so that grabbing it takes the whole window.
    QTemporaryDir config;
    const QString screens = config.filePath(QStringLiteral("screens.json"));
    {
        QFile file(screens);
        if (file.open(QIODevice::WriteOnly))
            file.write(R"({"screens": [{"name": "movie", "x": 0, "y": 0, "width": 1280, "height": 800,
                "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    }
    if (qgetenv("QT_QPA_PLATFORM").startsWith("offscreen"))
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + screens.toLocal8Bit());
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("glimora-help-movies"));
    QApplication::setQuitOnLastWindowClosed(false);
    const int result = run(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]),
                           argc == 4 ? QString::fromLocal8Bit(argv[3]) : QString());
    GMDocumentPackage::documentQueue().waitUntilEmpty();
    return result;
}
