#include "Classes/Filters/GMDivideImagesFilter.h"

#include "Classes/Framework/KernelResource.h"
#include "Platform/Image/Sampler.h"

using namespace pf;

GMDivideImagesFilter::GMDivideImagesFilter(const QString& className) : GMKernelFilter(className)
{
    loadKernels({{QStringLiteral("GMDivideImagesFilter"), 0}});
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputPatternImage"));
}

Image GMDivideImagesFilter::outputImage() const
{
    const Kernel kernel = kernelSlot(0);
    const Image image = imageValue(QStringLiteral("inputImage"));
    const Image pattern = imageValue(QStringLiteral("inputPatternImage"));
    if (kernel.isNull() || image.isNull() || pattern.isNull())
        return Image();
    const Sampler top(image, Sampler::FilterMode::Nearest, Sampler::WrapMode::Clamp);
    const Sampler patternSampler(pattern, Sampler::FilterMode::Nearest, Sampler::WrapMode::Clamp);
    const Rect extent = KernelResource::fullExtent(image.extent());
    ApplyOptions options;
    options.definition = top.definition().extent();
    options.extent = extent;
    return kernel.apply({QVariant::fromValue(top), QVariant::fromValue(patternSampler)}, options);
}
