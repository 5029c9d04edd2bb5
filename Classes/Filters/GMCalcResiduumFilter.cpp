#include "Classes/Filters/GMCalcResiduumFilter.h"

GMCalcResiduumFilter::GMCalcResiduumFilter(const QString& className)
    : GMKernelPassFilter(className, {.images = {{QStringLiteral("inputImage")}},
                                     .domainOf = DomainIsExtent,
                                     .reach = 3,
                                     .needsEveryImage = false})
{}
