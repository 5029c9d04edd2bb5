#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Lightens an image so that its white point (where 99.5% of its pixels are darker, read from
// "inputHistogramImage", made by GMHistogramImage) becomes white; at most four times brighter.
class GMHistogramBasedLighteningFilter : public GMKernelFilter
{
public:
    explicit GMHistogramBasedLighteningFilter(
        const QString& className = QStringLiteral("GMHistogramBasedLighteningFilter"));
    pf::Image outputImage() const override;
};
