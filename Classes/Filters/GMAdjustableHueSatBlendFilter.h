#pragma once

#include "Classes/Filters/GMAdjustableBlendFilterBase.h"

// The blend layer's hue and saturation with the background's lightness, in the HSL model.
class GMAdjustableHueSatBlendFilter : public GMAdjustableBlendFilterBase
{
public:
    explicit GMAdjustableHueSatBlendFilter(
        const QString& className = QStringLiteral("GMAdjustableHueSatBlendFilter"));
};
