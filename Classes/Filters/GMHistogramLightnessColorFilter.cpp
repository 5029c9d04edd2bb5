#include "Classes/Filters/GMHistogramLightnessColorFilter.h"

#include "Classes/Filters/GMHistogramImage.h"
#include "Platform/Image/Sampler.h"

using namespace pf;

GMHistogramLightnessColorFilter::GMHistogramLightnessColorFilter(const QString& className)
    : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputCountMin"), distanceAttributes(0.0005));
}

Image GMHistogramLightnessColorFilter::outputImage() const
{
    const Image histogram = imageValue(QStringLiteral("inputImage"));
    const Sampler sampler(histogram);
    const QString key = QStringLiteral("inputCountMin");
    // Every pixel reads all the colour bins, wherever the pixel is.
    const Rect layout = GMHistogramImage::layoutRect(histogram);
    ApplyOptions options;
    options.definition = sampler.definition().extent();
    options.extent = options.definition;
    options.regionOfInterest = [layout](int, const Rect&) { return layout; };
    return applySlot(
        0, {QVariant::fromValue(sampler), hasValue(key) ? QVariant(numberValue(key)) : QVariant()}, options);
}
