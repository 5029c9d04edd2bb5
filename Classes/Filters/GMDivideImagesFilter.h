#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// Divides the image by a pattern image, channel by channel (the pattern read nearest and clamped at
// its edges); the inverse of GMMultiplyImagesFilter with the same pattern.
class GMDivideImagesFilter : public GMKernelPassFilter
{
public:
    explicit GMDivideImagesFilter(const QString& className = QStringLiteral("GMDivideImagesFilter"));
};
