#pragma once

#include "Platform/Image/Filter.h"

namespace pf {

// "CIConstantColorGenerator": "inputColor" everywhere (infinite).
class ConstantColorGeneratorFilter : public Filter
{
public:
    ConstantColorGeneratorFilter();
    Image outputImage() const override;
};

} // namespace pf
