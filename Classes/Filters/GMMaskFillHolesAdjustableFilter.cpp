#include "Classes/Filters/GMMaskFillHolesAdjustableFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace pf;
using namespace MaskFilterSupport;

GMMaskFillHolesAdjustableFilter::GMMaskFillHolesAdjustableFilter(const QString& className)
    : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputMode"),
                 numberAttributes({.min = 0, .sliderMin = 0, .sliderMax = 4, .defaultValue = 0}));
}

Image GMMaskFillHolesAdjustableFilter::outputImage() const
{
    return applyToInputImage(0, ApplyExtent::OriginZero, {numberArgument(QStringLiteral("inputMode"))}, 23);
}
