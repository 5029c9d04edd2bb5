#pragma once

#include "Platform/Foundation/Rect.h"

#include <QColor>
#include <QGradientStops>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QPainterPath>
#include <functional>

// Drawing helpers for views' drawRect(), with the platform's semantics, in the y-up painter a view
// hands out (they also work in a flipped view's painter: images and text then come out as they would
// in a flipped view, upright). Angles are in degrees, counter-clockwise from the x axis, y-up.
namespace pf {

// Fills `path` with a linear gradient running at `angle` across the path's bounding box: the gradient
// line passes through the box's centre and spans the box's extent in that direction, so location 0
// touches one corner and location 1 the opposite one (angle 90: from the bottom edge to the top).
void fillLinearGradient(QPainter& painter, const QGradientStops& stops, const QPainterPath& path,
                        double angle);
void fillLinearGradient(QPainter& painter, const QGradientStops& stops, const Rect& rect, double angle);
// Between two points; beyond them the end colours continue only when extended.
void drawLinearGradient(QPainter& painter, const QGradientStops& stops, Point start, Point end,
                        bool extendBefore, bool extendAfter, const Rect& clip);
// Between two circles (location 0 on the first, 1 on the second); inside the first and outside the
// second the end colours continue only when extended. `clip` bounds the painted area.
void drawRadialGradient(QPainter& painter, const QGradientStops& stops, Point startCenter, double startRadius,
                        Point endCenter, double endRadius, bool extendBefore, bool extendAfter,
                        const Rect& clip);

// Draws an image upright into `destination` (y-up), from `source` in the image's own y-up coordinates
// (a null source: the whole image), with a compositing mode and an opacity fraction.
void drawImage(QPainter& painter, const QImage& image, const Rect& destination,
               const Rect& source = Rect::null(),
               QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver, double fraction = 1.0);
// The start cap (left, or top when vertical) and the end cap (right, or bottom) at their natural sizes,
// the middle stretched between; the caps shrink evenly when the frame is smaller than both.
void drawThreePartImage(QPainter& painter, const Rect& frame, const QImage& startCap, const QImage& center,
                        const QImage& endCap, bool vertical = false,
                        QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver,
                        double fraction = 1.0);

// Where a drawing within `area` (the painter's coordinates) lands on the device: the whole device pixels
// it touches, and where within the first of them its corner lies. A drawing made once into a picture of
// these pixels and then copied (renderAtDevicePixels, copyAtDevicePixels) comes out as if drawn
// directly, at the cost of a copy of rows. Not valid when the painter's transform scales, turns or shears
// beyond the device's pixel ratio (a view rendered into a scaled picture): draw directly then.
struct DevicePlacement
{
    bool valid = false;
    QRect pixels;  // relative to the painter's origin, in device pixels
    QPointF phase; // the area's corner within the first pixel
    double ratio = 1;
    bool yUp = false;
    bool operator==(const DevicePlacement&) const = default;
};
DevicePlacement devicePlacement(const QPainter& painter, const Rect& area);
// A transparent picture of the placement's pixels with `draw` run in it, in the painter's coordinates and
// with its render hints.
QImage renderAtDevicePixels(const QPainter& painter, const DevicePlacement& placement,
                            const std::function<void(QPainter&)>& draw);
// Copies such a picture to its pixels, with the painter's opacity and clip.
void copyAtDevicePixels(QPainter& painter, const QImage& picture, const DevicePlacement& placement);

// Tiles `pattern` upright over `path`, the tiles starting at `phase` and turned by `rotation` about it.
void fillWithPattern(QPainter& painter, const QPainterPath& path, const QImage& pattern,
                     Point phase = Point(), double rotation = 0);

// Strokes `path` with dashes: `pattern` alternates drawn and skipped lengths, `phase` shifts it.
void strokeDashed(QPainter& painter, const QPainterPath& path, const QColor& color, double lineWidth,
                  const QList<double>& pattern, double phase = 0);
// Fills with the even-odd rule: areas inside an even number of subpaths stay empty (rims, holes).
void fillEvenOdd(QPainter& painter, QPainterPath path, const QBrush& brush);
// Makes the area fully transparent.
void clearRect(QPainter& painter, const Rect& rect);
// Removes `alpha` of the existing coverage under `path` (destination-out).
void eraseWith(QPainter& painter, const QPainterPath& path, double alpha = 1.0);

// A shadow under drawn shapes or text: colour (with its alpha), offset (y-up: positive height moves
// the shadow up), blur radius (a Gaussian blur with a standard deviation of half the radius).
struct Shadow
{
    QColor color = QColor(0, 0, 0, 85);
    Size offset = Size(0, -3);
    double blurRadius = 3;
};
// Runs `draw` with the painter as it is, then puts the shadow of everything it drew (within `area`,
// grown by the blur) underneath. The painter's opacity applies to both.
void drawWithShadow(QPainter& painter, const Shadow& shadow, const Rect& area,
                    const std::function<void(QPainter&)>& draw);

// The interface fonts: DejaVu Sans stands for every face the design names; bold where asked.
QFont systemFont(double pointSize);
QFont boldSystemFont(double pointSize);
QFont fontNamed(const QString& name, double pointSize);
// Registers a TrueType or OpenType font file for this process; false with the reason when it cannot.
bool registerFontFile(const QString& path, QString* error = nullptr);
// The font families the interface can use, sorted.
QStringList availableFontFamilies();

} // namespace pf
