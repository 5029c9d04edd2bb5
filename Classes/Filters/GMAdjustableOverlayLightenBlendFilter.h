#pragma once

#include "Classes/Filters/GMAdjustableBlendFilterBase.h"

// Overlay applied only where it lightens the background.
class GMAdjustableOverlayLightenBlendFilter : public GMAdjustableBlendFilterBase
{
public:
    explicit GMAdjustableOverlayLightenBlendFilter(
        const QString& className = QStringLiteral("GMAdjustableOverlayLightenBlendFilter"));
};
