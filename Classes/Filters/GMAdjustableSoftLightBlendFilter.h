#pragma once

#include "Classes/Filters/GMAdjustableBlendFilterBase.h"

// Darkens or lightens gently depending on the blend layer (the soft light mode).
class GMAdjustableSoftLightBlendFilter : public GMAdjustableBlendFilterBase
{
public:
    explicit GMAdjustableSoftLightBlendFilter(
        const QString& className = QStringLiteral("GMAdjustableSoftLightBlendFilter"));
};
