#include "Classes/Filters/GMMaskBasedOnHueSmoothFilter.h"

GMMaskBasedOnHueSmoothFilter::GMMaskBasedOnHueSmoothFilter(const QString& className)
    : GMColorSelectionFilter(className, false, {QStringLiteral("inputIntensity")})
{}
