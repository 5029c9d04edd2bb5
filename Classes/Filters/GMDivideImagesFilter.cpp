#include "Classes/Filters/GMDivideImagesFilter.h"

GMDivideImagesFilter::GMDivideImagesFilter(const QString& className)
    : GMKernelPassFilter(className,
                         {.images = {exactImage(QStringLiteral("inputImage")),
                                     exactImage(QStringLiteral("inputPatternImage"))}},
                         QStringLiteral("GMDivideImagesFilter"))
{}
