#pragma once

#include "Classes/Filters/GMAdjustableBlendFilterBase.h"

// Multiplies or screens by the blend layer, as if lit by a harsh spotlight (the hard light mode).
class GMAdjustableHardLightBlendFilter : public GMAdjustableBlendFilterBase
{
public:
    explicit GMAdjustableHardLightBlendFilter(
        const QString& className = QStringLiteral("GMAdjustableHardLightBlendFilter"));
};
