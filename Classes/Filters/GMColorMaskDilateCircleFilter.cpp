#include "Classes/Filters/GMColorMaskDilateCircleFilter.h"

GMColorMaskDilateCircleFilter::GMColorMaskDilateCircleFilter(const QString& className)
    : GMKernelPassFilter(className, imagePass(ApplyExtent::OriginZero, {}, 23),
                         QStringLiteral("GMFillHoles22FilterKernel"))
{}
