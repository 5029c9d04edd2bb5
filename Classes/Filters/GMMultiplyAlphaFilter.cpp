#include "Classes/Filters/GMMultiplyAlphaFilter.h"

GMMultiplyAlphaFilter::GMMultiplyAlphaFilter(const QString& className)
    : GMKernelPassFilter(className, intensityPass(ApplyExtent::OriginZero))
{}
