#include "Classes/Filters/GMColorMaskBorderCutFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace MaskFilterSupport;

GMColorMaskBorderCutFilter::GMColorMaskBorderCutFilter(const QString& className)
    : GMKernelPassFilter(
          className, {.images = {{QStringLiteral("inputImage")}, {QStringLiteral("inputImageEdges")}},
                      .numbers = {numberInput(
                          QStringLiteral("inputThreshold"),
                          numberAttributes({.min = 0, .sliderMin = 0, .sliderMax = 1, .defaultValue = 0.1}))},
                      .extent = ApplyExtent::OriginZero,
                      .reach = 23,
                      .needsEveryImage = false})
{}
