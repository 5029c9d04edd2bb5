#include "Classes/Filters/GMColorMaskInvertFilter.h"

GMColorMaskInvertFilter::GMColorMaskInvertFilter(const QString& className)
    : GMKernelPassFilter(className, imagePass(ApplyExtent::OriginZero))
{}
