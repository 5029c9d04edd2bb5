#pragma once

#include "Classes/Filters/GMAdjustableBlendFilterBase.h"

// The blend layer laid over the background (source-over).
class GMAdjustableSourceOverBlendFilter : public GMAdjustableBlendFilterBase
{
public:
    explicit GMAdjustableSourceOverBlendFilter(
        const QString& className = QStringLiteral("GMAdjustableSourceOverBlendFilter"));
};
