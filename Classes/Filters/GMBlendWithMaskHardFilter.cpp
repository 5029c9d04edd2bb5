#include "Classes/Filters/GMBlendWithMaskHardFilter.h"

GMBlendWithMaskHardFilter::GMBlendWithMaskHardFilter(const QString& className)
    : GMKernelPassFilter(className, {.images = {{QStringLiteral("inputImage")},
                                                {QStringLiteral("inputBackgroundImage")},
                                                {QStringLiteral("inputMaskImage")}},
                                     .extent = ApplyExtent::OriginZero})
{}
