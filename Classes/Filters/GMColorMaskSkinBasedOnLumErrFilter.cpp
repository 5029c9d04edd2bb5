#include "Classes/Filters/GMColorMaskSkinBasedOnLumErrFilter.h"

// Each pixel reads the 5 x 5 pixels around it.
GMColorMaskSkinBasedOnLumErrFilter::GMColorMaskSkinBasedOnLumErrFilter(const QString& className)
    : GMKernelPassFilter(className, imagePass(ApplyExtent::OriginZero, {}, 2))
{
    declareInput(QStringLiteral("inputColorImage"));
}
