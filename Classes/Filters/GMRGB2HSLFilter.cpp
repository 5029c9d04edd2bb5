#include "Classes/Filters/GMRGB2HSLFilter.h"

GMRGB2HSLFilter::GMRGB2HSLFilter(const QString& className)
    : GMKernelPassFilter(className, imagePass(ApplyExtent::OriginZero))
{}
