#include "Classes/Filters/GMHSLColorAdjustFilter.h"

using namespace pf;

GMHSLColorAdjustFilter::GMHSLColorAdjustFilter(const QString& className) : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    for (const char* key : {"inputHue", "inputSaturation", "inputLightness", "inputPercentage"})
        declareInput(QString::fromLatin1(key), {{FilterAttribute::Min, 0.0},
                                                {FilterAttribute::SliderMin, 0.0},
                                                {FilterAttribute::SliderMax, 1.0},
                                                {FilterAttribute::Default, 1.0},
                                                {FilterAttribute::Type, FilterAttribute::TypeDistance}});
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
