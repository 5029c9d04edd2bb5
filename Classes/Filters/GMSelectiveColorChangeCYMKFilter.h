#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// Selective colour: changes one ink ("inputChannel": cyan, magenta, yellow or black by quarters of
// 0..1) by "inputIntensity" (relative) in one tonal range ("inputTones": 1 blacks, 2 neutrals,
// 3 whites, otherwise all pixels), the ranges split at "inputBlackThreshold" and "inputWhiteThreshold".
class GMSelectiveColorChangeCYMKFilter : public GMKernelPassFilter
{
public:
    explicit GMSelectiveColorChangeCYMKFilter(
        const QString& className = QStringLiteral("GMSelectiveColorChangeCYMKFilter"));
};
