#pragma once

#include "Platform/Image/TransformedImageFilter.h"

namespace pf {

// "CIAffineClamp": the input with its edge pixels repeated outward without end, then transformed by
// "inputTransform". Clamping first keeps edges free of a transparent fringe; the output is infinite.
class AffineClampFilter : public TransformedImageFilter
{
public:
    AffineClampFilter();

protected:
    Image beforeTransform(const Image& input) const override;
};

} // namespace pf
