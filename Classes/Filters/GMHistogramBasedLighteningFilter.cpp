#include "Classes/Filters/GMHistogramBasedLighteningFilter.h"

#include "Classes/Filters/GMHistogramImage.h"
#include "Platform/Image/Sampler.h"

using namespace pf;

GMHistogramBasedLighteningFilter::GMHistogramBasedLighteningFilter(const QString& className)
    : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputHistogramImage"));
}

Image GMHistogramBasedLighteningFilter::outputImage() const
{
    const Sampler image(imageValue(QStringLiteral("inputImage")));
    const Image histogram = imageValue(QStringLiteral("inputHistogramImage"));
    // Every pixel reads the histogram's brightness row, wherever the pixel is.
    const Rect layout = GMHistogramImage::layoutRect(histogram);
    ApplyOptions options;
    options.definition = image.definition().extent();
    options.extent = options.definition;
    options.regionOfInterest = [layout](int index, const Rect& destination) {
        return index == 1 ? layout : destination;
    };
    return applySlot(0, {QVariant::fromValue(image), QVariant::fromValue(Sampler(histogram))}, options);
}
