#include "Classes/Filters/OVInpaintingFilter.h"

#include "Classes/Framework/KernelResource.h"
#include "Platform/Image/AffineTileFilter.h"
#include "Platform/Image/BlendWithMaskFilter.h"
#include "Platform/Image/Sampler.h"

#include <cmath>

using namespace pf;

namespace {

const QString ClassName = QStringLiteral("OVInpaintingFilter");
const QString InputImageKey = QStringLiteral("inputImage");
const QString InputMaskImageKey = QStringLiteral("inputMaskImage");
const QString InputFillImageKey = QStringLiteral("inputFillImage");
const QString InputRadiusKey = QStringLiteral("inputRadius");
const QString InputBackgroundImageKey = QStringLiteral("inputBackgroundImage");

constexpr double DefaultRadius = 20;
// Half the radius is the coarsest scale, and a level at scale s runs ceil(s) smoothing passes. Past this
// radius the coarsest level is a few pixels wide and further levels only add passes, so the radius is
// held here: a stray huge value (a mistyped setting, a brush scaled up for a large photo) cannot turn
// one render into millions of passes.
constexpr double MaximumRadius = 1024;

// Every kernel of a level is defined where the level's image is and has that image's extent.
ApplyOptions levelOptions(const Image& image)
{
    ApplyOptions options;
    options.definition = image.definition().extent();
    options.extent = KernelResource::fullExtent(image.extent());
    return options;
}

Sampler clamped(const Image& image)
{
    return Sampler(image, Sampler::FilterMode::Linear, Sampler::WrapMode::Clamp);
}

bool hasArea(const Rect& rect)
{
    return !rect.isNull() && rect.width() > 0 && rect.height() > 0;
}

} // namespace

OVInpaintingFilter::OVInpaintingFilter(const QString& className) : OVFilter(className)
{
    declareInput(InputImageKey);
    declareInput(InputMaskImageKey);
    declareInput(InputFillImageKey);
    declareInput(InputRadiusKey, {{FilterAttribute::Default, DefaultRadius},
                                  {FilterAttribute::SliderMin, 0.0},
                                  {FilterAttribute::SliderMax, 200.0}});
    setValue(DefaultRadius, InputRadiusKey);

    m_blendWithMask = std::make_shared<BlendWithMaskFilter>();
    m_blendWithMask->setDefaults();
    m_tile = std::make_shared<AffineTileFilter>();
    m_tile->setDefaults();
    m_tile->setValue(QVariant::fromValue(AffineTransform::identity()), QStringLiteral("inputTransform"));
    m_laplaceSmoothKernel = kernelWithName(QStringLiteral("laplaceSmooth"));
    m_bwMaskKernel = kernelWithName(QStringLiteral("bwMask"));
}

void OVInpaintingFilter::registerClass()
{
    OVFilter::registerInputKeys(ClassName,
                                {InputImageKey, InputMaskImageKey, InputFillImageKey, InputRadiusKey});
    Filter::registerFilter(ClassName, [] { return std::make_shared<OVInpaintingFilter>(); });
}

void OVInpaintingFilter::copyStateTo(Filter& other) const
{
    OVFilter::copyStateTo(other);
    if (auto* inpainting = dynamic_cast<OVInpaintingFilter*>(&other))
        inpainting->m_previewQuality = m_previewQuality;
}

Image OVInpaintingFilter::outputImage() const
{
    Image image = inputImage();
    if (image.isNull())
        return Image();
    const Image mask = inputMaskImage();
    if (mask.isNull())
        return image;
    if (m_laplaceSmoothKernel.isNull() || m_bwMaskKernel.isNull())
        return Image();

    const ApplyOptions options = levelOptions(image);
    Image fill = inputFillImage();
    // A texture without area has nothing to lay in.
    if (!fill.isNull() && !hasArea(fill.extent()))
        fill = Image();
    Kernel divide;
    if (!fill.isNull()) {
        const Kernel multiply = kernelWithName(QStringLiteral("multiply"));
        divide = kernelWithName(QStringLiteral("divide"));
        if (multiply.isNull() || divide.isNull())
            return Image();
        // A texture smaller than the image in either direction is repeated over the plane; one at least
        // as large in both is used as it is.
        const Rect fillExtent = fill.extent();
        if (fillExtent.width() < image.extent().width() || fillExtent.height() < image.extent().height()) {
            m_tile->setValue(QVariant::fromValue(fill), InputImageKey);
            fill = m_tile->outputImage();
        }
        image = multiply.apply({QVariant::fromValue(Sampler(image)), QVariant::fromValue(Sampler(fill))},
                               options);
    }

    double radius = inputRadius();
    if (!std::isfinite(radius))
        radius = 0;
    radius = std::min(radius, MaximumRadius);
    Image result = inpaintImage(image, mask, 1.0, radius * 0.5);
    if (!fill.isNull())
        result =
            divide.apply({QVariant::fromValue(Sampler(result)), QVariant::fromValue(Sampler(fill))}, options);
    return result;
}

Image OVInpaintingFilter::inpaintImage(const Image& image, const Image& mask, double scale,
                                       double maxScale) const
{
    const ApplyOptions options = levelOptions(image);
    Image start = image;
    if (maxScale > 2.0 * scale) {
        // Preview quality goes straight to the coarsest scale; otherwise each level halves the image.
        const double factor = m_previewQuality ? scale / maxScale : 0.5;
        const AffineTransform down = AffineTransform::scale(factor, factor);
        const Image coarse = inpaintImage(image.imageByApplyingTransform(down),
                                          mask.imageByApplyingTransform(down), scale / factor, maxScale);
        const Image blendMask = m_bwMaskKernel.apply({QVariant::fromValue(Sampler(mask))}, options);
        // The coarse solution inside the area, the level's own pixels outside it.
        m_blendWithMask->setValue(QVariant::fromValue(blendMask), InputMaskImageKey);
        m_blendWithMask->setValue(QVariant::fromValue(coarse.imageByApplyingTransform(
                                      AffineTransform::scale(1 / factor, 1 / factor))),
                                  InputImageKey);
        m_blendWithMask->setValue(QVariant::fromValue(image), InputBackgroundImageKey);
        start = m_blendWithMask->outputImage();
    }

    if (m_previewQuality ? scale > 1.0 : scale > 0.0) {
        const double limit = m_previewQuality ? 1.0 : scale;
        ApplyOptions smoothing = options;
        // Each pass reads one pixel around its destination, of the picture and of the mask.
        smoothing.regionOfInterest = [](int, const Rect& destination) { return destination.insetBy(-1, -1); };
        const QVariant maskSampler = QVariant::fromValue(clamped(mask));
        for (int pass = 1;; ++pass) {
            start =
                m_laplaceSmoothKernel.apply({QVariant::fromValue(clamped(start)), maskSampler}, smoothing);
            if (!(limit > pass))
                break;
        }
    }
    return start;
}
