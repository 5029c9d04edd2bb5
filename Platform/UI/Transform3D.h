#pragma once

#include "Platform/Foundation/AffineTransform.h"

#include <QMetaType>
#include <array>
#include <iosfwd>

class QDebug;
class QTransform;

namespace pf {

// A 4x4 matrix acting on row vectors: (x, y, z, 1) * M. The translation sits in m41..m43 and the
// perspective term in m34: with m34 = -1/d a point at depth z is divided by w = 1 - z/d, so points in
// front of the plane (z > 0) grow, as seen by an eye at distance d. A positive rotation about an axis
// turns counter-clockwise when the axis points at the viewer (about z in y-up coordinates: x towards y).
struct Transform3D
{
    double m11 = 1, m12 = 0, m13 = 0, m14 = 0;
    double m21 = 0, m22 = 1, m23 = 0, m24 = 0;
    double m31 = 0, m32 = 0, m33 = 1, m34 = 0;
    double m41 = 0, m42 = 0, m43 = 0, m44 = 1;

    static Transform3D identity() { return {}; }
    static Transform3D translation(double tx, double ty, double tz);
    static Transform3D scale(double sx, double sy, double sz);
    // About the axis (x, y, z); a zero axis gives the identity. Quarter turns are exact.
    static Transform3D rotation(double radians, double x, double y, double z);
    static Transform3D fromAffine(const AffineTransform& transform);

    // Each of these applies the new step first, then this transform.
    Transform3D translated(double tx, double ty, double tz) const;
    Transform3D scaled(double sx, double sy, double sz) const;
    Transform3D rotated(double radians, double x, double y, double z) const;

    // Applies this transform first, then `then`.
    Transform3D concatenated(const Transform3D& then) const;

    double determinant() const;
    bool isInvertible() const;
    // A singular matrix has no inverse and is returned unchanged.
    Transform3D inverted() const;
    bool isIdentity() const;
    // Maps the plane to itself without perspective or depth: the six numbers of an affine transform.
    bool isAffine() const;
    AffineTransform affineTransform() const;

    // The map of the plane z = 0 onto the plane z = 0 when depth is dropped after projection: the 3x3
    // homography (rows x, y and w of the matrix, columns x, y and w). How a flat layer is flattened into
    // the plane of its parent.
    QTransform flattened() const;

    // Interpolates by decomposing both into perspective, translation, rotation (a quaternion, taking the
    // shorter way round), skew and scale, so a rotation animates as a rotation rather than shrinking
    // through the middle. A matrix that cannot be decomposed (a zero scale, for one) is interpolated
    // element by element, which is exact for the scales and translations such matrices usually are.
    static Transform3D interpolated(const Transform3D& from, const Transform3D& to, double fraction);

    std::array<double, 16> values() const;
    static Transform3D fromValues(const std::array<double, 16>& values);

    bool operator==(const Transform3D&) const = default;
};

QDebug operator<<(QDebug debug, const Transform3D& transform);
void PrintTo(const Transform3D& transform, std::ostream* stream);

} // namespace pf

Q_DECLARE_METATYPE(pf::Transform3D)
