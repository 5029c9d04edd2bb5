#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Keeps the inner part of a soft mask: values above one half are stretched to 0..1 and the fringe below
// is cut. Each pixel reads only itself. The output covers the mask's size at the origin.
class GMInnerCutFilter : public GMKernelFilter
{
public:
    explicit GMInnerCutFilter(const QString& className = QStringLiteral("GMInnerCutFilter"));
    pf::Image outputImage() const override;
};
