#include "Classes/Filters/GMSkinSmoothingFilter.h"

#include "Classes/Filters/FrameworkFilterSupport.h"
#include "Classes/Filters/MaskFilterSupport.h"

#include <algorithm>
#include <cmath>

using namespace pf;
using FrameworkFilterSupport::var;
using MaskFilterSupport::numberAttributes;

GMSkinSmoothingFilter::GMSkinSmoothingFilter(const QString& className)
    : GMGuidedFilter(className, {{QStringLiteral("GMSkinSmoothingFilterKernel"), 0}})
{
    declareInput(QStringLiteral("inputDetailRadius"),
                 numberAttributes({.min = 0, .sliderMin = 0, .sliderMax = 10, .defaultValue = 1.5}));
    declareInput(QStringLiteral("inputLightenOnly"),
                 {{FilterAttribute::Default, false}, {FilterAttribute::Type, FilterAttribute::TypeBoolean}});
}

Image GMSkinSmoothingFilter::outputImage() const
{
    const Image image = imageValue(QStringLiteral("inputImage"));
    const double radius = numberValue(QStringLiteral("inputRadius"), 8);
    if (image.isNull() || !FrameworkFilterSupport::hasArea(image.extent()) || kernelSlot(GuidedSlots).isNull())
        return Image();
    if (!(radius > 0) || !std::isfinite(radius))
        return image;
    const Fit coefficients = fit(image, radius, numberValue(QStringLiteral("inputEpsilon"), 0.003));
    if (coefficients.a.isNull())
        return Image();
    // Below about half a pixel there is no finer detail to keep apart.
    const double detail = std::max(0.5, numberValue(QStringLiteral("inputDetailRadius"), 1.5));
    const Image fine = FrameworkFilterSupport::blurWithinExtent(image, detail);
    return FrameworkFilterSupport::applyOver(kernelSlot(GuidedSlots),
                                             {var(image), var(fine), var(coefficients.a), var(coefficients.b),
                                              boolValue(QStringLiteral("inputLightenOnly")) ? 1.0 : 0.0},
                                             image);
}
