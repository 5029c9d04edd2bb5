#include "Classes/Filters/GMColorMaskSkinBasedOnLumErrFilter.h"

using namespace pf;

GMColorMaskSkinBasedOnLumErrFilter::GMColorMaskSkinBasedOnLumErrFilter(const QString& className)
    : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputColorImage"));
}

Image GMColorMaskSkinBasedOnLumErrFilter::outputImage() const
{
    return applyToInputImage(0, ApplyExtent::OriginZero, {});
}
