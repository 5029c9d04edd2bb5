#pragma once

#include "Classes/Framework/OVFilter.h"
#include "Platform/Image/Gradient.h"

// Maps an image through a gradient: each pixel takes the gradient's colour at its luminance, tinted
// towards the hue of "inputColor" by that colour's saturation and made lighter or darker by its
// lightness. With the default mid grey the result is exactly the gradient's colour.
class OVGradientMapFilter : public OVFilter
{
public:
    explicit OVGradientMapFilter(const QString& className = QStringLiteral("OVGradientMapFilter"));
    static void registerClass();

    // Black, a deep blue (0, 103/255, 177/255) and white, evenly spaced.
    static pf::Gradient defaultGradient();

    // "inputGradient" takes a gradient or gradient text; each new gradient is drawn into a strip of
    // 1024 x 1 pixels. None (or text that makes no gradient) keeps the last strip.
    void setValue(const QVariant& value, const QString& key) override;

    // The strip the map reads; no image before the first gradient.
    const pf::Image& strip() const { return m_strip; }

    // The parameters the kernel gets for a colour: hue and saturation (HSV), t and 1 - t, where t
    // brightens (positive) or darkens the mapped colour and is 0 for a lightness of one half.
    static pf::Vector parameters(const pf::Color& color);

    // No image without an input image.
    pf::Image outputImage() const override;

protected:
    void copyStateTo(pf::Filter& other) const override;

private:
    pf::Image m_strip;
};
