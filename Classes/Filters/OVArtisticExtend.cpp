#include "Classes/Filters/OVArtisticExtend.h"

#include "Classes/Filters/FrameworkFilterSupport.h"
#include "Classes/Filters/OVAdjustableBlendFilter.h"

#include <cmath>

using namespace pf;
using FrameworkFilterSupport::builtin;
using FrameworkFilterSupport::var;

namespace {

const QString ImageKey = QStringLiteral("inputImage");
const QString BackgroundKey = QStringLiteral("inputBackgroundImage");

Image over(const Image& top, const Image& bottom)
{
    return builtin(QStringLiteral("CISourceOverCompositing"),
                   {{ImageKey, var(top)}, {BackgroundKey, var(bottom)}});
}

Image blurred(const Image& image, double radius)
{
    return builtin(QStringLiteral("CIGaussianBlur"),
                   {{ImageKey, var(image)}, {QStringLiteral("inputRadius"), radius}});
}

Image clamped(const Image& image, const AffineTransform& transform)
{
    return builtin(
        QStringLiteral("CIAffineClamp"),
        {{ImageKey, var(image)}, {QStringLiteral("inputTransform"), QVariant::fromValue(transform)}});
}

} // namespace

OVArtisticExtend::OVArtisticExtend(const QString& className) : OVFilter(className)
{
    declareInput(ImageKey);
    declareInput(BackgroundKey);
    declareInput(QStringLiteral("rotate"));
    declareInput(QStringLiteral("motionBlur"));
}

void OVArtisticExtend::registerClass()
{
    const QString name = QStringLiteral("OVArtisticExtend");
    OVFilter::registerForCopying(
        name, {ImageKey, BackgroundKey, QStringLiteral("rotate"), QStringLiteral("motionBlur")});
    Filter::registerFilter(name, [] { return std::make_shared<OVArtisticExtend>(); });
}

std::optional<OVArtisticExtend::Layout> OVArtisticExtend::layout(const Size& canvas, const Size& photo)
{
    auto usable = [](double length) { return std::isfinite(length) && length > 0 && length < 1e9; };
    if (!usable(canvas.width) || !usable(canvas.height) || !usable(photo.width) || !usable(photo.height))
        return std::nullopt;
    Layout l;
    l.scale = std::max(0.5, std::sqrt(canvas.width * canvas.height) / 1000.0);
    l.dx = (canvas.width - photo.width) * 0.5;
    l.dy = (canvas.height - photo.height) * 0.5;
    l.margin = std::ceil(4.0 * l.scale);
    l.frame = Rect(l.dx - l.margin, l.dy - l.margin, photo.width + 2 * l.margin, photo.height + 2 * l.margin);
    l.canvasBlur = std::round(10.0 * l.scale);
    l.frameBlur = 20.0 * l.scale;
    l.photoBlur = std::round(50.0 * l.scale);
    l.shadowBlur = 15.0 * l.scale;
    l.motionBlur = std::round(100.0 * l.scale);
    return l;
}

Image OVArtisticExtend::outputImage() const
{
    Image canvas = imageValue(BackgroundKey);
    Image photo = imageValue(ImageKey);
    if (canvas.isNull() || photo.isNull())
        return Image();
    // Both are worked on from the origin; the moved images replace the inputs (the filter is used by one
    // thread at a time, and callers read the inputs back moved).
    auto atOrigin = [this](Image& image, const QString& key) {
        const Rect extent = image.extent();
        if (!FrameworkFilterSupport::hasArea(extent))
            return;
        if (std::abs(extent.minX()) + std::abs(extent.minY()) >= 1.0) {
            image =
                image.imageByApplyingTransform(AffineTransform::translation(-extent.minX(), -extent.minY()));
            const_cast<OVArtisticExtend*>(this)->setValue(QVariant::fromValue(image), key);
        }
    };
    atOrigin(canvas, BackgroundKey);
    atOrigin(photo, ImageKey);

    const Rect B = canvas.extent();
    const Rect I = photo.extent();
    const std::optional<Layout> l = layout(B.size, I.size);
    if (!l)
        return Image();
    const Rect canvasRect(0, 0, B.width(), B.height());

    // The canvas backdrop, optionally turned by 180 degrees about its centre.
    AffineTransform turn;
    if (boolValue(QStringLiteral("rotate")))
        turn = AffineTransform().translated(B.width(), B.height()).rotated(M_PI);
    const Image clampedCanvas = clamped(canvas, turn);
    Image backdrop = blurred(clampedCanvas, l->canvasBlur);
    if (boolValue(QStringLiteral("motionBlur")))
        backdrop = builtin(QStringLiteral("CIMotionBlur"), {{ImageKey, var(backdrop)},
                                                            {QStringLiteral("inputRadius"), l->motionBlur},
                                                            {QStringLiteral("inputAngle"), 0.0}})
                       .imageByCroppingToRect(canvasRect);

    const Image frameFill = blurred(clampedCanvas, l->frameBlur).imageByCroppingToRect(l->frame);

    // The photograph turned and stretched over the whole canvas, strongly blurred.
    const AffineTransform stretch = AffineTransform()
                                        .translated(B.width(), B.height())
                                        .scaled(B.width() / I.width(), B.height() / I.height())
                                        .rotated(M_PI);
    const Image stretched = blurred(clamped(photo, stretch), l->photoBlur);

    auto burn = std::make_shared<OVAdjustableBlendFilter>();
    burn->setInputBlendName(QStringLiteral("colorBurn"));
    burn->setInputImage(stretched);
    burn->setInputBackgroundImage(backdrop);
    burn->setInputIntensity(0.7);
    const Image burned = burn->outputImage().imageByCroppingToRect(canvasRect);

    const Image shadow =
        blurred(builtin(QStringLiteral("CIConstantColorGenerator"),
                        {{QStringLiteral("inputColor"), QVariant::fromValue(Color(0, 0, 0, 1))}})
                    .imageByCroppingToRect(l->frame),
                l->shadowBlur);

    Image result = over(shadow, burned);
    result = over(frameFill, result);
    result = over(photo.imageByApplyingTransform(AffineTransform::translation(l->dx, l->dy)), result);
    return result.imageByCroppingToRect(canvasRect);
}
