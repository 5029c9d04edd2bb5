#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// The detail layer of an image, as healing carries it: every pixel minus the smooth mean of its
// neighbourhood (3 pixels around).
class GMCalcResiduumFilter : public GMKernelPassFilter
{
public:
    explicit GMCalcResiduumFilter(const QString& className = QStringLiteral("GMCalcResiduumFilter"));
};
