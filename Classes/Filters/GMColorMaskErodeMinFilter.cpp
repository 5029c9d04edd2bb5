#include "Classes/Filters/GMColorMaskErodeMinFilter.h"

GMColorMaskErodeMinFilter::GMColorMaskErodeMinFilter(const QString& className)
    : GMKernelPassFilter(className, imagePass(ApplyExtent::OriginZero, {}, 3))
{}
