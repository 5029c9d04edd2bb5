#pragma once

#include "Classes/Filters/GMFillFromImageFilter.h"

// Fills the masked part of an image with the image's own skin colour, found over the whole image (so the
// whole image is asked for) and blended in by the mask's value.
class GMFillSkinFilter : public GMFillFromImageFilter
{
public:
    explicit GMFillSkinFilter(const QString& className = QStringLiteral("GMFillSkinFilter"));
};
