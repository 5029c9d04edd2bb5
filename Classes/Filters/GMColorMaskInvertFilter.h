#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Inverts a colour mask: 1 - value, grey and opaque.
class GMColorMaskInvertFilter : public GMKernelFilter
{
public:
    explicit GMColorMaskInvertFilter(const QString& className = QStringLiteral("GMColorMaskInvertFilter"));
    pf::Image outputImage() const override;
};
