#include "Classes/Filters/GMMinAlphaFilter.h"

GMMinAlphaFilter::GMMinAlphaFilter(const QString& className)
    : GMKernelPassFilter(className, intensityPass(ApplyExtent::Full))
{}
