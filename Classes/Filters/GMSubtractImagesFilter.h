#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// The difference "inputImage" minus "inputSubImage", channel by channel, keeping the first image's
// place and alpha.
class GMSubtractImagesFilter : public GMKernelFilter
{
public:
    explicit GMSubtractImagesFilter(const QString& className = QStringLiteral("GMSubtractImagesFilter"));
    pf::Image outputImage() const override;
};
