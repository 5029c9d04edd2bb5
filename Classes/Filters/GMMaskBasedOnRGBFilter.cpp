#include "Classes/Filters/GMMaskBasedOnRGBFilter.h"

GMMaskBasedOnRGBFilter::GMMaskBasedOnRGBFilter(const QString& className)
    : GMColorSelectionFilter(className, true, {QStringLiteral("inputIntensity"), QStringLiteral("inputType")})
{}
