#include "Platform/Image/AffineTransformFilter.h"

#include "Platform/Image/BuiltinFilterSupport.h"

namespace pf {

using namespace builtin;

AffineTransformFilter::AffineTransformFilter() : Filter(QStringLiteral("CIAffineTransform"))
{
    declareInput(InputImageKey, imageAttributes());
    declareInput(InputTransformKey, transformAttributes());
}

Image AffineTransformFilter::outputImage() const
{
    const Image input = imageValue(InputImageKey);
    if (input.isNull())
        return Image();
    return input.imageByApplyingTransform(transformValue(InputTransformKey));
}

} // namespace pf
