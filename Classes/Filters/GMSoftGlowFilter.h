#pragma once

#include "Classes/Filters/GMBlurBlendFilter.h"

// A soft, luminous glow: the image blurred by a Gaussian of "inputRadius" pixels, laid over itself in
// the soft light mode by "inputSoftLight" and screened by "inputScreen". The output has the image's
// extent.
class GMSoftGlowFilter : public GMBlurBlendFilter
{
public:
    explicit GMSoftGlowFilter(const QString& className = QStringLiteral("GMSoftGlowFilter"));

protected:
    std::optional<pf::Image> blurred(const pf::Image& image, double radius) const override;
};
