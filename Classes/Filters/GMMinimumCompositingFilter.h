#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// The componentwise minimum of image and background, mixed by an intensity; defined where the
// background is, cut to the image's rectangle.
class GMMinimumCompositingFilter : public GMKernelPassFilter
{
public:
    explicit GMMinimumCompositingFilter(
        const QString& className = QStringLiteral("GMMinimumCompositingFilter"));
};
