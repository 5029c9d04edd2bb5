#include "Classes/Filters/GMInpaintingNoPatternFilter.h"

#include "Classes/Framework/KernelResource.h"
#include "Platform/Image/Sampler.h"

using namespace pf;

GMInpaintingNoPatternFilter::GMInpaintingNoPatternFilter(const QString& className) : GMKernelFilter(className)
{
    loadKernels({{QStringLiteral("GMInpaintingFilterKernel"), 0}});
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputMaskImage"));
    declareInput(QStringLiteral("inputType"));
}

Image GMInpaintingNoPatternFilter::outputImage() const
{
    const Kernel kernel = kernelSlot(0);
    const Image image = imageValue(QStringLiteral("inputImage"));
    const Image mask = imageValue(QStringLiteral("inputMaskImage"));
    if (kernel.isNull() || image.isNull() || mask.isNull())
        return Image();
    const Sampler top(image, Sampler::FilterMode::Nearest, Sampler::WrapMode::Clamp);
    const Sampler maskSampler(mask, Sampler::FilterMode::Nearest, Sampler::WrapMode::Clamp);
    const Rect extent = KernelResource::fullExtent(image.extent());
    ApplyOptions options;
    options.definition = extent;
    options.extent = extent;
    // The kernel reads the four direct neighbours of the image; of the mask only the pixel itself.
    options.regionOfInterest = [](int sampler, const Rect& destination) {
        return sampler == 0 ? destination.insetBy(-1, -1) : destination;
    };
    return kernel.apply({QVariant::fromValue(top), QVariant::fromValue(maskSampler)}, options);
}
