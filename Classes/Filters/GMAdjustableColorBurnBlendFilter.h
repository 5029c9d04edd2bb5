#pragma once

#include "Classes/Filters/GMAdjustableBlendFilterBase.h"

// Darkens the background by the blend layer, increasing contrast (the colour burn mode).
class GMAdjustableColorBurnBlendFilter : public GMAdjustableBlendFilterBase
{
public:
    explicit GMAdjustableColorBurnBlendFilter(
        const QString& className = QStringLiteral("GMAdjustableColorBurnBlendFilter"));
};
