#pragma once

#include "Classes/Filters/GMAdjustableBlendFilterBase.h"

// The mean of soft light and overlay: a soft light with more contrast.
class GMAdjustableSoftLightOverlayBlendFilter : public GMAdjustableBlendFilterBase
{
public:
    explicit GMAdjustableSoftLightOverlayBlendFilter(
        const QString& className = QStringLiteral("GMAdjustableSoftLightOverlayBlendFilter"));
};
