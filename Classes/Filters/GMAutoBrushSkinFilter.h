#pragma once

#include "Classes/Filters/GMAutoBrushRegionFilter.h"

// Grows a mask from one brush segment over skin: across its shading, stopped at the outlines of eyes,
// brows, lips and hair. "inputCircleMode" is accepted and kept; the mask does not depend on it.
class GMAutoBrushSkinFilter : public GMAutoBrushRegionFilter
{
public:
    explicit GMAutoBrushSkinFilter(const QString& className = QStringLiteral("GMAutoBrushSkinFilter"));

    // A rectangle of the image's pixels in the reference mask's pixels, scaled by the target frame's
    // width and height. Nothing without an image or a reference mask of some size.
    pf::Rect tansformRect(const pf::Rect& rect) const;
};
