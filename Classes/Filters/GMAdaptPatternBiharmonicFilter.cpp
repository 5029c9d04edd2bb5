#include "Classes/Filters/GMAdaptPatternBiharmonicFilter.h"

GMAdaptPatternBiharmonicFilter::GMAdaptPatternBiharmonicFilter(const QString& className)
    : GMKernelPassFilter(
          className,
          {.images = {{QStringLiteral("inputImage"), 3}, {QStringLiteral("inputMaskImage"), 3}},
           .domainOf = DomainIsExtent,
           .needsEveryImage = false},
          QStringLiteral("GMInpaintingSimpleKernel"))
{}
