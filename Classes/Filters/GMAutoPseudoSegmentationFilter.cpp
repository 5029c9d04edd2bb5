#include "Classes/Filters/GMAutoPseudoSegmentationFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace pf;
using namespace MaskFilterSupport;

GMAutoPseudoSegmentationFilter::GMAutoPseudoSegmentationFilter(const QString& className)
    : GMSegmentMaskFilter(className, 1.0)
{
    const QString resource = QStringLiteral("GMAutoPseudoSegmentationFilterKernel");
    loadKernels({{resource, 0}, {resource, 1}});
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputBlurredImage"));
    declareInput(QStringLiteral("inputReferenceMask"));
    declareSegmentInputs();
    declareInput(QStringLiteral("inputTolerance"),
                 numberAttributes({.min = 0, .max = 1, .defaultValue = 0.02}));
    declareInput(QStringLiteral("inputOuterTolerance"),
                 numberAttributes({.min = 0, .max = 1, .defaultValue = 0.05, .type = QString()}));
    declareBoolean(QStringLiteral("inputBoolUseRefMask"));
    // Accepted for the effects that wire them; the mask does not depend on them.
    for (const char* key : {"inputEdges", "inputRefEdgeImage", "inputRefImage", "inputTargetFrame"})
        declareInput(QString::fromLatin1(key));
}

Image GMAutoPseudoSegmentationFilter::outputImage() const
{
    const std::optional<AffineTransform> scale = referenceScale();
    const Kernel kernel = kernelSlot(scale ? 1 : 0);
    if (kernel.isNull())
        return Image();
    QVariantList arguments = segmentArguments(1.0);
    arguments << samplerArgument(Sampler(imageValue(QStringLiteral("inputImage"))))
              << samplerArgument(Sampler(imageValue(QStringLiteral("inputBlurredImage"))))
              << numberArgument(QStringLiteral("inputTolerance"))
              << numberArgument(QStringLiteral("inputOuterTolerance"));
    if (!scale)
        return kernel.apply(arguments, segmentOptions());
    arguments << samplerArgument(Sampler(imageValue(QStringLiteral("inputReferenceMask")),
                                         Sampler::FilterMode::Linear, Sampler::WrapMode::Transparent,
                                         *scale));
    return kernel.apply(arguments, segmentOptions({*scale}));
}
