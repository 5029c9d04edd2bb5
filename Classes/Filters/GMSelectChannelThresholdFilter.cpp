#include "Classes/Filters/GMSelectChannelThresholdFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace pf;
using namespace MaskFilterSupport;

GMSelectChannelThresholdFilter::GMSelectChannelThresholdFilter(const QString& className)
    : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputThreshold"), numberAttributes({.min = 0, .max = 1, .defaultValue = 0}));
    declareInput(
        QStringLiteral("inputChannel"),
        numberAttributes({.min = 0, .max = 3, .defaultValue = 3, .type = FilterAttribute::TypeCount}));
}

Image GMSelectChannelThresholdFilter::outputImage() const
{
    return applyToInputImage(
        0, ApplyExtent::OriginZero,
        {numberArgument(QStringLiteral("inputChannel")), numberArgument(QStringLiteral("inputThreshold"))});
}
