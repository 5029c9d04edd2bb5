#pragma once

#include "Platform/Foundation/Point.h"
#include "Platform/Foundation/Rect.h"

#include <QPolygonF>
#include <QRectF>
#include <QtGui/QTransform>

namespace pf {

// A projective map of one plane onto another (a 3x3 matrix on row vectors, as QTransform holds it):
// how a flat layer lands in the plane of its parent once flattened. Points whose w is not positive lie
// behind the eye and have no image; everything here clips them away instead of drawing them inverted.
class Homography
{
public:
    Homography() = default;
    explicit Homography(const QTransform& transform) : m_transform(transform) {}

    const QTransform& transform() const { return m_transform; }
    bool isAffine() const { return m_transform.isAffine(); }

    // Applies this map first, then `then`.
    Homography then(const Homography& then) const { return Homography(m_transform * then.m_transform); }
    // False (and the identity) when the map is singular.
    bool invert(Homography* inverse) const;

    double w(Point point) const;
    // False when the point lies behind the eye (or on the horizon).
    bool map(Point point, Point* mapped) const;

    // The part of a polygon of this plane whose image lies in front of the eye and, when `limits` is
    // not empty, inside `limits` (given in the target plane). The result is finite to map and to draw.
    QPolygonF clipped(const QPolygonF& polygon, const QRectF& limits = QRectF()) const;
    // Maps a polygon returned by clipped().
    QPolygonF mapClipped(const QPolygonF& polygon) const;

    // The bounding box of the visible image of a rectangle (clipped to `limits` when given); null when
    // none of it is in front of the eye.
    Rect mapRect(const Rect& rect, const QRectF& limits = QRectF()) const;

    // How many target units one unit of this plane covers near `point`, as the square root of the area
    // ratio (the determinant of the Jacobian): the scale at which to sample an image drawn through it.
    double scaleAt(Point point) const;

private:
    QTransform m_transform;
};

} // namespace pf
