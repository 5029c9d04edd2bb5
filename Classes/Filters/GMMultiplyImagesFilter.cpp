#include "Classes/Filters/GMMultiplyImagesFilter.h"

GMMultiplyImagesFilter::GMMultiplyImagesFilter(const QString& className)
    : GMKernelPassFilter(className,
                         {.images = {exactImage(QStringLiteral("inputImage")),
                                     exactImage(QStringLiteral("inputPatternImage"))},
                          .domainOf = DomainIsExtent},
                         QStringLiteral("GMMultiplyImagesFilter"))
{}
