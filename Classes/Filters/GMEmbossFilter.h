#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Embosses an image: a grey relief of its luma, mixed over the image by "inputIntensity".
class GMEmbossFilter : public GMKernelFilter
{
public:
    explicit GMEmbossFilter(const QString& className = QStringLiteral("GMEmbossFilter"));
    pf::Image outputImage() const override;
};
