#include "Platform/UI/LayerState.h"

#include "Platform/UI/AnimationValue.h"

#include <QHash>
#include <algorithm>
#include <cmath>
#include <functional>

namespace pf {

namespace {

bool read(const QVariant& v, double& out)
{
    if (!AnimationValue::isNumber(v))
        return false;
    out = v.toDouble();
    return true;
}

bool read(const QVariant& v, bool& out)
{
    if (v.typeId() != QMetaType::Bool && !AnimationValue::isNumber(v))
        return false;
    out = v.toBool();
    return true;
}

// A geometry value given as our own type, or as either of Qt's two for it (floating, integral).
template <typename T, typename QtValue>
bool readGeometry(const QVariant& v, T& out, QMetaType::Type qtFloating, QMetaType::Type qtIntegral,
                  T (*fromQt)(const QtValue&))
{
    if (v.metaType() == QMetaType::fromType<T>())
        out = v.value<T>();
    else if (v.typeId() == qtFloating || v.typeId() == qtIntegral)
        out = fromQt(v.value<QtValue>());
    else
        return false;
    return true;
}

bool read(const QVariant& v, Point& out)
{
    return readGeometry(v, out, QMetaType::QPointF, QMetaType::QPoint, &Point::fromQPointF);
}

bool read(const QVariant& v, Size& out)
{
    return readGeometry(v, out, QMetaType::QSizeF, QMetaType::QSize, &Size::fromQSizeF);
}

bool read(const QVariant& v, Rect& out)
{
    return readGeometry(v, out, QMetaType::QRectF, QMetaType::QRect, &Rect::fromQRectF);
}

// A value held as exactly its own type.
template <typename T> bool readExactly(const QVariant& v, T& out)
{
    if (v.metaType() != QMetaType::fromType<T>())
        return false;
    out = v.value<T>();
    return true;
}

// The same, where an invalid variant stands for none (an invalid colour, a null image).
template <typename T> bool readOrNone(const QVariant& v, T& out)
{
    if (!v.isValid()) {
        out = T();
        return true;
    }
    return readExactly(v, out);
}

bool read(const QVariant& v, Transform3D& out)
{
    return readExactly(v, out);
}

bool read(const QVariant& v, QColor& out)
{
    return readOrNone(v, out);
}

bool read(const QVariant& v, QImage& out)
{
    return readOrNone(v, out);
}

bool read(const QVariant& v, ContentsGravity& out)
{
    if (v.metaType() == QMetaType::fromType<ContentsGravity>())
        out = v.value<ContentsGravity>();
    else if (AnimationValue::isNumber(v) && v.toInt() >= 0 &&
             v.toInt() <= static_cast<int>(ContentsGravity::BottomRight))
        out = static_cast<ContentsGravity>(v.toInt());
    else
        return false;
    return true;
}

QVariant wrap(const QColor& color)
{
    return color.isValid() ? QVariant(color) : QVariant();
}

QVariant wrap(const QImage& image)
{
    return image.isNull() ? QVariant() : QVariant(image);
}

template <typename T> QVariant wrap(const T& value)
{
    return QVariant::fromValue(value);
}

struct Field
{
    std::function<QVariant(const LayerState&)> get;
    std::function<bool(LayerState&, const QVariant&)> set;
    bool animatable;
};

template <typename T> Field field(T LayerState::*member, bool animatable)
{
    return {[member](const LayerState& s) { return wrap(s.*member); },
            [member](LayerState& s, const QVariant& v) {
                T value;
                if (!read(v, value))
                    return false;
                s.*member = value;
                return true;
            },
            animatable};
}

const QHash<QString, Field>& fields()
{
    static const QHash<QString, Field> table = {
        {QStringLiteral("bounds"), field(&LayerState::bounds, true)},
        {QStringLiteral("position"), field(&LayerState::position, true)},
        {QStringLiteral("zPosition"), field(&LayerState::zPosition, true)},
        {QStringLiteral("anchorPoint"), field(&LayerState::anchorPoint, true)},
        {QStringLiteral("anchorPointZ"), field(&LayerState::anchorPointZ, true)},
        {QStringLiteral("transform"), field(&LayerState::transform, true)},
        {QStringLiteral("sublayerTransform"), field(&LayerState::sublayerTransform, true)},
        {QStringLiteral("opacity"), field(&LayerState::opacity, true)},
        {QStringLiteral("hidden"), field(&LayerState::hidden, false)},
        {QStringLiteral("backgroundColor"), field(&LayerState::backgroundColor, true)},
        {QStringLiteral("borderWidth"), field(&LayerState::borderWidth, true)},
        {QStringLiteral("borderColor"), field(&LayerState::borderColor, true)},
        {QStringLiteral("cornerRadius"), field(&LayerState::cornerRadius, true)},
        {QStringLiteral("masksToBounds"), field(&LayerState::masksToBounds, false)},
        {QStringLiteral("shadowColor"), field(&LayerState::shadowColor, true)},
        {QStringLiteral("shadowOpacity"), field(&LayerState::shadowOpacity, true)},
        {QStringLiteral("shadowRadius"), field(&LayerState::shadowRadius, true)},
        {QStringLiteral("shadowOffset"), field(&LayerState::shadowOffset, true)},
        {QStringLiteral("contents"), field(&LayerState::contents, true)},
        {QStringLiteral("contentsRect"), field(&LayerState::contentsRect, true)},
        {QStringLiteral("contentsGravity"), field(&LayerState::contentsGravity, false)},
        {QStringLiteral("contentsScale"), field(&LayerState::contentsScale, false)},
    };
    return table;
}

} // namespace

Point LayerState::anchorInBounds() const
{
    return {bounds.origin.x + anchorPoint.x * bounds.size.width,
            bounds.origin.y + anchorPoint.y * bounds.size.height};
}

Rect LayerState::untransformedFrame() const
{
    return {position.x - anchorPoint.x * bounds.size.width, position.y - anchorPoint.y * bounds.size.height,
            bounds.size.width, bounds.size.height};
}

Rect LayerState::contentsDestination(QSize pixels) const
{
    const Rect b = bounds.standardized();
    const double scale = contentsScale > 0 ? contentsScale : 1;
    const double w = pixels.width() * contentsRect.width() / scale;
    const double h = pixels.height() * contentsRect.height() / scale;
    auto centred = [&](double width, double height) {
        return Rect(b.midX() - width / 2, b.midY() - height / 2, width, height);
    };
    switch (contentsGravity) {
    case ContentsGravity::Resize:
        return b;
    case ContentsGravity::ResizeAspect:
    case ContentsGravity::ResizeAspectFill: {
        if (w <= 0 || h <= 0)
            return b;
        const double sx = b.width() / w, sy = b.height() / h;
        const double s =
            contentsGravity == ContentsGravity::ResizeAspect ? std::min(sx, sy) : std::max(sx, sy);
        return centred(w * s, h * s);
    }
    case ContentsGravity::Center:
        return centred(w, h);
    case ContentsGravity::Top:
        return {b.midX() - w / 2, b.maxY() - h, w, h};
    case ContentsGravity::Bottom:
        return {b.midX() - w / 2, b.minY(), w, h};
    case ContentsGravity::Left:
        return {b.minX(), b.midY() - h / 2, w, h};
    case ContentsGravity::Right:
        return {b.maxX() - w, b.midY() - h / 2, w, h};
    case ContentsGravity::TopLeft:
        return {b.minX(), b.maxY() - h, w, h};
    case ContentsGravity::TopRight:
        return {b.maxX() - w, b.maxY() - h, w, h};
    case ContentsGravity::BottomLeft:
        return {b.minX(), b.minY(), w, h};
    case ContentsGravity::BottomRight:
        return {b.maxX() - w, b.minY(), w, h};
    }
    return b;
}

double LayerState::contentsAlphaAt(const QImage& image, Point point) const
{
    if (image.isNull())
        return 0;
    const Rect d = contentsDestination(image.size());
    if (d.width() <= 0 || d.height() <= 0 || !d.contains(point))
        return 0;
    // Layer point -> unit coordinates of the whole image (y-up) -> pixel (y-down).
    const double u = contentsRect.origin.x + (point.x - d.minX()) / d.width() * contentsRect.size.width;
    const double v = contentsRect.origin.y + (point.y - d.minY()) / d.height() * contentsRect.size.height;
    const int x = static_cast<int>(std::floor(u * image.width()));
    const int y = static_cast<int>(std::floor((1 - v) * image.height()));
    if (x < 0 || y < 0 || x >= image.width() || y >= image.height())
        return 0;
    return image.pixelColor(x, y).alphaF();
}

QVariant LayerState::value(const QString& key) const
{
    const auto it = fields().find(key);
    return it == fields().end() ? QVariant() : it->get(*this);
}

bool LayerState::setValue(const QString& key, const QVariant& value)
{
    const auto it = fields().find(key);
    return it != fields().end() && it->set(*this, value);
}

bool LayerState::isKey(const QString& key)
{
    return fields().contains(key);
}

bool LayerState::isAnimatableKey(const QString& key)
{
    const auto it = fields().find(key);
    return it != fields().end() && it->animatable;
}

} // namespace pf
