#include "Classes/Filters/GMScaleFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"
#include "Classes/Framework/KernelResource.h"
#include "Platform/Image/Sampler.h"

#include <cmath>

using namespace pf;

GMScaleFilter::GMScaleFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputScale"),
                 MaskFilterSupport::numberAttributes(
                     {.min = 0, .sliderMin = 0, .sliderMax = 30, .defaultValue = 1, .type = QString()}));
}

Image GMScaleFilter::outputImage() const
{
    const double s = numberValue(QStringLiteral("inputScale"));
    const float sf = float(s);
    // A scale of 0 collapses the image to a point and its region of interest divides by zero.
    if (sf == 0 || !std::isfinite(sf))
        return Image();
    const Image image = imageValue(QStringLiteral("inputImage"));
    const Rect rect = image.extent();
    const Rect scaled = rect.isNull()
                            ? rect
                            : Rect(rect.minX() * sf, rect.minY() * sf, rect.width() * sf, rect.height() * sf);
    ApplyOptions options;
    options.definition =
        FilterShape::shapeWithRect(rect).transformBy(AffineTransform::scale(sf, sf)).extent();
    options.extent = KernelResource::fullExtent(scaled);
    options.regionOfInterest = [s](int, const Rect& destination) {
        return Rect(destination.minX() / s, destination.minY() / s, destination.width() / s,
                    destination.height() / s);
    };
    const Sampler sampler(image, Sampler::FilterMode::Nearest, Sampler::WrapMode::Clamp,
                          AffineTransform::scale(s, s));
    return applySlot(0, {QVariant::fromValue(sampler)}, options);
}
