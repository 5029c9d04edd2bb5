#pragma once

#include "Classes/Framework/OVFilter.h"
#include "Platform/Foundation/Size.h"

#include <QImage>
#include <optional>

class OVAdjustableBlendFilter;

// Stamps a watermark picture onto a background: scaled between a minimum and a maximum size by how large
// the background is, placed by a gravity with margins interpolated the same way, and blended over the
// background with a blend mode and an opacity. The scaled watermark is drawn once into a cached image
// and kept until the watermark, the background or the placement changes.
//
// Keys: "inputBackgroundImage" (image), "opacity" and "blendName" (of the blend), "watermark" (QImage),
// "minSize" and "maxSize" (background sizes as sqrt(width x height) at and below which the minimum, at
// and above which the maximum placement holds), "minRect" and "maxRect" (margins x, y and size width,
// height; a width or height of 0 or less follows from the other and the watermark's aspect ratio),
// "gravity" (bits: 2 top, 4 bottom, 8 left, 16 right; none on an axis centres on it; bottom and left
// win) and "cachedImage" (set to none to drop the cache).
class OVWatermarkFilter : public OVFilter
{
public:
    enum Gravity : unsigned
    {
        Top = 2,
        Bottom = 4,
        Left = 8,
        Right = 16
    };

    explicit OVWatermarkFilter(const QString& className = QStringLiteral("OVWatermarkFilter"));
    static void registerClass();

    void setValue(const QVariant& value, const QString& key) override;
    QVariant value(const QString& key) const override;

    // Sets both sizes from the background sizes given and both rectangles.
    void setAdjustment(const pf::Rect& maxRect, const pf::Size& maxSize, const pf::Rect& minRect,
                       const pf::Size& minSize);

    struct Placement
    {
        double minSize = 0, maxSize = 0;
        pf::Rect minRect, maxRect;
        unsigned gravity = 0;
    };
    // The watermark's rectangle on a background of that size (from its origin). Nothing when the
    // watermark or the result has no area.
    static std::optional<pf::Rect> watermarkRect(const pf::Size& background, const pf::Size& watermark,
                                                 const Placement& placement);

    // The watermark drawn at its size and placed on the background; made on demand, none without a
    // watermark and a background.
    pf::Image cachedImage() const;

    // The background with the watermark; the background itself without a watermark; no image without a
    // background.
    pf::Image outputImage() const override;

private:
    pf::Rect rectValue(const QString& key) const;
    Placement placement() const;

    std::shared_ptr<OVAdjustableBlendFilter> m_blend;
    mutable std::optional<pf::Image> m_cache;
};
