#include "Classes/Filters/GMAutoBrushFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace pf;
using namespace MaskFilterSupport;

GMAutoBrushFilter::GMAutoBrushFilter(const QString& className) : GMSegmentMaskFilter(className, 1.0)
{
    loadKernels({{QStringLiteral("GMAutoBrushFilterKernel"), 0},
                 {QStringLiteral("GMAutoBrushFilterCircleKernel"), 0}});
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputOriginalImage"));
    declareSegmentInputs();
    declareInput(QStringLiteral("inputTolerance"),
                 numberAttributes({.min = 0, .max = 1, .defaultValue = 0.06}));
    declareInput(QStringLiteral("inputFadeTolerance"),
                 numberAttributes({.min = 0, .max = 1, .defaultValue = 0.06, .type = QString()}));
    declareInput(QStringLiteral("inputCoherenceTolerance"),
                 numberAttributes({.min = 0, .max = 1, .defaultValue = 0}));
    declareInput(QStringLiteral("inputCircleMode"),
                 numberAttributes({.min = 0, .max = 1, .defaultValue = 0}));
    declareInput(QStringLiteral("inputMinLUM"), numberAttributes({.min = 0, .max = 1, .defaultValue = 0}));
    declareInput(QStringLiteral("inputMaxLUM"), numberAttributes({.min = 0, .max = 1, .defaultValue = 1}));
    declareInput(QStringLiteral("inputBonusWidthPercentage"),
                 numberAttributes({.min = 0, .max = 1, .defaultValue = 0.15}));
    declareInput(QStringLiteral("inputBonusPercentage"),
                 numberAttributes({.min = 0, .max = 2, .defaultValue = 0.3}));
    declareInput(QStringLiteral("inputAdaptToleranceRange"),
                 numberAttributes({.min = 0, .max = 2, .defaultValue = 1.2}));
    declareInput(QStringLiteral("inputAdaptToleratedMaxChange"),
                 numberAttributes({.min = 0, .max = 1, .defaultValue = 0.5}));
    declareInput(QStringLiteral("inputCertainArea"),
                 numberAttributes({.min = 0, .max = 1, .defaultValue = 0.1}));
    declareBoolean(QStringLiteral("inputBoolUseRefMask"));
    // Accepted for the effects that wire them; the mask does not depend on them.
    for (const char* key : {"inputBlurredImage", "inputEdges", "inputReferenceMask", "inputTargetFrame",
                            "inputRefEdgeImage", "inputRefImage"})
        declareInput(QString::fromLatin1(key));
}

Image GMAutoBrushFilter::outputImage() const
{
    const bool circle = numberValue(QStringLiteral("inputCircleMode"), 0.0) == 1.0;
    const Kernel kernel = kernelSlot(circle ? 1 : 0);
    if (kernel.isNull())
        return Image();
    QVariantList arguments{point(QStringLiteral("inputPoint1"))};
    if (!circle)
        arguments << point(QStringLiteral("inputPoint2"));
    arguments << size() << samplerArgument(Sampler(imageValue(QStringLiteral("inputImage"))))
              << samplerArgument(Sampler(imageValue(QStringLiteral("inputOriginalImage"))));
    for (const char* key : {"inputTolerance", "inputFadeTolerance", "inputCoherenceTolerance", "inputMinLUM",
                            "inputMaxLUM", "inputBonusWidthPercentage", "inputBonusPercentage",
                            "inputAdaptToleranceRange", "inputAdaptToleratedMaxChange", "inputCertainArea"})
        arguments << numberArgument(QString::fromLatin1(key));
    return kernel.apply(arguments, segmentOptions());
}
