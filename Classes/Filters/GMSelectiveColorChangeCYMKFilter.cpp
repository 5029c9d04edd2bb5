#include "Classes/Filters/GMSelectiveColorChangeCYMKFilter.h"

using namespace pf;

GMSelectiveColorChangeCYMKFilter::GMSelectiveColorChangeCYMKFilter(const QString& className)
    : GMKernelPassFilter(
          className,
          imagePass(
              ApplyExtent::OriginZero,
              {{QStringLiteral("inputTones"),
                std::nullopt,
                {{FilterAttribute::Min, 0.0},
                 {FilterAttribute::SliderMin, 0.0},
                 {FilterAttribute::Default, 0.0},
                 {FilterAttribute::Type, FilterAttribute::TypeDistance}}},
               {QStringLiteral("inputIntensity"),
                std::nullopt,
                {{FilterAttribute::Default, 0.5}, {FilterAttribute::Type, FilterAttribute::TypeDistance}}},
               {QStringLiteral("inputChannel"), std::nullopt, distanceAttributes(0.5)},
               {QStringLiteral("inputBlackThreshold"), std::nullopt, distanceAttributes(0.5)},
               {QStringLiteral("inputWhiteThreshold"), std::nullopt, distanceAttributes(0.5)}}))
{}
