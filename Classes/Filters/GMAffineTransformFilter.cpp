#include "Classes/Filters/GMAffineTransformFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"
#include <cmath>

using namespace pf;

GMAffineTransformFilter::GMAffineTransformFilter(const QString& className) : GMKernelFilter(className)
{
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputTargetSize"), MaskFilterSupport::vectorAttributes(Vector(400, 400)));
    declareInput(QStringLiteral("inputTranslationVector"), MaskFilterSupport::vectorAttributes(Vector(0, 0)));
}

Image GMAffineTransformFilter::outputImage() const
{
    const Image image = imageValue(QStringLiteral("inputImage"));
    if (image.isNull())
        return Image();
    const Rect extent = image.extent();
    // A zero-size or unbounded image has no scale that reaches the target size.
    if (extent.isNull() || extent.isInfinite() || extent.width() <= 0 || extent.height() <= 0)
        return Image();
    const Vector target = vectorValue(QStringLiteral("inputTargetSize"));
    const Vector translation = vectorValue(QStringLiteral("inputTranslationVector"));
    // Scaling acts first, about the origin; the translation is not scaled.
    const AffineTransform transform = AffineTransform::translation(translation.x(), translation.y())
                                          .scaled(target.x() / extent.width(), target.y() / extent.height());
    if (!std::isfinite(transform.a) || !std::isfinite(transform.d))
        return Image();
    return image.imageByApplyingTransform(transform);
}
