#include "Classes/Filters/GMLumaSharpenFilter.h"

#include "Classes/Filters/FrameworkFilterSupport.h"
#include "Classes/Filters/MaskFilterSupport.h"

#include <algorithm>
#include <cmath>

using namespace pf;
using MaskFilterSupport::numberAttributes;

GMLumaSharpenFilter::GMLumaSharpenFilter(const QString& className)
    : GMBlurBlendFilter(className,
                        {QStringLiteral("inputRadius"), 1.5,
                         numberAttributes({.min = 0, .sliderMin = 0, .sliderMax = 20, .defaultValue = 1.5})},
                        {QStringLiteral("inputAmount"), 0.8,
                         numberAttributes({.min = 0,
                                           .sliderMin = 0,
                                           .sliderMax = 3,
                                           .defaultValue = 0.8,
                                           .identity = 0,
                                           .type = FilterAttribute::TypeScalar})},
                        {QStringLiteral("inputThreshold"), 0.01,
                         numberAttributes({.min = 0,
                                           .sliderMin = 0,
                                           .sliderMax = 0.1,
                                           .defaultValue = 0.01,
                                           .type = FilterAttribute::TypeScalar})})
{}

std::optional<Image> GMLumaSharpenFilter::blurred(const Image& image, double radius) const
{
    if (!(radius > 0) || !std::isfinite(radius))
        return std::nullopt;
    // Detail finer than about a pixel is all a blur of less would find: grain, not edges.
    return FrameworkFilterSupport::blurOfPicture(image, std::max(radius, 0.6));
}
