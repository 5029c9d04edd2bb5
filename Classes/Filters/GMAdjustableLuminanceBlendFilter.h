#pragma once

#include "Classes/Filters/GMAdjustableBlendFilterBase.h"

// The background's hue and saturation at the blend layer's luminosity (the luminosity mode); starts
// at half intensity.
class GMAdjustableLuminanceBlendFilter : public GMAdjustableBlendFilterBase
{
public:
    explicit GMAdjustableLuminanceBlendFilter(
        const QString& className = QStringLiteral("GMAdjustableLuminanceBlendFilter"));
};
