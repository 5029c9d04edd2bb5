#include "Classes/Filters/GMExtractDarkAreasRGBFilter.h"

GMExtractDarkAreasRGBFilter::GMExtractDarkAreasRGBFilter(const QString& className)
    : GMKernelPassFilter(className, intensityPass(ApplyExtent::OriginZero))
{}
