#include "Classes/Filters/GMAdjustableSoftlightColoringBlendFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace pf;

GMAdjustableSoftlightColoringBlendFilter::GMAdjustableSoftlightColoringBlendFilter(const QString& className)
    : GMAdjustableBlendFilterBase(
          className, ApplyExtent::OriginZero, 1.0,
          {{QStringLiteral("GMAdjustableSoftlightColoringBlendFilterKernel"), 0},
           {QStringLiteral("GMAdjustableSoftlightColoringBlendFilterKernelDarkHair"), 0}})
{
    declareInput(QStringLiteral("inputColor"), MaskFilterSupport::colorAttributes(Color(0, 0, 0, 1)));
    declareInput(QStringLiteral("inputMode"), distanceAttributes(0.0));
}

Image GMAdjustableSoftlightColoringBlendFilter::outputImage() const
{
    // Unset, zero, negative and NaN all choose the first kernel.
    const double mode = numberValue(QStringLiteral("inputMode"));
    const Kernel kernel = kernelSlot(mode > 0 ? 1 : 0);
    // An unset colour is the default opaque black rather than a missing argument.
    const Color color =
        hasValue(QStringLiteral("inputColor")) ? colorValue(QStringLiteral("inputColor")) : Color(0, 0, 0, 1);
    return applyBlend(kernel, {QVariant::fromValue(color)});
}
