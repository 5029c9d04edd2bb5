#pragma once

#include "Classes/Filters/GMAdjustableBlendFilterBase.h"

// Overlay that fades out toward black and white backgrounds, so deep shadows and highlights keep
// their tone.
class GMAdjustableAdaptiveOverlayBlendFilter : public GMAdjustableBlendFilterBase
{
public:
    explicit GMAdjustableAdaptiveOverlayBlendFilter(
        const QString& className = QStringLiteral("GMAdjustableAdaptiveOverlayBlendFilter"));
};
