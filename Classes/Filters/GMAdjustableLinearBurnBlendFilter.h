#pragma once

#include "Classes/Filters/GMAdjustableBlendFilterBase.h"

// Adds blend layer and background and subtracts white (the linear burn mode).
class GMAdjustableLinearBurnBlendFilter : public GMAdjustableBlendFilterBase
{
public:
    explicit GMAdjustableLinearBurnBlendFilter(
        const QString& className = QStringLiteral("GMAdjustableLinearBurnBlendFilter"));
};
