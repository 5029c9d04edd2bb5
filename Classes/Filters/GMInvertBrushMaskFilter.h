#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Inverts a painted mask: each colour channel becomes its complement, opaque. The output covers the mask's
// own rectangle.
class GMInvertBrushMaskFilter : public GMKernelFilter
{
public:
    explicit GMInvertBrushMaskFilter(const QString& className = QStringLiteral("GMInvertBrushMaskFilter"));
    pf::Image outputImage() const override;
};
