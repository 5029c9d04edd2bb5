#include "Classes/Filters/GMAutoBrushRegionFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace pf;
using namespace MaskFilterSupport;

GMAutoBrushRegionFilter::GMAutoBrushRegionFilter(const QString& className, const QString& kernelResource,
                                                 const QString& referenceKernelResource, double highTolerance,
                                                 bool edgeTolerance, bool scaledReferenceImages)
    : GMSegmentMaskFilter(className, 1.0), m_edgeTolerance(edgeTolerance),
      m_scaledReferenceImages(scaledReferenceImages)
{
    loadKernels({{kernelResource, 0}, {referenceKernelResource, 0}});
    for (const char* key :
         {"inputImage", "inputEdgeImage", "inputReferenceMask", "inputRefEdgeImage", "inputRefImage"})
        declareInput(QString::fromLatin1(key));
    declareSegmentInputs();
    declareInput(QStringLiteral("inputToleranceHigh"),
                 numberAttributes({.min = 0, .sliderMin = 0, .sliderMax = 1, .defaultValue = highTolerance}));
    declareInput(QStringLiteral("inputToleranceMid"),
                 numberAttributes({.min = 0, .sliderMin = 0, .sliderMax = 1, .defaultValue = 0.1}));
    declareInput(QStringLiteral("inputToleranceLow"), numberAttributes({.min = 0, .defaultValue = 0.01}));
    if (edgeTolerance)
        declareInput(QStringLiteral("inputToleranceEdge"), numberAttributes({.min = 0, .defaultValue = 0.4}));
    declareBoolean(QStringLiteral("inputBoolUseRefMask"));
}

Image GMAutoBrushRegionFilter::outputImage() const
{
    const std::optional<AffineTransform> scale = referenceScale();
    const Kernel kernel = kernelSlot(scale ? 1 : 0);
    if (kernel.isNull())
        return Image();
    QVariantList arguments = edgeRegionArguments();
    if (m_edgeTolerance)
        arguments << numberArgument(QStringLiteral("inputToleranceEdge"));
    if (!scale)
        return kernel.apply(arguments, segmentOptions());

    const AffineTransform images = m_scaledReferenceImages ? *scale : AffineTransform();
    auto scaled = [](const Image& image, const AffineTransform& matrix) {
        return samplerArgument(
            Sampler(image, Sampler::FilterMode::Linear, Sampler::WrapMode::Transparent, matrix));
    };
    // A frame never set reads as the whole image.
    const Vector frame = hasValue(QStringLiteral("inputTargetFrame"))
                             ? vectorValue(QStringLiteral("inputTargetFrame"))
                             : Vector(0, 0, 1, 1);
    arguments << scaled(imageValue(QStringLiteral("inputReferenceMask")), *scale)
              << scaled(imageValue(QStringLiteral("inputRefEdgeImage")), images)
              << scaled(imageValue(QStringLiteral("inputRefImage")), images) << rectArgument(frame);
    return kernel.apply(arguments, segmentOptions({*scale, images, images}));
}
