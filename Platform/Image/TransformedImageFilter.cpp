#include "Platform/Image/TransformedImageFilter.h"

#include "Platform/Image/BuiltinFilterSupport.h"

namespace pf {

using namespace builtin;

TransformedImageFilter::TransformedImageFilter(const QString& name) : Filter(name)
{
    declareInput(InputImageKey, imageAttributes());
    declareInput(InputTransformKey, transformAttributes());
}

Image TransformedImageFilter::outputImage() const
{
    const Image input = imageValue(InputImageKey);
    if (input.isNull())
        return Image();
    return beforeTransform(input).imageByApplyingTransform(transformValue(InputTransformKey));
}

} // namespace pf
