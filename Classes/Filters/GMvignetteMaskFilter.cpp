#include "Classes/Filters/GMvignetteMaskFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace pf;

GMvignetteMaskFilter::GMvignetteMaskFilter(const QString& className)
    : GMKernelPassFilter(
          className,
          {.images = {{QStringLiteral("inputImage")}},
           .numbers = {{QStringLiteral("inputIntensity"), 0.0,
                        MaskFilterSupport::numberAttributes({.min = 0, .max = 1, .defaultValue = 0})}},
           .extent = ApplyExtent::OriginZero})
{}
