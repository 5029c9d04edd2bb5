#pragma once

#include "Platform/Image/Filter.h"

namespace pf {

// What the affine built-in filters share: "inputImage", made ready by the member (clamped, tiled or
// taken as it is), then placed by "inputTransform". Without an input image there is no output.
class TransformedImageFilter : public Filter
{
public:
    Image outputImage() const override;

protected:
    explicit TransformedImageFilter(const QString& name);
    // The input as the transform is to place it.
    virtual Image beforeTransform(const Image& input) const = 0;
};

} // namespace pf
