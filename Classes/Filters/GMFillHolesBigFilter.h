#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// Fills larger, not quite closed holes of a mask: sixteen directions within 23 pixels, one of which may be
// open; the pixel is raised to the level of the lowest of the other walls.
class GMFillHolesBigFilter : public GMKernelPassFilter
{
public:
    explicit GMFillHolesBigFilter(const QString& className = QStringLiteral("GMFillHolesBigFilter"));
};
