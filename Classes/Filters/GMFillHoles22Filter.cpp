#include "Classes/Filters/GMFillHoles22Filter.h"

GMFillHoles22Filter::GMFillHoles22Filter(const QString& className)
    : GMKernelPassFilter(className, imagePass(ApplyExtent::OriginZero, {}, 23))
{}
