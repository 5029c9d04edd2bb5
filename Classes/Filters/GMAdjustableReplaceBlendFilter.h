#pragma once

#include "Classes/Filters/GMAdjustableBlendFilterBase.h"

// The blend layer replaces the background, transparent parts included.
class GMAdjustableReplaceBlendFilter : public GMAdjustableBlendFilterBase
{
public:
    explicit GMAdjustableReplaceBlendFilter(
        const QString& className = QStringLiteral("GMAdjustableReplaceBlendFilter"));
};
