#include "Classes/Filters/GMAutoBrushSkinFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace pf;
using namespace MaskFilterSupport;

GMAutoBrushSkinFilter::GMAutoBrushSkinFilter(const QString& className)
    : GMAutoBrushRegionFilter(className, QStringLiteral("GMAutoBrushSkinFilterKernel"),
                              QStringLiteral("GMAutoBrushSkinRefMaskFilterKernel"), 0.3, false, true)
{
    declareInput(QStringLiteral("inputTargetFrame"),
                 vectorAttributes(Vector(0, 0, 1, 1), FilterAttribute::TypePosition));
    declareInput(QStringLiteral("inputCircleMode"),
                 numberAttributes({.min = 0, .max = 1, .defaultValue = 0}));
}

Rect GMAutoBrushSkinFilter::tansformRect(const Rect& rect) const
{
    const Image image = imageValue(QStringLiteral("inputImage"));
    const Image reference = imageValue(QStringLiteral("inputReferenceMask"));
    if (image.isNull() || reference.isNull() || image.extent().isNull() || image.extent().isEmpty())
        return Rect::null();
    const Vector frame = vectorValue(QStringLiteral("inputTargetFrame"));
    const double sx = frame.z() * reference.extent().width() / image.extent().width();
    const double sy = frame.w() * reference.extent().height() / image.extent().height();
    return Rect(rect.minX() * sx, rect.minY() * sy, rect.width() * sx, rect.height() * sy);
}
