#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Levels with the three tones as separate numbers, "inputMinTone", "inputMidTone" and "inputMaxTone"
// (the mid tone's default is 0, not the neutral 0.5); the same kernel text as GMLevelAdjustFilter.
class GMLevelAdjustSVFilter : public GMKernelFilter
{
public:
    explicit GMLevelAdjustSVFilter(const QString& className = QStringLiteral("GMLevelAdjustSVFilter"));
    pf::Image outputImage() const override;
};
