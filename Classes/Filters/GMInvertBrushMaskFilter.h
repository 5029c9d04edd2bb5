#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// Inverts a painted mask: each colour channel becomes its complement, opaque. The output covers the mask's
// own rectangle.
class GMInvertBrushMaskFilter : public GMKernelPassFilter
{
public:
    explicit GMInvertBrushMaskFilter(const QString& className = QStringLiteral("GMInvertBrushMaskFilter"));
};
