#include "Classes/Filters/GMInpaintingNoPatternFilter.h"

GMInpaintingNoPatternFilter::GMInpaintingNoPatternFilter(const QString& className)
    : GMKernelPassFilter(className,
                         {.images = {exactImage(QStringLiteral("inputImage"), 1),
                                     exactImage(QStringLiteral("inputMaskImage"))},
                          .domainOf = DomainIsExtent},
                         QStringLiteral("GMInpaintingFilterKernel"))
{
    declareInput(QStringLiteral("inputType"));
}
