#pragma once

#include "Platform/Image/Filter.h"

namespace pf {

// "CIAffineTile": the input's extent repeated over the whole plane, then transformed by
// "inputTransform". The output is infinite.
class AffineTileFilter : public Filter
{
public:
    AffineTileFilter();
    Image outputImage() const override;
};

} // namespace pf
