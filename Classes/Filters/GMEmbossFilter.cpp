#include "Classes/Filters/GMEmbossFilter.h"

#include "Classes/Framework/KernelResource.h"
#include "Platform/Image/Sampler.h"

using namespace pf;

GMEmbossFilter::GMEmbossFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputIntensity"), {{FilterAttribute::Min, 0.0},
                                                    {FilterAttribute::SliderMin, 0.0},
                                                    {FilterAttribute::SliderMax, 1.0},
                                                    {FilterAttribute::Default, 0.5},
                                                    {FilterAttribute::Type, FilterAttribute::TypeDistance}});
}

Image GMEmbossFilter::outputImage() const
{
    const Kernel kernel = kernelSlot(0);
    if (kernel.isNull())
        return Image();
    const Image image = imageValue(QStringLiteral("inputImage"));
    const Sampler sampler(image);
    const QString key = QStringLiteral("inputIntensity");
    ApplyOptions options;
    options.definition = sampler.definition().extent();
    options.extent = KernelResource::originZeroExtent(image.extent());
    options.regionOfInterest = [](int, const Rect& destination) { return destination.insetBy(-3, -3); };
    return kernel.apply(
        {QVariant::fromValue(sampler), hasValue(key) ? QVariant(numberValue(key)) : QVariant()}, options);
}
