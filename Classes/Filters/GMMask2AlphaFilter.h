#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Moves a mask (its colour) into an image's alpha: the image multiplied by the mask, so it keeps its
// colour and becomes as opaque as the mask allows. Defined where the mask is.
class GMMask2AlphaFilter : public GMKernelFilter
{
public:
    explicit GMMask2AlphaFilter(const QString& className = QStringLiteral("GMMask2AlphaFilter"));
    pf::Image outputImage() const override;
};
