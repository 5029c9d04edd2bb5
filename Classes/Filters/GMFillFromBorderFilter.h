#pragma once

#include "Classes/Filters/GMFillFromImageFilter.h"

// Fills the masked part of an image (a patch, as a rule) from the image's border: inside the mask each
// pixel takes the colour interpolated from the four sides of the image's rectangle, blended by the mask's
// value. The kernel reads the border whatever the destination, so the whole image is asked for.
class GMFillFromBorderFilter : public GMFillFromImageFilter
{
public:
    explicit GMFillFromBorderFilter(const QString& className = QStringLiteral("GMFillFromBorderFilter"));
};
