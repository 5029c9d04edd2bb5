#include "Classes/Filters/GMSelectiveColorChangeCYMKFilter.h"

using namespace pf;

GMSelectiveColorChangeCYMKFilter::GMSelectiveColorChangeCYMKFilter(const QString& className)
    : GMKernelPassFilter(
          className, imagePass(ApplyExtent::OriginZero,
                               {numberInput(QStringLiteral("inputTones"),
                                            {{FilterAttribute::Min, 0.0},
                                             {FilterAttribute::SliderMin, 0.0},
                                             {FilterAttribute::Default, 0.0},
                                             {FilterAttribute::Type, FilterAttribute::TypeDistance}}),
                                numberInput(QStringLiteral("inputIntensity"),
                                            {{FilterAttribute::Default, 0.5},
                                             {FilterAttribute::Type, FilterAttribute::TypeDistance}}),
                                numberInput(QStringLiteral("inputChannel"), distanceAttributes(0.5)),
                                numberInput(QStringLiteral("inputBlackThreshold"), distanceAttributes(0.5)),
                                numberInput(QStringLiteral("inputWhiteThreshold"), distanceAttributes(0.5))}))
{}
