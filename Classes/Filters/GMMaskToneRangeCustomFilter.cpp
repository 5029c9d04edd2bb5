#include "Classes/Filters/GMMaskToneRangeCustomFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace pf;
using namespace MaskFilterSupport;

GMMaskToneRangeCustomFilter::GMMaskToneRangeCustomFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputTones"),
                 numberAttributes({.min = 0, .max = 2, .defaultValue = 0, .type = QString()}));
    declareInput(QStringLiteral("inputBorders"), vectorAttributes(Vector(0.33, 0.66)));
}

Image GMMaskToneRangeCustomFilter::outputImage() const
{
    return applyToInputImage(0, ApplyExtent::OriginZero,
                             {numberArgument(QStringLiteral("inputTones")),
                              pointArgument(vectorValue(QStringLiteral("inputBorders")))});
}
