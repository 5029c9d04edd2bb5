#pragma once

#include "Platform/Foundation/Size.h"
#include "Platform/Image/Image.h"

#include <QList>
#include <QVariantMap>

// Composes flat sprites over a background: each sprite's image is placed with its centre at its
// location (measured from the middle of the output in half output widths, for y as well), turned by
// its z rotation about its anchor point, and laid over what is there, in the order the sprites were
// added. The result is a recipe: no pixel work happens until it is rendered.
//
// A sprite is a dictionary: "image" (a pf::Image), "location.x", "location.y", "rotation.z" (degrees),
// "anchorPoint.x", "anchorPoint.y" (-1 left or bottom edge, 0 centre, 1 right or top edge); missing
// numbers are 0. A sprite without an image, or whose image has no finite extent, is left out.
class OV2DRenderer
{
public:
    void addSprite(const QVariantMap& sprite);
    const QList<QVariantMap>& spriteDescriptions() const { return m_spriteDescriptions; }

    // The sprites over the background (none: a transparent ground), cropped to (0, 0, w, h).
    pf::Image imageOfSize(const pf::Size& size, const pf::Image& background) const;

private:
    QList<QVariantMap> m_spriteDescriptions;
};
