#pragma once

#include "Classes/Filters/GMAdjustableBlendFilterBase.h"

// Multiplies or screens depending on the background, keeping its highlights and shadows (the
// overlay mode).
class GMAdjustableOverlayBlendFilter : public GMAdjustableBlendFilterBase
{
public:
    explicit GMAdjustableOverlayBlendFilter(
        const QString& className = QStringLiteral("GMAdjustableOverlayBlendFilter"));
};
