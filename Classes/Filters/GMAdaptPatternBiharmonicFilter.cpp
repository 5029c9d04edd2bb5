#include "Classes/Filters/GMAdaptPatternBiharmonicFilter.h"

GMAdaptPatternBiharmonicFilter::GMAdaptPatternBiharmonicFilter(const QString& className)
    : GMKernelPassFilter(className,
                         {.images = {{QStringLiteral("inputImage")}, {QStringLiteral("inputMaskImage")}},
                          .domainOf = DomainIsExtent,
                          .reach = 3,
                          .needsEveryImage = false},
                         QStringLiteral("GMInpaintingSimpleKernel"))
{}
