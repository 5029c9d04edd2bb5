#include "Classes/Filters/GMvignetteCompositionFilter.h"

#include "Platform/Image/Sampler.h"

using namespace pf;

GMvignetteCompositionFilter::GMvignetteCompositionFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputMask"));
}

Image GMvignetteCompositionFilter::outputImage() const
{
    const Image mask = imageValue(QStringLiteral("inputMask"));
    if (imageValue(QStringLiteral("inputImage")).isNull() || mask.isNull())
        return Image();
    return applyToInputImage(0, ApplyExtent::OriginZero, {QVariant::fromValue(Sampler(mask))});
}
