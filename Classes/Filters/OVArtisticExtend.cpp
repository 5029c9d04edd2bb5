#include "Classes/Filters/OVArtisticExtend.h"

#include "Classes/Filters/FrameworkFilterSupport.h"
#include "Platform/Image/CpuRendering.h"
#include "Platform/Image/Kernel.h"
#include "Platform/Image/ResamplingStages.h"
#include "Platform/Image/Sampler.h"
#include "Platform/Image/Vector.h"

#include <algorithm>
#include <cmath>
#include <vector>

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

// The picture of a bitmap in memory, optionally turned by 180 degrees in its own rectangle, with its edges
// repeated outward and reduced k times by the mean of each k x k block, over the small pixels that lie
// within `margin` of it. Computed on the CPU once and then read by every tile as a small source, instead
// of each tile reducing its share (and a wide border for the blurs) of the full-size picture again.
// `recipe` is the same reduction in passes (its Gaussian prefilter differs from the mean by less than
// the blur that follows can show). Nothing when the picture is not a bitmap in memory.
std::optional<Image> reducedOnCpu(const Image& picture, bool turned, int k, int margin, const Image& recipe)
{
    const auto placed = CpuRendering::placedBitmap(picture);
    if (!placed || placed->x != 0 || placed->y != 0 || k < 2)
        return std::nullopt;
    const Bitmap bitmap = placed->bitmap;
    const int w = bitmap.width(), h = bitmap.height();
    const int cols = (w + k - 1) / k + 2 * margin, rows = (h + k - 1) / k + 2 * margin;
    const bool bytes = bitmap.format() == Bitmap::Format::RGBA8;
    auto render = [bitmap, turned, k, margin, w, h, bytes](const Rect& region, Bitmap& out) {
        const int c0 = int(region.minX()) - margin, r0 = int(region.minY()) - margin; // small pixels, y up
        const int outWidth = out.width(), outHeight = out.height();
        // Taken once, before the bands (see Bitmap::mutableData): `out` may share its pixels.
        uint8_t* const outPixels = out.mutableData();
        const size_t stride = out.bytesPerRow();
        CpuRendering::inBands(outHeight, [&](int begin, int end) {
            std::vector<float> sums(size_t(outWidth) * 4);
            for (int orow = begin; orow < end; ++orow) {
                const int j = r0 + (outHeight - 1 - orow); // small row, y up
                std::fill(sums.begin(), sums.end(), 0.0f);
                for (int dy = 0; dy < k; ++dy) {
                    int y = std::clamp(j * k + dy, 0, h - 1); // picture row, y up
                    if (turned)
                        y = h - 1 - y;
                    const uint8_t* line = bitmap.row(h - 1 - y);
                    for (int c = 0; c < outWidth; ++c) {
                        float* sum = sums.data() + size_t(c) * 4;
                        for (int dx = 0; dx < k; ++dx) {
                            int x = std::clamp((c0 + c) * k + dx, 0, w - 1);
                            if (turned)
                                x = w - 1 - x;
                            for (int ch = 0; ch < 4; ++ch)
                                sum[ch] +=
                                    bytes ? float(line[size_t(x) * 4 + size_t(ch)]) * (1.0f / 255)
                                          : reinterpret_cast<const float*>(line)[size_t(x) * 4 + size_t(ch)];
                        }
                    }
                }
                float* dst = reinterpret_cast<float*>(outPixels + stride * size_t(orow));
                const float scale = 1.0f / float(k * k);
                for (size_t i = 0; i < sums.size(); ++i)
                    dst[i] = sums[i] * scale;
            }
        });
        return true;
    };
    return CpuRendering::attach(recipe,
                                std::make_shared<const CpuRendering>(Rect(-margin, -margin, cols, rows),
                                                                     Bitmap::Format::RGBAf, render));
}

Image clamped(const Image& image, const AffineTransform& transform)
{
    return builtin(
        QStringLiteral("CIAffineClamp"),
        {{ImageKey, var(image)}, {QStringLiteral("inputTransform"), QVariant::fromValue(transform)}});
}

} // namespace

OVArtisticExtend::OVArtisticExtend(const QString& className)
    : OVFilter(className, {ImageKey, BackgroundKey, QStringLiteral("rotate"), QStringLiteral("motionBlur")})
{}

void OVArtisticExtend::registerClass()
{
    registerMember<OVArtisticExtend>(
        QStringLiteral("OVArtisticExtend"),
        {.copied = {ImageKey, BackgroundKey, QStringLiteral("rotate"), QStringLiteral("motionBlur")}});
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
    Image smallCanvas =
        k > 1 ? ResamplingStages::reduce(clamped(canvas, turn), k, &prefilter) : clamped(canvas, turn);
    // What the small blurs and the motion blur reach beyond the canvas, in small pixels.
    const int canvasReach = int(std::ceil((4.0 * l->frameBlur + l->motionBlur) / k)) + 8;
    if (const auto cpu =
            reducedOnCpu(canvas, boolValue(QStringLiteral("rotate")), k, canvasReach, smallCanvas)) {
        smallCanvas = *cpu;
        prefilter = (double(k) * k - 1) / 12.0; // the variance of a k-pixel mean
    }
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
    if (kp > 1) {
        Image reduced = ResamplingStages::reduce(smallPhoto, kp, &photoPrefilter);
        // What the blur reaches beyond the canvas, in the photograph's small pixels.
        const int photoReach = int(std::ceil(4.0 * l->photoBlur / (enlargement * kp))) + 8;
        if (const auto cpu = reducedOnCpu(photo, false, kp, photoReach, reduced)) {
            reduced = *cpu;
            photoPrefilter = (double(kp) * kp - 1) / 12.0;
        }
        smallPhoto = reduced.imageByApplyingTransform(AffineTransform::scale(kp, kp));
    }
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
