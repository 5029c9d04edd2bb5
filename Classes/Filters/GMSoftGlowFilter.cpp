#include "Classes/Filters/GMSoftGlowFilter.h"

#include "Classes/Filters/FrameworkFilterSupport.h"
#include "Classes/Filters/MaskFilterSupport.h"

#include <cmath>

using namespace pf;
using FrameworkFilterSupport::var;
using MaskFilterSupport::numberAttributes;

GMSoftGlowFilter::GMSoftGlowFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputRadius"),
                 numberAttributes({.min = 0, .sliderMin = 0, .sliderMax = 100, .defaultValue = 10}));
    declareInput(QStringLiteral("inputSoftLight"), numberAttributes({.min = 0,
                                                                     .max = 1,
                                                                     .sliderMin = 0,
                                                                     .sliderMax = 1,
                                                                     .defaultValue = 0.6,
                                                                     .identity = 0,
                                                                     .type = FilterAttribute::TypeScalar}));
    declareInput(QStringLiteral("inputScreen"), numberAttributes({.min = 0,
                                                                  .max = 1,
                                                                  .sliderMin = 0,
                                                                  .sliderMax = 1,
                                                                  .defaultValue = 0.3,
                                                                  .identity = 0,
                                                                  .type = FilterAttribute::TypeScalar}));
}

Image GMSoftGlowFilter::outputImage() const
{
    const Image image = imageValue(QStringLiteral("inputImage"));
    const double radius = numberValue(QStringLiteral("inputRadius"), 10);
    if (image.isNull() || !FrameworkFilterSupport::hasArea(image.extent()))
        return Image();
    const Image blurred =
        radius > 0 && std::isfinite(radius) ? FrameworkFilterSupport::blurOfPicture(image, radius) : image;
    return FrameworkFilterSupport::applyOver(kernelSlot(0),
                                             {var(image), var(blurred),
                                              numberValue(QStringLiteral("inputSoftLight"), 0.6),
                                              numberValue(QStringLiteral("inputScreen"), 0.3)},
                                             image);
}
