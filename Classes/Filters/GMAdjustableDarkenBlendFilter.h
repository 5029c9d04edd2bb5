#pragma once

#include "Classes/Filters/GMAdjustableBlendFilterBase.h"

// The darker of blend layer and background, channel by channel.
class GMAdjustableDarkenBlendFilter : public GMAdjustableBlendFilterBase
{
public:
    explicit GMAdjustableDarkenBlendFilter(
        const QString& className = QStringLiteral("GMAdjustableDarkenBlendFilter"));
};
