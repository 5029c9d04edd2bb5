#include "Classes/Filters/GMFillHoles22Filter.h"

using namespace pf;

GMFillHoles22Filter::GMFillHoles22Filter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
}

Image GMFillHoles22Filter::outputImage() const
{
    return applyToInputImage(0, ApplyExtent::OriginZero, {}, 23);
}
