#include "Platform/UI/AnimationValue.h"

#include "Platform/Foundation/Point.h"
#include "Platform/Foundation/Rect.h"
#include "Platform/Foundation/Size.h"
#include "Platform/UI/Transform3D.h"

#include <QColor>

namespace pf {

namespace {

template <typename T> bool both(const QVariant& a, const QVariant& b)
{
    return a.metaType() == QMetaType::fromType<T>() && b.metaType() == QMetaType::fromType<T>();
}

double lerp(double a, double b, double t)
{
    return a + (b - a) * t;
}

// `sign` +1 adds, -1 subtracts; `t` scales the second operand for interpolation (a + (b - a) t is
// combine(a, b - a, t)). Returns an invalid variant when the types do not combine.
QVariant combine(const QVariant& a, const QVariant& b, double sign)
{
    if (AnimationValue::isNumber(a) && AnimationValue::isNumber(b))
        return a.toDouble() + sign * b.toDouble();
    if (both<Point>(a, b)) {
        const Point p = a.value<Point>(), q = b.value<Point>();
        return QVariant::fromValue(Point(p.x + sign * q.x, p.y + sign * q.y));
    }
    if (both<Size>(a, b)) {
        const Size p = a.value<Size>(), q = b.value<Size>();
        return QVariant::fromValue(Size(p.width + sign * q.width, p.height + sign * q.height));
    }
    if (both<Rect>(a, b)) {
        const Rect p = a.value<Rect>(), q = b.value<Rect>();
        return QVariant::fromValue(Rect(p.origin.x + sign * q.origin.x, p.origin.y + sign * q.origin.y,
                                        p.size.width + sign * q.size.width,
                                        p.size.height + sign * q.size.height));
    }
    if (both<Transform3D>(a, b)) {
        const Transform3D p = a.value<Transform3D>(), q = b.value<Transform3D>();
        // Transforms add by concatenation: "by" a rotation means rotating further.
        return QVariant::fromValue(sign > 0 ? q.concatenated(p) : q.inverted().concatenated(p));
    }
    return {};
}

} // namespace

bool AnimationValue::isNumber(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

QVariant AnimationValue::interpolate(const QVariant& from, const QVariant& to, double t)
{
    if (AnimationValue::isNumber(from) && AnimationValue::isNumber(to))
        return lerp(from.toDouble(), to.toDouble(), t);
    if (both<Point>(from, to)) {
        const Point a = from.value<Point>(), b = to.value<Point>();
        return QVariant::fromValue(Point(lerp(a.x, b.x, t), lerp(a.y, b.y, t)));
    }
    if (both<Size>(from, to)) {
        const Size a = from.value<Size>(), b = to.value<Size>();
        return QVariant::fromValue(Size(lerp(a.width, b.width, t), lerp(a.height, b.height, t)));
    }
    if (both<Rect>(from, to)) {
        const Rect a = from.value<Rect>(), b = to.value<Rect>();
        return QVariant::fromValue(Rect(lerp(a.origin.x, b.origin.x, t), lerp(a.origin.y, b.origin.y, t),
                                        lerp(a.size.width, b.size.width, t),
                                        lerp(a.size.height, b.size.height, t)));
    }
    if (both<Transform3D>(from, to))
        return QVariant::fromValue(
            Transform3D::interpolated(from.value<Transform3D>(), to.value<Transform3D>(), t));
    const bool fromColor = from.typeId() == QMetaType::QColor, toColor = to.typeId() == QMetaType::QColor;
    if ((fromColor || !from.isValid()) && (toColor || !to.isValid()) && (fromColor || toColor)) {
        QColor a = fromColor ? from.value<QColor>() : QColor();
        QColor b = toColor ? to.value<QColor>() : QColor();
        if (!a.isValid() && !b.isValid())
            return t < 0.5 ? from : to;
        if (!a.isValid()) {
            a = b;
            a.setAlphaF(0);
        }
        if (!b.isValid()) {
            b = a;
            b.setAlphaF(0);
        }
        const QColor ra = a.toRgb(), rb = b.toRgb();
        return QColor::fromRgbF(static_cast<float>(lerp(ra.redF(), rb.redF(), t)),
                                static_cast<float>(lerp(ra.greenF(), rb.greenF(), t)),
                                static_cast<float>(lerp(ra.blueF(), rb.blueF(), t)),
                                static_cast<float>(lerp(ra.alphaF(), rb.alphaF(), t)));
    }
    return t < 0.5 ? from : to;
}

QVariant AnimationValue::add(const QVariant& base, const QVariant& delta)
{
    const QVariant result = combine(base, delta, 1);
    return result.isValid() ? result : base;
}

QVariant AnimationValue::subtract(const QVariant& base, const QVariant& delta)
{
    const QVariant result = combine(base, delta, -1);
    return result.isValid() ? result : base;
}

} // namespace pf
