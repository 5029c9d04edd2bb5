#include "Classes/Filters/GMLumaSharpenFilter.h"

#include "Classes/Filters/FrameworkFilterSupport.h"
#include "Classes/Filters/MaskFilterSupport.h"

#include <algorithm>
#include <cmath>

using namespace pf;
using FrameworkFilterSupport::var;
using MaskFilterSupport::numberAttributes;

GMLumaSharpenFilter::GMLumaSharpenFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputRadius"),
                 numberAttributes({.min = 0, .sliderMin = 0, .sliderMax = 20, .defaultValue = 1.5}));
    declareInput(QStringLiteral("inputAmount"), numberAttributes({.min = 0,
                                                                  .sliderMin = 0,
                                                                  .sliderMax = 3,
                                                                  .defaultValue = 0.8,
                                                                  .identity = 0,
                                                                  .type = FilterAttribute::TypeScalar}));
    declareInput(QStringLiteral("inputThreshold"), numberAttributes({.min = 0,
                                                                     .sliderMin = 0,
                                                                     .sliderMax = 0.1,
                                                                     .defaultValue = 0.01,
                                                                     .type = FilterAttribute::TypeScalar}));
}

Image GMLumaSharpenFilter::outputImage() const
{
    const Image image = imageValue(QStringLiteral("inputImage"));
    const double radius = numberValue(QStringLiteral("inputRadius"), 1.5);
    if (image.isNull() || !FrameworkFilterSupport::hasArea(image.extent()))
        return Image();
    if (!(radius > 0) || !std::isfinite(radius))
        return image;
    // Detail finer than about a pixel is all a blur of less would find: grain, not edges.
    const Image blurred = FrameworkFilterSupport::blurOfPicture(image, std::max(radius, 0.6));
    return FrameworkFilterSupport::applyOver(kernelSlot(0),
                                             {var(image), var(blurred),
                                              numberValue(QStringLiteral("inputAmount"), 0.8),
                                              numberValue(QStringLiteral("inputThreshold"), 0.01)},
                                             image);
}
