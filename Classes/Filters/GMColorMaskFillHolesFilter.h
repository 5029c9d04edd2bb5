#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// Fills the holes of a colour mask: a pixel enclosed on every side, within 23 pixels, by mask of at least
// one half joins the mask fully.
class GMColorMaskFillHolesFilter : public GMKernelPassFilter
{
public:
    explicit GMColorMaskFillHolesFilter(
        const QString& className = QStringLiteral("GMColorMaskFillHolesFilter"));
};
