#include "Platform/Image/SourceOverCompositingFilter.h"

#include "Platform/Image/BuiltinFilterSupport.h"

namespace pf {

using namespace builtin;

SourceOverCompositingFilter::SourceOverCompositingFilter() : Filter(QStringLiteral("CISourceOverCompositing"))
{
    declareInput(InputImageKey, imageAttributes());
    declareInput(InputBackgroundImageKey, imageAttributes());
}

Image SourceOverCompositingFilter::outputImage() const
{
    const Image image = imageValue(InputImageKey);
    const Image background = imageValue(InputBackgroundImageKey);
    if (image.isNull() || background.isNull())
        return Image();
    return image.imageByCompositingOverImage(background);
}

} // namespace pf
