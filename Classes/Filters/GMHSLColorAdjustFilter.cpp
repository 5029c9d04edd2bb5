#include "Classes/Filters/GMHSLColorAdjustFilter.h"

using namespace pf;

GMHSLColorAdjustFilter::GMHSLColorAdjustFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    for (const char* key : {"inputHue", "inputSaturation", "inputLightness", "inputPercentage"})
        declareInput(QString::fromLatin1(key), distanceAttributes(1.0));
}

Image GMHSLColorAdjustFilter::outputImage() const
{
    const Vector adjustment(float(numberValue(QStringLiteral("inputHue"))),
                            float(numberValue(QStringLiteral("inputSaturation"))),
                            float(numberValue(QStringLiteral("inputLightness"))));
    return applyToInputImage(
        0, ApplyExtent::OriginZero,
        {QVariant::fromValue(adjustment), numberArgument(QStringLiteral("inputPercentage"))});
}
