#pragma once

#include "Classes/Filters/GMColorSelectionFilter.h"

// Selects the pixels of a photo whose RGB colour lies near the colour image's colour at the same place:
// "inputIntensity" is the distance selected fully and "inputType" the width of the soft edge beyond it.
class GMMaskBasedOnRGBFilter : public GMColorSelectionFilter
{
public:
    explicit GMMaskBasedOnRGBFilter(const QString& className = QStringLiteral("GMMaskBasedOnRGBFilter"));
};
