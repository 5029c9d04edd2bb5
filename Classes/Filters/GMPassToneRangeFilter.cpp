#include "Classes/Filters/GMPassToneRangeFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace pf;
using namespace MaskFilterSupport;

GMPassToneRangeFilter::GMPassToneRangeFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputToneRange"),
                 numberAttributes({.min = 0, .max = 2, .defaultValue = 1, .type = QString()}));
}

Image GMPassToneRangeFilter::outputImage() const
{
    return applyToInputImage(0, ApplyExtent::OriginZero, {numberArgument(QStringLiteral("inputToneRange"))});
}
