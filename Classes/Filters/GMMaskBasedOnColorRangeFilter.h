#pragma once

#include "Classes/Filters/GMColorSelectionFilter.h"

// Selects the pixels of a photo whose colour lies near the colour image's colour at the same place (a
// picked colour spread over the image, as a rule): hue and saturation count fully, lightness a quarter, so
// that a colour is selected in light and shade. "inputIntensity" is the range selected fully and
// "inputType" the width of the soft edge beyond it. "inputColors" is accepted and kept, not used.
class GMMaskBasedOnColorRangeFilter : public GMColorSelectionFilter
{
public:
    explicit GMMaskBasedOnColorRangeFilter(
        const QString& className = QStringLiteral("GMMaskBasedOnColorRangeFilter"));
};
