#include "Classes/Filters/GMFillHolesBigFilter.h"

GMFillHolesBigFilter::GMFillHolesBigFilter(const QString& className)
    : GMKernelPassFilter(className, imagePass(ApplyExtent::OriginZero, {}, 23))
{}
