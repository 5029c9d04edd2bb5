#include "Classes/Filters/GMHSL2RGBFilter.h"

GMHSL2RGBFilter::GMHSL2RGBFilter(const QString& className)
    : GMKernelPassFilter(className, imagePass(ApplyExtent::OriginZero))
{}
