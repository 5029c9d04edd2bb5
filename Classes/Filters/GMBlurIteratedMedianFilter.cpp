#include "Classes/Filters/GMBlurIteratedMedianFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"
#include <algorithm>

using namespace pf;

GMBlurIteratedMedianFilter::GMBlurIteratedMedianFilter(const QString& className) : GMKernelFilter(className)
{
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputIntensity"),
                 MaskFilterSupport::numberAttributes(
                     {.min = 0, .sliderMin = 0, .sliderMax = 30, .defaultValue = 1, .type = QString()}));
}

Image GMBlurIteratedMedianFilter::outputImage() const
{
    // The passes are the engine's own 3 x 3 median, chained.
    FilterPtr median = Filter::create(QStringLiteral("CIMedianFilter"));
    if (!median)
        return Image();
    // Truncated toward zero and saturated (a NaN counts as 0), then kept between one pass and the cap.
    const int passes = std::clamp(intValue(QStringLiteral("inputIntensity")), 1, MaximumPasses);
    const Image input = imageValue(QStringLiteral("inputImage"));
    if (input.isNull())
        return Image();
    // A photo's neighbourhood ends at its edge: each pass reads the edge pixels of the one before
    // repeated outward, never the transparency beyond, which would darken the border and empty the
    // corners.
    const Rect extent = input.extent();
    const bool bounded = !extent.isNull() && !extent.isInfinite() && !extent.isEmpty();
    Image image = input;
    for (int pass = 0; pass < passes && !image.isNull(); ++pass) {
        median->setValue(QVariant::fromValue(bounded ? image.imageByClampingToExtent() : image),
                         QStringLiteral("inputImage"));
        image = median->outputImage();
        if (bounded && !image.isNull())
            image = image.imageByCroppingToRect(extent);
    }
    return image;
}
