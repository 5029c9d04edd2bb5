#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Hardens an image's alpha: pixels at least half opaque become opaque, the others transparent. The output
// keeps the image's own rectangle.
class GMHardAlphaCutFilter : public GMKernelFilter
{
public:
    explicit GMHardAlphaCutFilter(const QString& className = QStringLiteral("GMHardAlphaCutFilter"));
    pf::Image outputImage() const override;
};
