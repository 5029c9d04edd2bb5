#include "Classes/Filters/GMMultiplyRGBFilter.h"

#include "Classes/Framework/KernelResource.h"
#include "Platform/Image/Sampler.h"

using namespace pf;

GMMultiplyRGBFilter::GMMultiplyRGBFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputIntensity"), {{FilterAttribute::Min, 0.0},
                                                    {FilterAttribute::Max, 1.0},
                                                    {FilterAttribute::Default, 0.5},
                                                    {FilterAttribute::Identity, 0.0},
                                                    {FilterAttribute::Type, FilterAttribute::TypeDistance}});
}

Image GMMultiplyRGBFilter::outputImage() const
{
    const Kernel kernel = kernelSlot(0);
    if (kernel.isNull())
        return Image();
    const Image image = imageValue(QStringLiteral("inputImage"));
    const Sampler sampler(image);
    const QString key = QStringLiteral("inputIntensity");
    ApplyOptions options;
    options.definition = sampler.definition().extent();
    options.extent = KernelResource::fullExtent(image.extent());
    return kernel.apply(
        {QVariant::fromValue(sampler), hasValue(key) ? QVariant(numberValue(key)) : QVariant()}, options);
}
