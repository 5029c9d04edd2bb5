#include "Classes/Filters/OVArtisticExtend.h"

#include "Classes/Filters/FrameworkFilterSupport.h"
#include "Platform/Image/Kernel.h"
#include "Platform/Image/ResamplingStages.h"
#include "Platform/Image/Sampler.h"
#include "Platform/Image/Vector.h"

#include <algorithm>
#include <cmath>

using namespace pf;
using FrameworkFilterSupport::builtin;
using FrameworkFilterSupport::var;

namespace {

const QString ImageKey = QStringLiteral("inputImage");
const QString BackgroundKey = QStringLiteral("inputBackgroundImage");

// How strongly the stretched photograph burns into the canvas.
constexpr double BurnIntensity = 0.7;

// How much coarser than the canvas its blurs are computed: as much as keeps the narrowest of them several
// small pixels wide. 1 for blurs too narrow to gain from it.
int reduction(double narrowestSigma)
{
    return std::clamp(int(std::floor(narrowestSigma / 4.0)), 1, 8);
}

// The blur of standard deviation `sigma` canvas pixels of an image on a grid k times coarser, for
// enlarging k times by linear interpolation. What reducing already blurred (`prefilter`, canvas pixels
// squared) and what the interpolation adds (a sixth of a small pixel squared) come off the small blur.
Image smallBlur(const Image& small, double sigma, int k, double prefilter)
{
    const double interpolation = k > 1 ? 1.0 / 6.0 : 0.0;
    const double rest = (sigma * sigma - prefilter) / (double(k) * k) - interpolation;
    if (!(rest > 1e-6))
        return small;
    return ResamplingStages::gaussian(small, std::sqrt(rest));
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
    const Kernel compose = kernel();
    if (compose.isNull())
        return Image();

    // Every blurred layer is computed on a grid `k` times coarser than the canvas and enlarged by the
    // reading pass: blurs this wide look the same from a small image, and the full-size work is left
    // to the one pass that puts everything together.
    const int k = reduction(l->canvasBlur);
    const AffineTransform enlarge = AffineTransform::scale(k, k);
    const AffineTransform shrink = AffineTransform::scale(1.0 / k, 1.0 / k);

    // The canvas backdrop, optionally turned by 180 degrees about its centre, and the frame's fill share
    // one reduction of the canvas.
    AffineTransform turn;
    if (boolValue(QStringLiteral("rotate")))
        turn = AffineTransform().translated(B.width(), B.height()).rotated(M_PI);
    double prefilter = 0;
    const Image smallCanvas =
        k > 1 ? ResamplingStages::reduce(clamped(canvas, turn), k, &prefilter) : clamped(canvas, turn);
    Image backdrop = smallBlur(smallCanvas, l->canvasBlur, k, prefilter);
    if (boolValue(QStringLiteral("motionBlur")))
        backdrop =
            builtin(QStringLiteral("CIMotionBlur"), {{ImageKey, var(backdrop)},
                                                     {QStringLiteral("inputRadius"), l->motionBlur / k},
                                                     {QStringLiteral("inputAngle"), 0.0}});
    // Only the frame's margin shows around an opaque photograph; cut to the frame (and a little more, so
    // that its edge pixels enlarge from their own neighbours), only that part of the fill is computed.
    const Image frameFill = smallBlur(smallCanvas, l->frameBlur, k, prefilter)
                                .imageByApplyingTransform(enlarge)
                                .imageByCroppingToRect(l->frame.insetBy(-2.0 * k, -2.0 * k));

    // The photograph turned and stretched over the whole canvas, strongly blurred. It is reduced in its
    // own pixels, no coarser than the small grid, and then laid onto that grid.
    const AffineTransform stretch = AffineTransform()
                                        .translated(B.width(), B.height())
                                        .scaled(B.width() / I.width(), B.height() / I.height())
                                        .rotated(M_PI);
    const double enlargement = std::max(B.width() / I.width(), B.height() / I.height());
    const int kp = std::clamp(int(std::floor(k / enlargement)), 1, 16);
    double photoPrefilter = 0;
    Image smallPhoto = clamped(photo, AffineTransform());
    if (kp > 1)
        smallPhoto = ResamplingStages::reduce(smallPhoto, kp, &photoPrefilter)
                         .imageByApplyingTransform(AffineTransform::scale(kp, kp));
    const Image stretched =
        smallBlur(smallPhoto.imageByApplyingTransform(stretch).imageByApplyingTransform(shrink), l->photoBlur,
                  k, photoPrefilter * enlargement * enlargement);

    // The blurred frame rectangle that darkens the canvas under it, as the pixels a crop keeps.
    const Rect& f = l->frame;
    const Vector shadowBox(std::ceil(f.minX() - 0.5), std::ceil(f.minY() - 0.5), std::ceil(f.maxX() - 0.5),
                           std::ceil(f.maxY() - 0.5));

    ApplyOptions options;
    options.definition = canvasRect;
    options.extent = canvasRect;
    const Image result =
        compose.apply({QVariant::fromValue(Sampler(backdrop.imageByApplyingTransform(enlarge))),
                       QVariant::fromValue(Sampler(stretched.imageByApplyingTransform(enlarge))),
                       QVariant::fromValue(Sampler(frameFill)),
                       QVariant::fromValue(Sampler(
                           photo.imageByApplyingTransform(AffineTransform::translation(l->dx, l->dy)))),
                       QVariant::fromValue(Vector(f.minX(), f.minY(), f.maxX(), f.maxY())),
                       QVariant::fromValue(shadowBox), l->shadowBlur, BurnIntensity},
                      options);
    return result.imageByCroppingToRect(canvasRect);
}
