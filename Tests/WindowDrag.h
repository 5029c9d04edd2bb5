#pragma once

// Drags a window by its background as a person does: press, move, release with the left button.

#include "PointerParking.h"

#include <QCursor>
#include <QTest>
#include <QWidget>
#include <QWindow>

// Presses at `from` (the window's own coordinates) and moves to `to`. On a display the drag follows
// the real pointer, which synthesised events do not move, so it is moved too. The release is at
// `from`: the pointer rests where it is on the screen, which in the moved window is where it pressed.
inline void dragWindowBackground(QWidget& window, QPoint from, QPoint to)
{
    placeRealPointer(window.mapToGlobal(from));
    QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, from);
    // The display's own event of this move carries no pressed button (the press was synthesised) and
    // would end the drag: it must come after the synthesised move, so the display is not waited for.
    const QPoint global = window.mapToGlobal(to);
    QCursor::setPos(global);
    (void)QTest::qWaitFor([global] { return QCursor::pos() == global; }, 1000);
    QTest::mouseMove(window.windowHandle(), to);
    QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, from);
}
