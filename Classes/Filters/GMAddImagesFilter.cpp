#include "Classes/Filters/GMAddImagesFilter.h"

#include "Classes/Framework/KernelResource.h"
#include "Platform/Image/Sampler.h"

using namespace pf;

GMAddImagesFilter::GMAddImagesFilter(const QString& className) : GMKernelFilter(className)
{
    // The resource is named after the class itself, without the usual suffix.
    loadKernels({{QStringLiteral("GMAddImagesFilter"), 0}});
    declareInput(QStringLiteral("inputPatternImage"));
    declareInput(QStringLiteral("inputDiffImage"));
}

Image GMAddImagesFilter::outputImage() const
{
    const Kernel kernel = kernelSlot(0);
    if (kernel.isNull())
        return Image();
    const Image pattern = imageValue(QStringLiteral("inputPatternImage"));
    const Sampler difference(imageValue(QStringLiteral("inputDiffImage")));
    ApplyOptions options;
    options.definition = difference.definition().extent();
    options.extent = KernelResource::fullExtent(pattern.extent());
    return kernel.apply({QVariant::fromValue(difference), QVariant::fromValue(Sampler(pattern))}, options);
}
