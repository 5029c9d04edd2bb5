#include "Classes/Filters/GMSubtractImagesFilter.h"

#include "Platform/Image/Sampler.h"

using namespace pf;

GMSubtractImagesFilter::GMSubtractImagesFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputSubImage"));
}

Image GMSubtractImagesFilter::outputImage() const
{
    const Image subImage = imageValue(QStringLiteral("inputSubImage"));
    if (imageValue(QStringLiteral("inputImage")).isNull() || subImage.isNull())
        return Image();
    return applyToInputImage(0, ApplyExtent::Full, {QVariant::fromValue(Sampler(subImage))});
}
