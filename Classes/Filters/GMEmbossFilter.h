#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// Embosses an image: a grey relief of its luma, mixed over the image by "inputIntensity".
class GMEmbossFilter : public GMKernelPassFilter
{
public:
    explicit GMEmbossFilter(const QString& className = QStringLiteral("GMEmbossFilter"));
};
