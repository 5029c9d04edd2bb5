#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// An edge mask of an image: the strength of its luma gradient, 0 where it is below "inputThreshold".
class GMEdgeDetectFilter : public GMKernelPassFilter
{
public:
    explicit GMEdgeDetectFilter(const QString& className = QStringLiteral("GMEdgeDetectFilter"));
};
