#include "Classes/Filters/GMColorMaskFillHolesFilter.h"

using namespace pf;

GMColorMaskFillHolesFilter::GMColorMaskFillHolesFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
}

Image GMColorMaskFillHolesFilter::outputImage() const
{
    return applyToInputImage(0, ApplyExtent::OriginZero, {}, 23);
}
