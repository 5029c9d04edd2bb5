#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// Cuts the soft border of a colour mask at the edges of an edge image: a border pixel that lies beyond an
// edge stronger than "inputThreshold", seen from the mask's inside, leaves the mask. The kernel looks up
// to 22 pixels inward, so both images are asked for 23 pixels around each pixel.
class GMColorMaskBorderCutFilter : public GMKernelPassFilter
{
public:
    explicit GMColorMaskBorderCutFilter(
        const QString& className = QStringLiteral("GMColorMaskBorderCutFilter"));
};
