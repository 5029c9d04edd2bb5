#pragma once

#include "Platform/Foundation/Point.h"

#include <QCursor>
#include <QImage>
#include <QPainterPath>
#include <QPolygonF>

// Path pieces the toolkit's drawn views share, in y-up coordinates.
namespace OVPathHelpers {

// Appends an arc about `center` from `startDegrees` to `endDegrees` (counter-clockwise from the x axis,
// y-up), turning clockwise or counter-clockwise; a line joins the path's current point to its start.
void appendArc(QPainterPath& path, pf::Point center, double radius, double startDegrees, double endDegrees,
               bool clockwise);

// A 16 x 16 point cursor: the outline (y-up, in a 16 x 16 box) turned about (8, 8) by `degrees`,
// stroked white 3 wide and filled black, at `scale` pixels per point, hot spot (8, 8).
QImage cursorImage(const QPolygonF& outline, double degrees, double scale);
QCursor cursorFromOutline(const QPolygonF& outline, double degrees, double scale);

} // namespace OVPathHelpers
