#include "Classes/Filters/GMSubtractImagesFilter.h"

GMSubtractImagesFilter::GMSubtractImagesFilter(const QString& className)
    : GMKernelPassFilter(className,
                         {.images = {{QStringLiteral("inputImage")}, {QStringLiteral("inputSubImage")}}})
{}
