#include "Classes/Framework/ImageFunctions.h"

#include "Classes/Framework/EngineFilters.h"
#include "Classes/Framework/ImageGMCIImageExtensions.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Image/Kernel.h"

#include <cmath>

using namespace pf;

namespace {

bool isFinite(const Rect& rect)
{
    return !rect.isNull() && !rect.isInfinite() && std::isfinite(rect.minX()) && std::isfinite(rect.minY()) &&
           std::isfinite(rect.width()) && std::isfinite(rect.height());
}

// The image's extent when it can be scaled by fractions of it; logs why not otherwise.
std::optional<Rect> scalableExtent(const Image& image, const char* operation)
{
    if (image.isNull())
        return std::nullopt;
    const Rect extent = image.extent();
    if (!isFinite(extent)) {
        pf::warning(QStringLiteral("%1: the image has no finite extent").arg(QLatin1String(operation)));
        return std::nullopt;
    }
    return extent;
}

// floor(W), or 0 for sizes that are not positive numbers.
double wholePixels(double size)
{
    return std::isfinite(size) && size > 0 ? std::floor(size) : 0;
}

struct Scaling
{
    double width, height; // the output size in whole pixels
    double sx, sy;
    Rect crop; // in the scaled image's coordinates
};

// The scale factors and crop that take the part r of the extent to floor(W) x floor(H); nothing when the
// output or the part has no area.
std::optional<Scaling> scaling(const Rect& extent, const Rect& r, double width, double height,
                               const char* operation)
{
    Scaling s;
    s.width = wholePixels(width);
    s.height = wholePixels(height);
    if (s.width == 0 || s.height == 0)
        return std::nullopt;
    const double partWidth = r.size.width * extent.width();
    const double partHeight = r.size.height * extent.height();
    if (!(partWidth > 0) || !(partHeight > 0) || !std::isfinite(partWidth) || !std::isfinite(partHeight)) {
        pf::warning(
            QStringLiteral("%1: the part of the image to scale has no area").arg(QLatin1String(operation)));
        return std::nullopt;
    }
    s.sx = s.width / partWidth;
    s.sy = s.height / partHeight;
    // The part's corner, counted from the extent's origin, in scaled coordinates.
    s.crop = Rect((extent.minX() + r.origin.x * extent.width()) * s.sx,
                  (extent.minY() + r.origin.y * extent.height()) * s.sy, s.width, s.height);
    return s;
}

Image movedToOrigin(const Image& image, const Rect& rect)
{
    return EngineFilters::affineTransform(image, AffineTransform::translation(-rect.minX(), -rect.minY()));
}

enum class Resampling
{
    Lanczos,
    Affine
};

Image scaleImageToSize(const Image& image, double width, double height, Resampling resampling,
                       const char* operation)
{
    const std::optional<Rect> extent = scalableExtent(image, operation);
    if (!extent)
        return Image();
    const double w = wholePixels(width);
    const double h = wholePixels(height);
    if (w == 0 || h == 0)
        return Image::emptyImage();
    if (!(extent->width() > 0) || !(extent->height() > 0)) {
        pf::warning(QStringLiteral("%1: the image has no area").arg(QLatin1String(operation)));
        return Image::emptyImage();
    }
    const double sx = w / extent->width();
    const double sy = h / extent->height();
    if (sx == 1 && sy == 1) {
        pf::warning(QStringLiteral("No transform necc."));
        return image;
    }
    const Image scaled = resampling == Resampling::Lanczos
                             ? EngineFilters::lanczosScale(image, sy, sx / sy)
                             : EngineFilters::affineTransform(image, AffineTransform::scale(sx, sy));
    return EngineFilters::crop(EngineFilters::affineClamp(scaled, AffineTransform::identity()),
                               Rect(0, 0, w, h));
}

// The scaling of a crop-and-scale; without one, `*none` is what the caller gives instead: no image for
// an image that cannot be scaled, an empty one for a crop or size that cannot be.
std::optional<Scaling> cropScaling(const Image& image, const Rect& r, double width, double height,
                                   const char* caller, Image* none)
{
    const std::optional<Rect> extent = scalableExtent(image, caller);
    if (!extent) {
        *none = Image();
        return std::nullopt;
    }
    const std::optional<Scaling> s = scaling(*extent, r, width, height, caller);
    if (!s)
        *none = Image::emptyImage();
    return s;
}

} // namespace

