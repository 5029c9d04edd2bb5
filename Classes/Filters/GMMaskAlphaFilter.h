#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Replaces an image's alpha with a mask (its colour), keeping the image's colour. Defined where the image
// is.
class GMMaskAlphaFilter : public GMKernelFilter
{
public:
    explicit GMMaskAlphaFilter(const QString& className = QStringLiteral("GMMaskAlphaFilter"));
    pf::Image outputImage() const override;
};
