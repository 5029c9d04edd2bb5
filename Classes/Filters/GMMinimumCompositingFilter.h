#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// The componentwise minimum of image and background, mixed by an intensity; defined where the
// background is, cut to the image's rectangle.
class GMMinimumCompositingFilter : public GMKernelFilter
{
public:
    explicit GMMinimumCompositingFilter(
        const QString& className = QStringLiteral("GMMinimumCompositingFilter"));
    pf::Image outputImage() const override;
};
