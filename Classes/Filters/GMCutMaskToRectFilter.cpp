#include "Classes/Filters/GMCutMaskToRectFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace pf;
using namespace MaskFilterSupport;

GMCutMaskToRectFilter::GMCutMaskToRectFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputMaskImage"));
    declareInput(QStringLiteral("inputExtent"), vectorAttributes(Vector(0, 0, 400, 400)));
}

Image GMCutMaskToRectFilter::outputImage() const
{
    const Sampler mask(imageValue(QStringLiteral("inputMaskImage")));
    return applySlot(0, {samplerArgument(mask), rectArgument(vectorValue(QStringLiteral("inputExtent")))},
                     atOriginReadingInPlace(mask.image()));
}
