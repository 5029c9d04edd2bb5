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
    // Each pixel reads the 5 x 5 pixels around it.
    return applyToInputImage(0, ApplyExtent::OriginZero, {}, 2);
}
