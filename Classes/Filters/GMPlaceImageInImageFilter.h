#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Scales and moves an image into the rectangle "inputExtent" (x, y, width, height) on an unbounded
// transparent plane. "inputBackgroundImage" is accepted and kept but not used.
class GMPlaceImageInImageFilter : public GMKernelFilter
{
public:
    explicit GMPlaceImageInImageFilter(
        const QString& className = QStringLiteral("GMPlaceImageInImageFilter"));
    pf::Image outputImage() const override;
};
