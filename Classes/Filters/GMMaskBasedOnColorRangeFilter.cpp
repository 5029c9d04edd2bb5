#include "Classes/Filters/GMMaskBasedOnColorRangeFilter.h"

GMMaskBasedOnColorRangeFilter::GMMaskBasedOnColorRangeFilter(const QString& className)
    : GMColorSelectionFilter(className, true, {QStringLiteral("inputIntensity"), QStringLiteral("inputType")})
{
    // Accepted and kept for the effects that set it; the mask does not depend on it.
    declareInput(QStringLiteral("inputColors"));
}
