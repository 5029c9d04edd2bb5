#pragma once

#include "Classes/Filters/GMAdjustableBlendFilterBase.h"

// Brightens the background by the blend layer, decreasing contrast (the colour dodge mode).
class GMAdjustableColorDodgeBlendFilter : public GMAdjustableBlendFilterBase
{
public:
    explicit GMAdjustableColorDodgeBlendFilter(
        const QString& className = QStringLiteral("GMAdjustableColorDodgeBlendFilter"));
};
