#include "Classes/Filters/GMBlurIteratedMedianFilter.h"

#include "Platform/Image/Sampler.h"

#include <algorithm>

using namespace pf;

GMBlurIteratedMedianFilter::GMBlurIteratedMedianFilter(const QString& className) : GMKernelFilter(className)
{
    loadKernels({{QStringLiteral("GMMedianPassKernel"), 0}});
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputIntensity"), {{FilterAttribute::Min, 0.0},
                                                    {FilterAttribute::SliderMin, 0.0},
                                                    {FilterAttribute::SliderMax, 30.0},
                                                    {FilterAttribute::Default, 1.0}});
}

Image GMBlurIteratedMedianFilter::outputImage() const
{
    const Kernel kernel = kernelSlot(0);
    if (kernel.isNull())
        return Image();
    // Truncated toward zero and saturated (a NaN counts as 0), then kept between one pass and the cap.
    const int passes = std::clamp(intValue(QStringLiteral("inputIntensity")), 1, MaximumPasses);
    Image image = imageValue(QStringLiteral("inputImage"));
    for (int pass = 0; pass < passes; ++pass)
        image = medianPass(kernel, image);
    return image;
}

Image GMBlurIteratedMedianFilter::medianPass(const Kernel& kernel, const Image& image)
{
    ApplyOptions options;
    options.definition = image.definition().extent();
    options.extent = image.extent();
    options.regionOfInterest = [](int, const Rect& destination) { return destination.insetBy(-1, -1); };
    // The kernel reads pixel centres only, where the nearest pixel is the exact value: one texel per
    // read instead of the four a linear read costs.
    return kernel.apply({QVariant::fromValue(Sampler(image, Sampler::FilterMode::Nearest))}, options);
}
