#include "Classes/Filters/OVInpaintingFilter.h"

#include "Classes/Framework/KernelResource.h"
#include "Platform/Image/AffineTileFilter.h"
#include "Platform/Image/BlendWithMaskFilter.h"
#include "Platform/Image/Color.h"
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

// The part of the image that filling the mask can change or read, when the mask says where its holes can
// be (its domain is smaller than the image): the mask's domain grown by four coarsest-level pixels, its
// origin on the coarsest level's pixel grid so that the pyramid's levels are the same as over the whole
// image. Null when the work is the whole image anyway.
Rect OVInpaintingFilter::workingArea(const Image& image, const Image& mask, double maxScale) const
{
    const Rect whole = image.extent();
    const Rect holes = mask.definition().extent();
    if (holes.isNull() || holes.isInfinite() || whole.isInfinite() || holes.contains(whole))
        return Rect::null();
    // The coarsest scale: preview quality jumps straight to maxScale, full quality halves down to it.
    double coarsest = 1;
    if (m_previewQuality) {
        coarsest = std::max(1.0, maxScale);
    } else {
        while (maxScale > 2 * coarsest)
            coarsest *= 2;
    }
    const double margin = 4 * std::ceil(coarsest) + 8;
    Rect area = holes.insetBy(-margin, -margin).intersected(whole);
    if (area.isNull() || area.isEmpty())
        return area;
    // Aligning the origin to the grid matters only where the levels halve.
    const double grid = m_previewQuality ? 1.0 : coarsest;
    const double x = whole.minX() + std::floor((area.minX() - whole.minX()) / grid) * grid;
    const double y = whole.minY() + std::floor((area.minY() - whole.minY()) / grid) * grid;
    area = Rect(x, y, area.maxX() - x, area.maxY() - y).integral().intersected(whole);
    return area == whole ? Rect::null() : area;
}

Image OVInpaintingFilter::outputImage() const
{
    const Image image = inputImage();
    if (image.isNull())
        return Image();
    const Image mask = inputMaskImage();
    if (mask.isNull())
        return image;
    if (m_laplaceSmoothKernel.isNull() || m_bwMaskKernel.isNull())
        return Image();

    double radius = inputRadius();
    if (!std::isfinite(radius))
        radius = 0;
    const double maxScale = std::min(radius, MaximumRadius) * 0.5;

    // Only the pixels around the mask's holes change: a mask whose domain is small lets the whole
    // computation run on that part, spliced back into the image.
    const Rect area = workingArea(image, mask, maxScale);
    if (area.isNull())
        return filled(image, mask, maxScale);
    if (area.isEmpty())
        return image; // the mask lies outside the image: nothing to fill
    const Image part = filled(image.imageByCroppingToRect(area), mask, maxScale);
    m_blendWithMask->setValue(QVariant::fromValue(part), InputImageKey);
    m_blendWithMask->setValue(QVariant::fromValue(image), InputBackgroundImageKey);
    m_blendWithMask->setValue(
        QVariant::fromValue(Image::constantColor(Color(1, 1, 1)).imageByCroppingToRect(area)),
        InputMaskImageKey);
    return m_blendWithMask->outputImage();
}

Image OVInpaintingFilter::filled(Image image, const Image& mask, double maxScale) const
{
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
        if (fillExtent.width() < inputImage().extent().width() ||
            fillExtent.height() < inputImage().extent().height()) {
            m_tile->setValue(QVariant::fromValue(fill), InputImageKey);
            fill = m_tile->outputImage();
        }
        image = multiply.apply({QVariant::fromValue(Sampler(image)), QVariant::fromValue(Sampler(fill))},
                               options);
    }
    // The levels read the mask clamped at its edges, as they read the image. A mask smaller than the image
    // is laid on black of the image's size first: clamped at its own edges it would smear a hole that
    // touches them across the rest of the image.
    Image levelMask = mask;
    if (!mask.extent().contains(image.extent()))
        levelMask = mask.imageByCompositingOverImage(
            Image::constantColor(Color(0, 0, 0)).imageByCroppingToRect(image.extent()));
    Image result = inpaintImage(image, levelMask, 1.0, maxScale);
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
