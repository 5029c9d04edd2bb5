#pragma once

#include <QVariant>

namespace pf {

// Arithmetic on the values layers animate: numbers, pf::Point, pf::Size, pf::Rect, pf::Transform3D and
// QColor (an invalid colour, "none", counts as the other colour made transparent). Other values switch
// from one to the other halfway.
struct AnimationValue
{
    // A number of any of QVariant's numeric types.
    static bool isNumber(const QVariant& value);
    static QVariant interpolate(const QVariant& from, const QVariant& to, double fraction);
    // `base` + `delta` and `base` - `delta` (for "by" values); values that cannot be added give `base`.
    static QVariant add(const QVariant& base, const QVariant& delta);
    static QVariant subtract(const QVariant& base, const QVariant& delta);
};

} // namespace pf
