#include "Classes/Filters/GMPlaceImageInImageFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"
#include "Platform/Image/Color.h"

#include <cmath>

using namespace pf;

GMPlaceImageInImageFilter::GMPlaceImageInImageFilter(const QString& className) : GMKernelFilter(className)
{
    // Loaded like every member's kernel; the output is built from transforms, which need no kernel.
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputExtent"), MaskFilterSupport::vectorAttributes(Vector(0, 0, 40, 40)));
    declareInput(QStringLiteral("inputBackgroundImage"));
}

Image GMPlaceImageInImageFilter::outputImage() const
{
    const Image image = imageValue(QStringLiteral("inputImage"));
    const Rect source = image.extent();
    // An image without a finite, non-zero size has no scale that fits it to the rectangle.
    if (image.isNull() || source.isNull() || source.isInfinite() || source.width() <= 0 ||
        source.height() <= 0)
        return Image();
    const Vector target = vectorValue(QStringLiteral("inputExtent"));
    const double sx = target.z() / source.width();
    const double sy = target.w() / source.height();
    if (!std::isfinite(sx) || !std::isfinite(sy) || !std::isfinite(target.x()) || !std::isfinite(target.y()))
        return Image();
    // Scaling acts first, about the coordinate origin; then the move to the rectangle's corner.
    const Image placed =
        image.imageByApplyingTransform(AffineTransform::translation(target.x(), target.y()).scaled(sx, sy));
    return placed.imageByCompositingOverImage(Image::constantColor(Color(0, 0, 0, 0)));
}
