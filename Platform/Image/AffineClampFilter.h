#pragma once

#include "Platform/Image/Filter.h"

namespace pf {

// "CIAffineClamp": the input with its edge pixels repeated outward without end, then transformed by
// "inputTransform". Clamping first keeps edges free of a transparent fringe; the output is infinite.
class AffineClampFilter : public Filter
{
public:
    AffineClampFilter();
    Image outputImage() const override;
};

} // namespace pf
