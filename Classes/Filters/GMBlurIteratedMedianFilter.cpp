#include "Classes/Filters/GMBlurIteratedMedianFilter.h"

#include <algorithm>

using namespace pf;

GMBlurIteratedMedianFilter::GMBlurIteratedMedianFilter(const QString& className) : GMKernelFilter(className)
{
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputIntensity"), {{FilterAttribute::Min, 0.0},
                                                    {FilterAttribute::SliderMin, 0.0},
                                                    {FilterAttribute::SliderMax, 30.0},
                                                    {FilterAttribute::Default, 1.0}});
}

Image GMBlurIteratedMedianFilter::outputImage() const
{
    // The passes are the engine's own 3 x 3 median, chained.
    FilterPtr median = Filter::create(QStringLiteral("CIMedianFilter"));
    if (!median)
        return Image();
    // Truncated toward zero and saturated (a NaN counts as 0), then kept between one pass and the cap.
    const int passes = std::clamp(intValue(QStringLiteral("inputIntensity")), 1, MaximumPasses);
    Image image = imageValue(QStringLiteral("inputImage"));
    for (int pass = 0; pass < passes && !image.isNull(); ++pass) {
        median->setValue(QVariant::fromValue(image), QStringLiteral("inputImage"));
        image = median->outputImage();
    }
    return image;
}
