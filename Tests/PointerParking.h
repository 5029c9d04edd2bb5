#pragma once

// Every test starts with the pointer away from every window, wherever the test before left it, so that
// no test finds itself hovered by another's pointer whatever the order. A display has a real pointer to
// move; the offscreen platform only remembers where the last mouse event was, so one is sent too.
// Appended to a test program's listeners in its main().

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>
#include <QWindow>
#include <gtest/gtest.h>

class PointerParking : public ::testing::EmptyTestEventListener
{
public:
    void OnTestStart(const ::testing::TestInfo&) override
    {
        const QPoint away(5000, 5000);
        QCursor::setPos(away);
        QWidget parking;
        parking.setGeometry(away.x(), away.y(), 1, 1);
        parking.show();
        QTest::mouseMove(parking.windowHandle(), QPoint(0, 0));
        parking.hide();
        QApplication::processEvents();
    }
};

// Moves a display's real pointer to a point of the screen and waits until the display's own events for
// the move have been delivered. Without the wait they arrive later, among the events a test synthesises
// next, and hover or a tracking area sees the pointer jump back to where it was. The offscreen platform
// has no real pointer and sends nothing: it only remembers the place.
inline void placeRealPointer(QPoint global)
{
    if (QCursor::pos() == global)
        return;
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        QCursor::setPos(global);
        return;
    }
    struct MoveWatcher : QObject
    {
        QPoint target;
        bool seen = false;
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::MouseMove &&
                static_cast<QMouseEvent*>(event)->globalPosition().toPoint() == target)
                seen = true;
            return false;
        }
    } watcher;
    watcher.target = global;
    qApp->installEventFilter(&watcher);
    QCursor::setPos(global);
    // A display moves its pointer a little later; a point off the screen stops at its edge.
    (void)QTest::qWaitFor([global] { return QCursor::pos() == global; }, 1000);
    // Only a window of this program under the pointer gets an event of the move.
    if (QCursor::pos() == global && QGuiApplication::topLevelAt(global))
        (void)QTest::qWaitFor([&watcher] { return watcher.seen; }, 1000);
    QApplication::processEvents();
    qApp->removeEventFilter(&watcher);
}

// Moves the pointer to a point of a window, as a person's hand does: a display's real pointer, which the
// application reads back (hover and tracking follow it, not the last event), and the event of the move.
inline void movePointer(QWindow* window, QPoint local)
{
    placeRealPointer(window->mapToGlobal(local));
    QTest::mouseMove(window, local);
    QApplication::processEvents();
}
