#pragma once

#include "Classes/Filters/OVGradientStripFilter.h"
#include "Platform/Image/Gradient.h"

// Multiplies an image with a gradient laid across it at "inputAngle" degrees: at 0 from left to right,
// at 90 from top to bottom, spanning the image's extent along that direction and continuing with its end
// colours beyond. The gradient's alpha weights the multiply; where it is 0 the image is left as it is.
class OVGradientMultiplyFilter : public OVGradientStripFilter
{
public:
    explicit OVGradientMultiplyFilter(const QString& className = QStringLiteral("OVGradientMultiplyFilter"));

    // Where the strip's pixel positions go for an extent and angle: centred on the extent, scaled so
    // that the strip spans the extent projected on the gradient's direction. Nothing for an extent
    // without area.
    static std::optional<pf::AffineTransform> stripTransform(const pf::Rect& extent, double angleDegrees);

    // No image without an input image; the image itself when it has no area.
    pf::Image outputImage() const override;

protected:
    // The strip also goes to the clamp that lays it across the image.
    void setStrip(const pf::Image& strip) override;

private:
    pf::FilterPtr m_clamp;
};
