#pragma once

#include "Platform/Foundation/Point.h"
#include "Platform/Foundation/Rect.h"
#include "Platform/Foundation/Size.h"
#include "Platform/UI/Transform3D.h"

#include <QColor>
#include <QImage>
#include <QString>
#include <QVariant>

namespace pf {

// How a layer places its contents image in its bounds. The vertical names follow y-up geometry: "top"
// is the maximum-y edge.
enum class ContentsGravity
{
    Resize,           // stretched to the bounds
    ResizeAspect,     // fitted inside, aspect kept
    ResizeAspectFill, // covering the bounds, aspect kept
    Center,
    Top,
    Bottom,
    Left,
    Right,
    TopLeft,
    TopRight,
    BottomLeft,
    BottomRight,
};

// The values that decide how a layer looks: a layer's model values, or its presentation values at one
// moment of its animations. Plain data; geometry is y-up.
struct LayerState
{
    Rect bounds;
    Point position;
    double zPosition = 0;
    Point anchorPoint{0.5, 0.5};
    double anchorPointZ = 0;
    Transform3D transform;
    Transform3D sublayerTransform;
    double opacity = 1;
    bool hidden = false;
    QColor backgroundColor; // invalid: none
    double borderWidth = 0;
    QColor borderColor{0, 0, 0};
    double cornerRadius = 0;
    bool masksToBounds = false;
    QColor shadowColor{0, 0, 0};
    double shadowOpacity = 0;
    double shadowRadius = 3;
    Size shadowOffset{0, -3};
    QImage contents;
    Rect contentsRect{0, 0, 1, 1}; // unit coordinates of the image, y-up
    ContentsGravity contentsGravity = ContentsGravity::Resize;
    double contentsScale = 1;

    // While contents cross-fade: the image fading out and how far the fade has come (0 shows only
    // `fadeContents`, 1 only `contents`).
    QImage fadeContents;
    double fadeFraction = 1;

    // The anchor point in the layer's own coordinates.
    Point anchorInBounds() const;
    // The rectangle of the bounds in the superlayer as if the transform were the identity.
    Rect untransformedFrame() const;
    // Where the contentsRect part of an image of `pixels` lies in the layer, placed by the gravity.
    Rect contentsDestination(QSize pixels) const;
    // The alpha (0...1) of `image` placed as the contents, at a point of the layer.
    double contentsAlphaAt(const QImage& image, Point point) const;

    // Values by key ("bounds", "position", "opacity", ...; every field above but the fade). A value of
    // the wrong type is refused (false) and changes nothing.
    QVariant value(const QString& key) const;
    bool setValue(const QString& key, const QVariant& value);
    static bool isKey(const QString& key);
    // Keys whose changes animate implicitly.
    static bool isAnimatableKey(const QString& key);
};

} // namespace pf

Q_DECLARE_METATYPE(pf::ContentsGravity)
