#include "Classes/Filters/GMAdjustableSoftlightColoringBlendFilter.h"

using namespace pf;

GMAdjustableSoftlightColoringBlendFilter::GMAdjustableSoftlightColoringBlendFilter(const QString& className)
    : GMAdjustableBlendFilterBase(
          className, ApplyExtent::OriginZero, 1.0,
          {{QStringLiteral("GMAdjustableSoftlightColoringBlendFilterKernel"), 0},
           {QStringLiteral("GMAdjustableSoftlightColoringBlendFilterKernelDarkHair"), 0}})
{
    declareInput(QStringLiteral("inputColor"),
                 {{FilterAttribute::Default, QVariant::fromValue(Color(0, 0, 0, 1))}});
    declareInput(QStringLiteral("inputMode"), {{FilterAttribute::Min, 0.0},
                                               {FilterAttribute::SliderMin, 0.0},
                                               {FilterAttribute::SliderMax, 1.0},
                                               {FilterAttribute::Default, 0.0},
                                               {FilterAttribute::Type, FilterAttribute::TypeDistance}});
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
