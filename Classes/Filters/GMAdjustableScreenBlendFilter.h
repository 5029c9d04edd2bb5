#pragma once

#include "Classes/Filters/GMAdjustableBlendFilterBase.h"

// Inverts, multiplies and inverts again: always lighter (the screen mode).
class GMAdjustableScreenBlendFilter : public GMAdjustableBlendFilterBase
{
public:
    explicit GMAdjustableScreenBlendFilter(
        const QString& className = QStringLiteral("GMAdjustableScreenBlendFilter"));
};
