#include "Classes/Filters/GMvignetteMaskFilter.h"

#include "Classes/Framework/KernelResource.h"
#include "Platform/Image/Sampler.h"

using namespace pf;

GMvignetteMaskFilter::GMvignetteMaskFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputIntensity"), {{FilterAttribute::Min, 0.0},
                                                    {FilterAttribute::Max, 1.0},
                                                    {FilterAttribute::Default, 0.0},
                                                    {FilterAttribute::Type, FilterAttribute::TypeDistance}});
}

Image GMvignetteMaskFilter::outputImage() const
{
    const Kernel kernel = kernelSlot(0);
    const Image image = imageValue(QStringLiteral("inputImage"));
    if (kernel.isNull() || image.isNull())
        return Image();
    const Sampler sampler(image);
    ApplyOptions options;
    options.definition = sampler.definition().extent();
    options.extent = KernelResource::originZeroExtent(image.extent());
    return kernel.apply({QVariant::fromValue(sampler), numberValue(QStringLiteral("inputIntensity"))},
                        options);
}
