#pragma once

// Every test starts with the pointer away from every window, wherever the test before left it, so that
// no test finds itself hovered by another's pointer whatever the order. A display has a real pointer to
// move; the offscreen platform only remembers where the last mouse event was, so one is sent too.
// Appended to a test program's listeners in its main().

#include <QApplication>
#include <QCursor>
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

// Moves the pointer to a point of a window, as a person's hand does: a display's real pointer, which the
// application reads back (hover and tracking follow it, not the last event), and the event of the move.
inline void movePointer(QWindow* window, QPoint local)
{
    const QPoint global = window->mapToGlobal(local);
    QCursor::setPos(global);
    // A display moves its pointer a little later.
    (void)QTest::qWaitFor([global] { return QCursor::pos() == global; }, 1000);
    QTest::mouseMove(window, local);
    QApplication::processEvents();
}
