#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// A hard mask of the pixels whose channel "inputChannel" (0 red, 1 green, 2 blue of the straight colour,
// 3 alpha) exceeds "inputThreshold".
class GMSelectChannelThresholdFilter : public GMKernelFilter
{
public:
    explicit GMSelectChannelThresholdFilter(
        const QString& className = QStringLiteral("GMSelectChannelThresholdFilter"));
    pf::Image outputImage() const override;
};
