#include "Classes/Filters/GMInvertBrushMaskFilter.h"

GMInvertBrushMaskFilter::GMInvertBrushMaskFilter(const QString& className)
    : GMKernelPassFilter(
          className,
          {.images = {{QStringLiteral("inputImage")}}, .domainOf = DomainIsExtent, .needsEveryImage = false})
{}
