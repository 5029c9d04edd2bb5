#include "Classes/Filters/GMColor2IntensityFilter.h"

GMColor2IntensityFilter::GMColor2IntensityFilter(const QString& className)
    : GMKernelPassFilter(className, imagePass(ApplyExtent::OriginZero))
{}
