#include "Classes/Filters/GMCalcResiduumFilter.h"

GMCalcResiduumFilter::GMCalcResiduumFilter(const QString& className)
    : GMKernelPassFilter(className, {.images = {{QStringLiteral("inputImage"), 3}},
                                     .domainOf = DomainIsExtent,
                                     .needsEveryImage = false})
{}
