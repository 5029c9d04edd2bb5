#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// Inverts a colour mask: 1 - value, grey and opaque.
class GMColorMaskInvertFilter : public GMKernelPassFilter
{
public:
    explicit GMColorMaskInvertFilter(const QString& className = QStringLiteral("GMColorMaskInvertFilter"));
};
