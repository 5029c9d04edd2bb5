#include "Classes/Filters/GMYUV2RGBFilter.h"

GMYUV2RGBFilter::GMYUV2RGBFilter(const QString& className)
    : GMKernelPassFilter(className,
                         {.images = {{QStringLiteral("inputImage")}}, .extent = ApplyExtent::OriginZero})
{}
