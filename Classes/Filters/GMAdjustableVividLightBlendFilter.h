#pragma once

#include "Classes/Filters/GMAdjustableBlendFilterBase.h"

// Burns or dodges depending on the blend layer (the vivid light mode).
class GMAdjustableVividLightBlendFilter : public GMAdjustableBlendFilterBase
{
public:
    explicit GMAdjustableVividLightBlendFilter(
        const QString& className = QStringLiteral("GMAdjustableVividLightBlendFilter"));
};
