#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// A mask of one tone range of a photo by its luma: "inputTones" 0 the shadows (below the first of
// "inputBorders"), 1 the midtones (between the borders), 2 the highlights (above the second); values in
// between mix the neighbouring ranges. Each range fades in and out over 0.05 around its borders.
class GMMaskToneRangeCustomFilter : public GMKernelFilter
{
public:
    explicit GMMaskToneRangeCustomFilter(
        const QString& className = QStringLiteral("GMMaskToneRangeCustomFilter"));
    pf::Image outputImage() const override;
};
