#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// Multiplies the image by a pattern image, channel by channel (the pattern read nearest and clamped
// at its edges).
class GMMultiplyImagesFilter : public GMKernelPassFilter
{
public:
    explicit GMMultiplyImagesFilter(const QString& className = QStringLiteral("GMMultiplyImagesFilter"));
};
