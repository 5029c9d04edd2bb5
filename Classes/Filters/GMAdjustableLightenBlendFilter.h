#pragma once

#include "Classes/Filters/GMAdjustableBlendFilterBase.h"

// The lighter of blend layer and background, channel by channel.
class GMAdjustableLightenBlendFilter : public GMAdjustableBlendFilterBase
{
public:
    explicit GMAdjustableLightenBlendFilter(
        const QString& className = QStringLiteral("GMAdjustableLightenBlendFilter"));
};
