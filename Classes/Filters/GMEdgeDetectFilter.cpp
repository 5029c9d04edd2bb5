#include "Classes/Filters/GMEdgeDetectFilter.h"

#include "Classes/Framework/KernelResource.h"
#include "Platform/Image/Sampler.h"

using namespace pf;

GMEdgeDetectFilter::GMEdgeDetectFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputThreshold"), {{FilterAttribute::Min, 0.0},
                                                    {FilterAttribute::SliderMin, 0.0},
                                                    {FilterAttribute::SliderMax, 1.0},
                                                    {FilterAttribute::Default, 0.1},
                                                    {FilterAttribute::Type, FilterAttribute::TypeDistance}});
}

Image GMEdgeDetectFilter::outputImage() const
{
    const Kernel kernel = kernelSlot(0);
    if (kernel.isNull())
        return Image();
    const Image image = imageValue(QStringLiteral("inputImage"));
    const Sampler sampler(image);
    const QString key = QStringLiteral("inputThreshold");
    ApplyOptions options;
    options.definition = sampler.definition().extent();
    options.extent = KernelResource::originZeroExtent(image.extent());
    options.regionOfInterest = [](int, const Rect& destination) { return destination.insetBy(-3, -3); };
    return kernel.apply(
        {QVariant::fromValue(sampler), hasValue(key) ? QVariant(numberValue(key)) : QVariant()}, options);
}
