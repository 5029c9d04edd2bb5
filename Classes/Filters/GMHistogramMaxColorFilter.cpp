#include "Classes/Filters/GMHistogramMaxColorFilter.h"

#include "Classes/Filters/GMHistogramImage.h"
#include "Platform/Image/Sampler.h"

using namespace pf;

GMHistogramMaxColorFilter::GMHistogramMaxColorFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
}

Image GMHistogramMaxColorFilter::outputImage() const
{
    const Image histogram = imageValue(QStringLiteral("inputImage"));
    const Sampler sampler(histogram);
    // Every pixel reads all the colour bins, wherever the pixel is.
    const Rect layout = GMHistogramImage::layoutRect(histogram);
    ApplyOptions options;
    options.definition = sampler.definition().extent();
    options.extent = options.definition;
    options.regionOfInterest = [layout](int, const Rect&) { return layout; };
    return applySlot(0, {QVariant::fromValue(sampler)}, options);
}
