#include "Platform/UI/EventRouter.h"
#include "Platform/UI/TrackingArea.h"
#include "Platform/UI/View.h"
#include "Platform/UI/Window.h"
#include "Platform/UI/WindowDelegate.h"
#include "Tests/WindowDrag.h"

#include <QApplication>
#include <QCursor>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <functional>
#include <gtest/gtest.h>

namespace {

using pf::Point;
using pf::Rect;

class Pad : public pf::View
{
public:
    using View::View;
    QString name;
    QStringList* log = nullptr;
    bool refuseHits = false;
    void mouseDown(const pf::Event&) override { log->append(name); }
    View* hitTest(Point pointInSuperview) override
    {
        View* hit = View::hitTest(pointInSuperview);
        return refuseHits && hit == this ? nullptr : hit;
    }
};

// Three stacked pads over the content; a press goes to the frontmost that hit testing accepts.
TEST(EventRouting, PressesFollowHitTestingOverridesAndMouseTransparency)
{
    pf::Window window(Rect(0, 0, 200, 200));
    QStringList log;
    auto make = [&](const char* name) {
        auto* pad = new Pad(Rect(20, 20, 100, 100));
        pad->name = QString::fromLatin1(name);
        pad->log = &log;
        window.contentView()->addSubview(pad);
        return pad;
    };
    Pad* back = make("back");
    Pad* middle = make("middle");
    Pad* front = make("front");
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto press = [&] {
        const QPoint at = back->mapTo(&window, back->pointToWidget(Point(50, 50))).toPoint();
        QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, at);
        QTest::qWait(1); // keep presses apart from Qt's own double-click handling
    };
    press();
    front->setTransparentForMouse(true);
    press();
    middle->refuseHits = true;
    press();
    (void)back;
    EXPECT_EQ(log, (QStringList{QStringLiteral("front"), QStringLiteral("middle"), QStringLiteral("back")}));
}

