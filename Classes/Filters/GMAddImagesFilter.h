#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Adds a difference (detail) image back onto a pattern image; the output has the pattern's extent.
class GMAddImagesFilter : public GMKernelFilter
{
public:
    explicit GMAddImagesFilter(const QString& className = QStringLiteral("GMAddImagesFilter"));
    pf::Image outputImage() const override;
};
