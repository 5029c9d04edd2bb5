#include "Classes/Filters/GMSelectiveColorChangeCYMKFilter.h"

using namespace pf;

namespace {

QVariantMap unitRange(double defaultValue)
{
    return {{FilterAttribute::Min, 0.0},
            {FilterAttribute::SliderMin, 0.0},
            {FilterAttribute::SliderMax, 1.0},
            {FilterAttribute::Default, defaultValue},
            {FilterAttribute::Type, FilterAttribute::TypeDistance}};
}

} // namespace

GMSelectiveColorChangeCYMKFilter::GMSelectiveColorChangeCYMKFilter(const QString& className)
    : GMKernelFilter(className)
{
    loadDefaultKernel();
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputTones"), {{FilterAttribute::Min, 0.0},
                                                {FilterAttribute::SliderMin, 0.0},
                                                {FilterAttribute::Default, 0.0},
                                                {FilterAttribute::Type, FilterAttribute::TypeDistance}});
    declareInput(QStringLiteral("inputIntensity"),
                 {{FilterAttribute::Default, 0.5}, {FilterAttribute::Type, FilterAttribute::TypeDistance}});
    declareInput(QStringLiteral("inputChannel"), unitRange(0.5));
    declareInput(QStringLiteral("inputBlackThreshold"), unitRange(0.5));
    declareInput(QStringLiteral("inputWhiteThreshold"), unitRange(0.5));
}

Image GMSelectiveColorChangeCYMKFilter::outputImage() const
{
    QVariantList arguments;
    for (const char* key :
         {"inputTones", "inputIntensity", "inputChannel", "inputBlackThreshold", "inputWhiteThreshold"})
        arguments << numberArgument(QString::fromLatin1(key));
    return applyToInputImage(0, ApplyExtent::OriginZero, arguments);
}
