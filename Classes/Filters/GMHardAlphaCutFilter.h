#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// Hardens an image's alpha: pixels at least half opaque become opaque, the others transparent. The output
// keeps the image's own rectangle.
class GMHardAlphaCutFilter : public GMKernelPassFilter
{
public:
    explicit GMHardAlphaCutFilter(const QString& className = QStringLiteral("GMHardAlphaCutFilter"));
};
