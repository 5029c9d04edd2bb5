#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Cuts the soft border of a colour mask at the edges of an edge image: a border pixel that lies beyond an
// edge stronger than "inputThreshold", seen from the mask's inside, leaves the mask. The kernel looks up
// to 22 pixels inward, so both images are asked for 23 pixels around each pixel.
class GMColorMaskBorderCutFilter : public GMKernelFilter
{
public:
    explicit GMColorMaskBorderCutFilter(
        const QString& className = QStringLiteral("GMColorMaskBorderCutFilter"));
    pf::Image outputImage() const override;
};