Image cropAndScaleImage(const Image& image, const Rect& r, double width, double height)
{
    Image none;
    const std::optional<Scaling> s = cropScaling(image, r, width, height, "cropAndScaleImage", &none);
    if (!s)
        return none;
    const AffineTransform scale = AffineTransform::scale(s->sx, s->sy);
    if (FilterPtr filter = EngineFilters::registered(QStringLiteral("OVAffineTransformFilter"))) {
        filter->setValue(QVariant::fromValue(image), QStringLiteral("inputImage"));
        filter->setValue(QVariant::fromValue(scale), QStringLiteral("inputTransform"));
        filter->setValue(QVariant::fromValue(s->crop), QStringLiteral("inputCropRect"));
        return filter->value(OutputImageKey).value<Image>();
    }
    return movedToOrigin(image.imageByApplyingTransform(scale).imageByCroppingToRect(s->crop), s->crop);
}

Image lanczosCropAndScaleImage(const Image& image, const Rect& r, double width, double height)
{
    Image none;
    const std::optional<Scaling> s = cropScaling(image, r, width, height, "lanczosCropAndScaleImage", &none);
    if (!s)
        return none;
    const Image scaled = EngineFilters::lanczosScale(image, s->sy, s->sx / s->sy);
    return movedToOrigin(EngineFilters::crop(scaled, s->crop), s->crop);
}

Image scaleImageToSizeLanczos(const Image& image, double width, double height)
{
    return scaleImageToSize(image, width, height, Resampling::Lanczos, "scaleImageToSizeLanczos");
}

Image scaleImageToSizeAffine(const Image& image, double width, double height)
{
    return scaleImageToSize(image, width, height, Resampling::Affine, "scaleImageToSizeAffine");
}

Image placeImageOnTransparent(const Image& image, const Rect& r, double width, double height)
{
    if (image.isNull())
        return Image();
    const Image part =
        cropAndScaleImage(image, Rect(0, 0, 1, 1), r.size.width * width, r.size.height * height);
    if (part.isNull())
        return Image();
    const Image placed = EngineFilters::affineTransform(
        part, AffineTransform::translation(r.origin.x * width, r.origin.y * height));
    return EngineFilters::sourceOver(
        placed, GMCIImageExtensions::imageWithTransparentColorOfSize(Size(width, height)));
}

Image placeImageOnBackground(const Image& image, const Image& background, const Rect& r)
{
    if (image.isNull() || background.isNull())
        return Image();
    const std::optional<Rect> backgroundExtent = scalableExtent(background, "placeImageOnBackground");
    if (!backgroundExtent)
        return Image();
    const double bw = backgroundExtent->width();
    const double bh = backgroundExtent->height();
    const Image part = cropAndScaleImage(image, Rect(0, 0, 1, 1), std::floor(r.size.width * bw),
                                         std::floor(r.size.height * bh));
    if (part.isNull())
        return Image();
    const Image placed = EngineFilters::affineTransform(
        part, AffineTransform::translation(std::floor(r.origin.x * bw), std::floor(r.origin.y * bh)));
    return EngineFilters::sourceOver(placed, background);
}

Image framedImage(const Image& image, const Rect& definition, const Rect& extent)
{
    if (image.isNull())
        return Image();
    ApplyOptions options;
    options.definition = image.definition().extent().intersected(definition);
    options.extent = extent;
    return Kernel::copy().apply({QVariant::fromValue(image)}, options);
}

Image transparentFrame(const Rect& extent)
{
    ApplyOptions options;
    options.definition = Rect::null();
    options.extent = extent;
    return Kernel::copy().apply({QVariant::fromValue(Image::emptyImage())}, options);
}

double minDouble(double a, double b)
{
    return a < b ? a : b;
}

double maxDouble(double a, double b)
{
    return a > b ? a : b;
}
