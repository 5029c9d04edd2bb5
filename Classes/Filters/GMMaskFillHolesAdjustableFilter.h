#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// Fills the holes of a mask up to a size chosen by "inputMode": 0 the smallest (4 pixels around), 4 the
// largest (22 pixels around); a hole is raised to the lowest wall that closes it. The filter asks for 23
// pixels around each pixel, enough for every mode.
class GMMaskFillHolesAdjustableFilter : public GMKernelPassFilter
{
public:
    explicit GMMaskFillHolesAdjustableFilter(
        const QString& className = QStringLiteral("GMMaskFillHolesAdjustableFilter"));
};
