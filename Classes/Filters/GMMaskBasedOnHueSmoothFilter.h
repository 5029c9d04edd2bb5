#pragma once

#include "Classes/Filters/GMColorSelectionFilter.h"

// Selects the pixels of a photo by their hue's distance from the colour image's hue at the same place,
// falling off smoothly (a bell of width "inputIntensity", in turns of the colour circle); colourless
// pixels have no hue and are not selected.
class GMMaskBasedOnHueSmoothFilter : public GMColorSelectionFilter
{
public:
    explicit GMMaskBasedOnHueSmoothFilter(
        const QString& className = QStringLiteral("GMMaskBasedOnHueSmoothFilter"));
};
