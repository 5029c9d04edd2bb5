#include "Classes/Filters/GMFillHolesBigFilter.h"

using namespace pf;

GMFillHolesBigFilter::GMFillHolesBigFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
}

Image GMFillHolesBigFilter::outputImage() const
{
    return applyToInputImage(0, ApplyExtent::OriginZero, {}, 23);
}
