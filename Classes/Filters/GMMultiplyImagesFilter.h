#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Multiplies the image by a pattern image, channel by channel (the pattern read nearest and clamped
// at its edges).
class GMMultiplyImagesFilter : public GMKernelFilter
{
public:
    explicit GMMultiplyImagesFilter(const QString& className = QStringLiteral("GMMultiplyImagesFilter"));
    pf::Image outputImage() const override;
};
