#include "Classes/Filters/GMExtractLightAreasRGBFilter.h"

GMExtractLightAreasRGBFilter::GMExtractLightAreasRGBFilter(const QString& className)
    : GMKernelPassFilter(className, intensityPass(ApplyExtent::OriginZero))
{}
