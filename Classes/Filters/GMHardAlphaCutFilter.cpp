#include "Classes/Filters/GMHardAlphaCutFilter.h"

using namespace pf;

GMHardAlphaCutFilter::GMHardAlphaCutFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
}

Image GMHardAlphaCutFilter::outputImage() const
{
    return applyToInputImage(0, ApplyExtent::Full);
}