// A wheel event nobody in the view chain takes goes on to the Qt widget the views sit in.
TEST(EventRouting, UnhandledEventsGoOnToSurroundingWidgets)
{
    struct Host : QWidget
    {
        int wheels = 0;
        void wheelEvent(QWheelEvent* event) override
        {
            ++wheels;
            event->accept();
        }
    } host;
    host.resize(100, 100);
    auto* view = new pf::View(Rect(0, 0, 100, 100), &host);
    auto* inner = new pf::View(Rect(10, 10, 50, 50));
    view->addSubview(inner);
    QWheelEvent wheel(QPointF(20, 20), QPointF(20, 20), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(inner, &wheel);
    EXPECT_EQ(host.wheels, 1);
    // A view frame inside a plain widget reads y-up from that widget's geometry.
    EXPECT_EQ(view->frame(), Rect(0, 0, 100, 100));
    view->setGeometry(10, 20, 30, 40);
    EXPECT_EQ(view->frame(), Rect(10, 40, 30, 40));
}

// A view that takes no hits over plain widgets and over views of another chain (a scroll area's
// content, say): presses with their drags and release, the wheel and double clicks go through to
// whatever lies beneath it, and two such views over each other hand nothing back and forth.
TEST(EventRouting, AViewThatTakesNoHitsLetsEveryEventThroughToWhatLiesBeneath)
{
    struct Counter : QWidget
    {
        QStringList* log = nullptr;
        void mousePressEvent(QMouseEvent*) override { log->append(QStringLiteral("plain press")); }
        void mouseMoveEvent(QMouseEvent*) override { log->append(QStringLiteral("plain drag")); }
        void mouseReleaseEvent(QMouseEvent*) override { log->append(QStringLiteral("plain release")); }
        void wheelEvent(QWheelEvent* event) override
        {
            log->append(QStringLiteral("plain wheel"));
            event->accept();
        }
    };
    struct Dragged : Pad
    {
        using Pad::Pad;
        void mouseDragged(const pf::Event&) override { log->append(name + QStringLiteral(" drag")); }
        void mouseUp(const pf::Event&) override { log->append(name + QStringLiteral(" release")); }
        void scrollWheel(const pf::Event&) override { log->append(name + QStringLiteral(" wheel")); }
    };
    pf::Window window(Rect(0, 0, 300, 200));
    QStringList log;
    // Left: a plain widget; right: a plain host holding a chain of views of its own.
    auto* plain = new Counter;
    plain->log = &log;
    plain->setParent(window.contentView());
    plain->setGeometry(10, 10, 130, 180);
    auto* host = new QWidget(window.contentView());
    host->setGeometry(160, 10, 130, 180);
    auto* hosted = new Dragged(Rect(0, 0, 130, 180), host);
    hosted->name = QStringLiteral("hosted");
    hosted->log = &log;
    // Over both, two views that take no hits, one over the other.
    Pad* overlays[2];
    for (Pad*& overlay : overlays) {
        overlay = new Pad(Rect(0, 0, 300, 200));
        overlay->name = QStringLiteral("overlay");
        overlay->log = &log;
        overlay->refuseHits = true;
        window.contentView()->addSubview(overlay);
    }
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    struct Case
    {
        const char* over;
        QPoint at;
        QStringList heard;
    };
    const Case cases[] = {
        {"a plain widget", QPoint(60, 100), {"plain press", "plain drag", "plain release", "plain wheel"}},
        {"a view of another chain",
         QPoint(220, 100),
         {"hosted", "hosted drag", "hosted release", "hosted wheel"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.over);
        log.clear();
        QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, c.at);
        QTest::mouseMove(window.windowHandle(), c.at + QPoint(5, 3));
        QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, c.at + QPoint(5, 3));
        QTest::qWait(1);
        // The wheel is delivered to the view in front, as the windowing system does.
        const QPointF local = overlays[1]->mapFrom(&window, QPointF(c.at));
        QWheelEvent wheel(local, overlays[1]->mapToGlobal(local), QPoint(), QPoint(0, 120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(overlays[1], &wheel);
        EXPECT_EQ(log, c.heard);
    }
    // A double click on the plain widget reaches it as one.
    log.clear();
    QTest::mouseDClick(window.windowHandle(), Qt::LeftButton, {}, QPoint(60, 60));
    EXPECT_TRUE(log.contains(QStringLiteral("plain press")));
    EXPECT_FALSE(log.contains(QStringLiteral("overlay")));
}

TEST(EventRouting, DraggingABorderlessWindowsBackgroundMovesIt)
{
    pf::Window window(Rect(100, 100, 150, 100), pf::Window::Borderless);
    window.setMovableByWindowBackground(true);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const Rect before = window.frame();
    dragWindowBackground(window, QPoint(20, 20), QPoint(50, 10));
    // 30 to the right and 10 up (y-up on the screen); a display server moves the window a little later.
    const Point expected(before.minX() + 30, before.minY() + 10);
    (void)QTest::qWaitFor([&] { return window.frame().origin == expected; }, 1000);
    EXPECT_EQ(window.frame().origin, expected);
}

} // namespace

namespace {

// A view that runs what it is given from inside its own handlers (a control whose owner deletes it).
class Reporter : public pf::View
{
public:
    using View::View;
    std::function<void()> onDown, onUp, onEnter, onResign;
    void mouseDown(const pf::Event&) override
    {
        if (onDown)
            onDown();
    }
    void mouseUp(const pf::Event&) override
    {
        if (onUp)
            onUp();
    }
    void mouseEntered(const pf::Event&) override
    {
        if (onEnter)
            onEnter();
    }
    bool resignFirstResponder() override
    {
        if (onResign)
            onResign();
        return true;
    }
    void watchPointer()
    {
        addTrackingArea(std::make_unique<pf::TrackingArea>(
            bounds(), pf::TrackingArea::MouseEnteredAndExited | pf::TrackingArea::ActiveAlways, this));
    }
};

struct WindowDeleter : pf::WindowDelegate
{
    pf::Window* window = nullptr;
    bool onBecomingKey = false, onClosing = false;
    void windowDidBecomeKey(pf::Window*) override
    {
        if (onBecomingKey)
            delete window;
    }
    void windowWillClose(pf::Window*) override
    {
        if (onClosing)
            delete window;
    }
};

QPoint centreOf(pf::Window& window, const pf::View* view)
{
    return view->mapTo(
        &window,
        view->pointToWidget(Point(view->bounds().width() / 3, view->bounds().height() / 3)).toPoint());
}

} // namespace

// Views and windows deleted from inside their own events, the router's calls out (taking the keyboard,
// monitors, tracking reports) and the window's (its delegate, closing): the router touches nothing of
// them afterwards, and the next window works.
TEST(EventRouting, ViewsAndWindowsDeletedFromInsideTheirEventsLeaveTheRouterSound)
{
    struct Scene
    {
        QPointer<pf::Window> window = new pf::Window(Rect(100, 100, 300, 200));
        QPointer<pf::Window> other = new pf::Window(Rect(450, 100, 200, 200));
        Reporter* view = new Reporter(Rect(40, 40, 120, 80));
        WindowDeleter deleter;
        Scene()
        {
            window->contentView()->addSubview(view);
            deleter.window = window;
            window->setDelegate(&deleter);
            window->show();
            other->show();
            (void)QTest::qWaitForWindowExposed(window);
        }
        ~Scene()
        {
            delete window.data();
            delete other.data();
        }
        void click()
        {
            QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, centreOf(*window, view));
        }
    };
    const struct
    {
        const char* name;
        std::function<QPointer<QObject>(Scene&)> arrange;
        std::function<void(Scene&)> act;
    } cases[] = {
        {"a view from its press",
         [](Scene& s) {
             s.view->onDown = [&s] { delete s.view; };
             return QPointer<QObject>(s.view);
         },
         [](Scene& s) { s.click(); }},
        {"a view from its release",
         [](Scene& s) {
             s.view->onUp = [&s] { delete s.view; };
             return QPointer<QObject>(s.view);
         },
         [](Scene& s) { s.click(); }},
        {"its window from a view's release",
         [](Scene& s) {
             s.view->onUp = [&s] { delete s.window.data(); };
             return QPointer<QObject>(s.window.data());
         },
         [](Scene& s) { s.click(); }},
        {"a view from its tracking area's report",
         [](Scene& s) {
             s.view->watchPointer();
             s.view->onEnter = [&s] { delete s.view; };
             return QPointer<QObject>(s.view);
         },
         [](Scene& s) {
             QTest::mouseMove(s.window->windowHandle(), QPoint(5, 5));
             QTest::mouseMove(s.window->windowHandle(), centreOf(*s.window, s.view));
         }},
        {"the press's target as the old first responder resigns",
         [](Scene& s) {
             auto* field = new Reporter(Rect(200, 10, 60, 20));
             field->setAcceptsFirstResponder(true);
             s.window->contentView()->addSubview(field);
             s.window->makeFirstResponder(field);
             s.view->setAcceptsFirstResponder(true);
             field->onResign = [&s] { delete s.view; };
             return QPointer<QObject>(s.view);
         },
         [](Scene& s) { s.click(); }},
        {"the window from its delegate as the press makes it key",
         [](Scene& s) {
             s.other->makeKeyWindow();
             s.deleter.onBecomingKey = true;
             return QPointer<QObject>(s.window.data());
         },
         [](Scene& s) { s.click(); }},
        {"the window from a monitor of the press",
         [](Scene& s) {
             const quint64 id = pf::EventRouter::instance()->addMonitor(
                 pf::eventMask(pf::EventType::LeftMouseDown), [&s](const pf::Event&) {
                     delete s.window.data();
                     return true;
                 });
             s.view->onDown = [id] { pf::EventRouter::instance()->removeMonitor(id); };
             QTimer::singleShot(0, [id] { pf::EventRouter::instance()->removeMonitor(id); });
             return QPointer<QObject>(s.window.data());
         },
         [](Scene& s) { s.click(); }},
        {"the window from its delegate as it closes",
         [](Scene& s) {
             s.deleter.onClosing = true;
             return QPointer<QObject>(s.window.data());
         },
         [](Scene& s) { s.window->performClose(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Scene scene;
        const QPointer<QObject> doomed = c.arrange(scene);
        ASSERT_TRUE(doomed);
        c.act(scene);
        QApplication::processEvents();
        EXPECT_FALSE(doomed);
        EXPECT_EQ(pf::EventRouter::mouseTarget(), nullptr);
        QTest::qWait(1);

        // The router works on: the next window's view hears its press.
        pf::Window next(Rect(100, 100, 300, 200));
        auto* pad = new Reporter(Rect(40, 40, 120, 80));
        int presses = 0;
        pad->onDown = [&presses] { ++presses; };
        next.contentView()->addSubview(pad);
        next.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&next));
        QTest::mouseClick(next.windowHandle(), Qt::LeftButton, {}, centreOf(next, pad));
        EXPECT_EQ(presses, 1);
        QTest::qWait(1);
    }
}
