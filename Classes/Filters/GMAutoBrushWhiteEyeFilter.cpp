#include "Classes/Filters/GMAutoBrushWhiteEyeFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace pf;
using namespace MaskFilterSupport;

GMAutoBrushWhiteEyeFilter::GMAutoBrushWhiteEyeFilter(const QString& className)
    : GMSegmentMaskFilter(className, 0.5)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputEdgeImage"));
    declareSegmentInputs();
    declareInput(QStringLiteral("inputToleranceHigh"),
                 numberAttributes({.min = 0, .sliderMin = 0, .sliderMax = 1, .defaultValue = 0.3}));
    declareInput(QStringLiteral("inputToleranceMid"),
                 numberAttributes({.min = 0, .sliderMin = 0, .sliderMax = 1, .defaultValue = 0.1}));
    declareInput(QStringLiteral("inputToleranceLow"), numberAttributes({.min = 0, .defaultValue = 0.01}));
}

Image GMAutoBrushWhiteEyeFilter::outputImage() const
{
    const Kernel kernel = kernelSlot(0);
    if (kernel.isNull())
        return Image();
    // The kernel looks back from each pixel to the segment, like its siblings': it needs their region
    // rule, or a tile would miss the pixels between itself and the stroke.
    return kernel.apply(edgeRegionArguments(), segmentOptions());
}
