#include "Platform/Image/BlendWithMaskFilter.h"

#include "Platform/Image/BuiltinFilterSupport.h"

#include "Engine/Engine.h"

namespace pf {

using namespace builtin;

namespace {
const QString InputMaskImageKey = QStringLiteral("inputMaskImage");
}

BlendWithMaskFilter::BlendWithMaskFilter() : Filter(QStringLiteral("CIBlendWithMask"))
{
    declareInput(InputImageKey, imageAttributes());
    declareInput(InputBackgroundImageKey, imageAttributes());
    declareInput(InputMaskImageKey, imageAttributes());
}

const Kernel& BlendWithMaskFilter::kernel()
{
    // Never destroyed: renders and filters on other threads may still use it while the program exits.
    static const Kernel& blend = *new Kernel(
        kernelNamed(QString::fromUtf8(kernelTexts::Engine::BlendWithMask), QStringLiteral("blendWithMask")));
    return blend;
}

Image BlendWithMaskFilter::outputImage() const
{
    const Image image = imageValue(InputImageKey);
    const Image mask = imageValue(InputMaskImageKey);
    if (image.isNull() || mask.isNull())
        return Image();
    Image background = imageValue(InputBackgroundImageKey);
    if (background.isNull())
        background = Image::emptyImage();
    // The picture shows only where the mask has a value; the background everywhere it exists.
    ApplyOptions options;
    options.definition = background.definition().extent().united(
        image.definition().extent().intersected(mask.definition().extent()));
    options.extent = background.extent().united(image.extent().intersected(mask.extent()));
    return kernel().apply(
        {QVariant::fromValue(image), QVariant::fromValue(background), QVariant::fromValue(mask)}, options);
}

} // namespace pf
