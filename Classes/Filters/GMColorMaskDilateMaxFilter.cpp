#include "Classes/Filters/GMColorMaskDilateMaxFilter.h"

GMColorMaskDilateMaxFilter::GMColorMaskDilateMaxFilter(const QString& className)
    : GMKernelPassFilter(className, imagePass(ApplyExtent::OriginZero, {}, 3))
{}
