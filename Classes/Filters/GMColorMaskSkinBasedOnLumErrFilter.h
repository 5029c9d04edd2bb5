#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// A skin mask of a photo, judged per pixel from the error of its chroma against the skin tones expected
// at its luminance. "inputColorImage" is accepted and kept; the mask does not depend on it.
class GMColorMaskSkinBasedOnLumErrFilter : public GMKernelPassFilter
{
public:
    explicit GMColorMaskSkinBasedOnLumErrFilter(
        const QString& className = QStringLiteral("GMColorMaskSkinBasedOnLumErrFilter"));
};
