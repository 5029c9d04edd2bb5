#include "Classes/Filters/GMHSLChannelAdjustmentFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace pf;

GMHSLChannelAdjustmentFilter::GMHSLChannelAdjustmentFilter(const QString& className)
    : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputChannelBorders"),
                 MaskFilterSupport::vectorAttributes(Vector(0, 0, 0, 0), FilterAttribute::TypeRectangle));
    declareInput(QStringLiteral("inputHSLAdjustments"),
                 {{FilterAttribute::Default, QVariant::fromValue(Vector(0, 0, 0))},
                  {FilterAttribute::Identity, QVariant::fromValue(Vector(0, 0, 0))},
                  {FilterAttribute::Type, QStringLiteral("CIAttributeTypePosition3")}});
    declareInput(QStringLiteral("inputIntensity"), distanceAttributes(0.5));
}

Image GMHSLChannelAdjustmentFilter::outputImage() const
{
    const QString borders = QStringLiteral("inputChannelBorders");
    const QString adjustments = QStringLiteral("inputHSLAdjustments");
    const Vector b = vectorValue(borders);
    const Vector a = vectorValue(adjustments);
    return applyToInputImage(
        0, ApplyExtent::OriginZero,
        {hasValue(borders) ? QVariant::fromValue(Vector(b.x(), b.y(), b.z(), b.w())) : QVariant(),
         hasValue(adjustments) ? QVariant::fromValue(Vector(a.x(), a.y(), a.z())) : QVariant(),
         numberArgument(QStringLiteral("inputIntensity"))});
}
