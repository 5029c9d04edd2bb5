#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Merges a mask with a reference mask: where the mask map is white the reference mask takes over, by
// "inputIntensity" (0 keeps the mask). The reference mask and the map are read without interpolation.
// Each output pixel reads only its own pixel of each image.
class GMCombineMasksFilter : public GMKernelFilter
{
public:
    explicit GMCombineMasksFilter(const QString& className = QStringLiteral("GMCombineMasksFilter"));
    pf::Image outputImage() const override;
};
