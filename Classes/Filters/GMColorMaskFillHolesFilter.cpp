#include "Classes/Filters/GMColorMaskFillHolesFilter.h"

GMColorMaskFillHolesFilter::GMColorMaskFillHolesFilter(const QString& className)
    : GMKernelPassFilter(className, imagePass(ApplyExtent::OriginZero, {}, 23))
{}
