#pragma once

#include "Classes/Filters/OVGradientStripFilter.h"
#include "Platform/Image/Gradient.h"

// Maps an image through a gradient: each pixel takes the gradient's colour at its luminance, tinted
// towards the hue of "inputColor" by that colour's saturation and made lighter or darker by its
// lightness. With the default mid grey the result is exactly the gradient's colour.
class OVGradientMapFilter : public OVGradientStripFilter
{
public:
    explicit OVGradientMapFilter(const QString& className = QStringLiteral("OVGradientMapFilter"));

    // Black, a deep blue (0, 103/255, 177/255) and white, evenly spaced.
    static pf::Gradient defaultGradient();

    // The parameters the kernel gets for a colour: hue and saturation (HSV), t and 1 - t, where t
    // brightens (positive) or darkens the mapped colour and is 0 for a lightness of one half.
    static pf::Vector parameters(const pf::Color& color);

    // No image without an input image.
    pf::Image outputImage() const override;
};
