#include "Classes/Filters/GMSoftGlowFilter.h"

#include "Classes/Filters/FrameworkFilterSupport.h"
#include "Classes/Filters/MaskFilterSupport.h"

#include <cmath>

using namespace pf;

namespace {

// A weight of the blend from 0 to 1, 0 leaving the image as it is.
QVariantMap weightAttributes(double defaultValue)
{
    return MaskFilterSupport::numberAttributes({.min = 0,
                                                .max = 1,
                                                .sliderMin = 0,
                                                .sliderMax = 1,
                                                .defaultValue = defaultValue,
                                                .identity = 0,
                                                .type = FilterAttribute::TypeScalar});
}

} // namespace

GMSoftGlowFilter::GMSoftGlowFilter(const QString& className)
    : GMBlurBlendFilter(className,
                        {QStringLiteral("inputRadius"), 10,
                         MaskFilterSupport::numberAttributes(
                             {.min = 0, .sliderMin = 0, .sliderMax = 100, .defaultValue = 10})},
                        {QStringLiteral("inputSoftLight"), 0.6, weightAttributes(0.6)},
                        {QStringLiteral("inputScreen"), 0.3, weightAttributes(0.3)})
{}

std::optional<Image> GMSoftGlowFilter::blurred(const Image& image, double radius) const
{
    return radius > 0 && std::isfinite(radius) ? FrameworkFilterSupport::blurOfPicture(image, radius) : image;
}
