#include "Classes/Filters/GMSelectiveColorChangeCYMKFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace pf;

GMSelectiveColorChangeCYMKFilter::GMSelectiveColorChangeCYMKFilter(const QString& className)
    : GMKernelPassFilter(
          className, imagePass(ApplyExtent::OriginZero,
                               {numberInput(QStringLiteral("inputTones"),
                                            MaskFilterSupport::numberAttributes(
                                                {.min = 0, .sliderMin = 0, .defaultValue = 0})),
                                numberInput(QStringLiteral("inputIntensity"),
                                            MaskFilterSupport::numberAttributes({.defaultValue = 0.5})),
                                numberInput(QStringLiteral("inputChannel"), distanceAttributes(0.5)),
                                numberInput(QStringLiteral("inputBlackThreshold"), distanceAttributes(0.5)),
                                numberInput(QStringLiteral("inputWhiteThreshold"), distanceAttributes(0.5))}))
{}
