#pragma once

#include "Classes/Filters/GMAutoBrushRegionFilter.h"

// Grows a mask from one brush segment over hair: along the strands, stopped by edges stronger than
// "inputToleranceEdge" (the hairline).
class GMAutoBrushHairFilter : public GMAutoBrushRegionFilter
{
public:
    explicit GMAutoBrushHairFilter(const QString& className = QStringLiteral("GMAutoBrushHairFilter"));
};
