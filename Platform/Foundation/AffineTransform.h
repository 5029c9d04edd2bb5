#pragma once

#include "Platform/Foundation/Point.h"
#include "Platform/Foundation/Rect.h"
#include "Platform/Foundation/Size.h"

#include <QMetaType>
#include <iosfwd>

class QDebug;
class QTransform;

namespace pf {

// Maps (x, y) to (a*x + c*y + tx, b*x + d*y + ty). In y-up coordinates a positive rotation turns
// counter-clockwise.
struct AffineTransform
{
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    static AffineTransform identity() { return {}; }
    static AffineTransform translation(double tx, double ty);
    static AffineTransform scale(double sx, double sy);
    // Quarter turns are exact (no 6e-17 residue), so rotated rectangles keep integral edges.
    static AffineTransform rotation(double radians);

    // Each of these applies the new step first, then this transform.
    AffineTransform translated(double tx, double ty) const;
    AffineTransform scaled(double sx, double sy) const;
    AffineTransform rotated(double radians) const;

    // Applies this transform first, then `then`.
    AffineTransform concatenated(const AffineTransform& then) const;

    double determinant() const { return a * d - b * c; }
    bool isInvertible() const;
    // A singular transform has no inverse and is returned unchanged.
    AffineTransform inverted() const;
    bool isIdentity() const;
    bool operator==(const AffineTransform&) const = default;

    Point map(Point point) const;
    // Without the translation.
    Size map(Size size) const;
    // The bounding box of the mapped corners; null and infinite rectangles stay what they are.
    Rect map(const Rect& rect) const;

    // Same numbers (QTransform uses the same row-vector layout).
    QTransform toQTransform() const;
    // Takes the affine part; a perspective transform has no equivalent and is reported.
    static AffineTransform fromQTransform(const QTransform& transform);
};

// The sine and cosine of `radians` with the residues of whole quarter turns snapped away: sin(M_PI) is
// 1.2e-16, not 0. Every rotation (2D and 3D) takes its sine and cosine from here, so quarter and half
// turns are exact everywhere. The change is below the rounding error of the angle itself.
struct SineCosine
{
    double sine, cosine;
};
SineCosine exactSineCosine(double radians);

QDebug operator<<(QDebug debug, const AffineTransform& transform);
void PrintTo(const AffineTransform& transform, std::ostream* stream);

} // namespace pf

Q_DECLARE_METATYPE(pf::AffineTransform)
