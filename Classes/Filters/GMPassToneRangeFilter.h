#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// Passes the pixels of one tone range of a photo and makes the others transparent: "inputToneRange" 0 the
// shadows, 1 the midtones, 2 the highlights (thirds of the luma, with soft borders).
class GMPassToneRangeFilter : public GMKernelPassFilter
{
public:
    explicit GMPassToneRangeFilter(const QString& className = QStringLiteral("GMPassToneRangeFilter"));
};
