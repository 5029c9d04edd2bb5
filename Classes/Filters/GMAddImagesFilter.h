#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// Adds a difference (detail) image back onto a pattern image; the output has the pattern's extent.
class GMAddImagesFilter : public GMKernelPassFilter
{
public:
    explicit GMAddImagesFilter(const QString& className = QStringLiteral("GMAddImagesFilter"));
};
