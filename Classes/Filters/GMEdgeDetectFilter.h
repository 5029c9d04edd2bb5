#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// An edge mask of an image: the strength of its luma gradient, 0 where it is below "inputThreshold".
class GMEdgeDetectFilter : public GMKernelFilter
{
public:
    explicit GMEdgeDetectFilter(const QString& className = QStringLiteral("GMEdgeDetectFilter"));
    pf::Image outputImage() const override;
};
