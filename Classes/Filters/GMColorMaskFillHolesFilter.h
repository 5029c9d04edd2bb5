#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Fills the holes of a colour mask: a pixel enclosed on every side, within 23 pixels, by mask of at least
// one half joins the mask fully.
class GMColorMaskFillHolesFilter : public GMKernelFilter
{
public:
    explicit GMColorMaskFillHolesFilter(
        const QString& className = QStringLiteral("GMColorMaskFillHolesFilter"));
    pf::Image outputImage() const override;
};
