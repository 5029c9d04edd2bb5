#pragma once

#include "Platform/Image/TransformedImageFilter.h"

namespace pf {

// "CIAffineTile": the input's extent repeated over the whole plane, then transformed by
// "inputTransform". The output is infinite.
class AffineTileFilter : public TransformedImageFilter
{
public:
    AffineTileFilter();

protected:
    Image beforeTransform(const Image& input) const override;
};

} // namespace pf
