#include "Classes/Filters/GMDilateCircleFilter.h"

GMDilateCircleFilter::GMDilateCircleFilter(const QString& className)
    : GMKernelPassFilter(className, imagePass(ApplyExtent::OriginZero, {}, 3))
{}
