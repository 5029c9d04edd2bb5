#include "Classes/Filters/GMRGB2YUVFilter.h"

GMRGB2YUVFilter::GMRGB2YUVFilter(const QString& className)
    : GMKernelPassFilter(className, imagePass(ApplyExtent::OriginZero))
{}
