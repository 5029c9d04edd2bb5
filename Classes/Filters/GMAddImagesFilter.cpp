#include "Classes/Filters/GMAddImagesFilter.h"

GMAddImagesFilter::GMAddImagesFilter(const QString& className)
    : GMKernelPassFilter(
          className,
          {.images = {{QStringLiteral("inputDiffImage")}, {QStringLiteral("inputPatternImage")}},
           .extentOf = 1,
           .needsEveryImage = false,
           .declarationOrder = {1, 0}},
          QStringLiteral("GMAddImagesFilter"))
{}
