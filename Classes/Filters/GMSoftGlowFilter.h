#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// A soft, luminous glow: the image blurred by a Gaussian of "inputRadius" pixels, laid over itself in
// the soft light mode by "inputSoftLight" and screened by "inputScreen". The output has the image's
// extent.
class GMSoftGlowFilter : public GMKernelFilter
{
public:
    explicit GMSoftGlowFilter(const QString& className = QStringLiteral("GMSoftGlowFilter"));
    pf::Image outputImage() const override;
};
