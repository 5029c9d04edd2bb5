#include "Platform/Image/AffineClampFilter.h"

#include "Platform/Image/BuiltinFilterSupport.h"

namespace pf {

using namespace builtin;

AffineClampFilter::AffineClampFilter() : Filter(QStringLiteral("CIAffineClamp"))
{
    declareInput(InputImageKey, imageAttributes());
    declareInput(InputTransformKey, transformAttributes());
}

Image AffineClampFilter::outputImage() const
{
    const Image input = imageValue(InputImageKey);
    if (input.isNull())
        return Image();
    return input.imageByClampingToExtent().imageByApplyingTransform(transformValue(InputTransformKey));
}

} // namespace pf
