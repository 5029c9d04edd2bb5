#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// The difference "inputImage" minus "inputSubImage", channel by channel, keeping the first image's
// place and alpha.
class GMSubtractImagesFilter : public GMKernelPassFilter
{
public:
    explicit GMSubtractImagesFilter(const QString& className = QStringLiteral("GMSubtractImagesFilter"));
};
