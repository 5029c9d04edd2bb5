#pragma once

#include "Classes/Filters/GMAdjustableBlendFilterBase.h"

// Soft light applied only where it lightens the background.
class GMAdjustableSoftLightLightenBlendFilter : public GMAdjustableBlendFilterBase
{
public:
    explicit GMAdjustableSoftLightLightenBlendFilter(
        const QString& className = QStringLiteral("GMAdjustableSoftLightLightenBlendFilter"));
};
