#pragma once

#include "Platform/Foundation/Point.h"

#include <QCursor>
#include <QImage>

namespace pf {

class Window;

// The cursors the interface uses, and setting the one shown.
namespace Cursors {

QCursor arrow();
QCursor pointingHand();
QCursor openHand();
QCursor closedHand();
QCursor iBeam();
QCursor crosshair();
// An image cursor; `hotSpot` in the image's points from its top left (as cursor images are given).
QCursor fromImage(const QImage& image, Point hotSpot);

// Shows `cursor` over `window` now (the window under the pointer, else the key window, when none is
// given): it becomes that window's cursor, winning over child widgets while the window's cursor
// rectangles are disabled.
void set(const QCursor& cursor, Window* window = nullptr);

} // namespace Cursors

} // namespace pf
