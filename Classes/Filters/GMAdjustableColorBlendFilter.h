#pragma once

#include "Classes/Filters/GMAdjustableBlendFilterBase.h"

// The blend layer's hue and saturation at the background's luminosity (the colour mode).
class GMAdjustableColorBlendFilter : public GMAdjustableBlendFilterBase
{
public:
    explicit GMAdjustableColorBlendFilter(
        const QString& className = QStringLiteral("GMAdjustableColorBlendFilter"));
};
