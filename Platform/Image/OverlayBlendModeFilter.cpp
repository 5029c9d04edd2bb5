#include "Platform/Image/OverlayBlendModeFilter.h"

#include "Platform/Image/BuiltinFilterSupport.h"

#include "Engine/Engine.h"

namespace pf {

using namespace builtin;

OverlayBlendModeFilter::OverlayBlendModeFilter() : Filter(QStringLiteral("CIOverlayBlendMode"))
{
    declareInput(InputImageKey, imageAttributes());
    declareInput(InputBackgroundImageKey, imageAttributes());
}

Image OverlayBlendModeFilter::outputImage() const
{
    const Image image = imageValue(InputImageKey);
    const Image background = imageValue(InputBackgroundImageKey);
    if (image.isNull() || background.isNull())
        return Image();
    // The separable overlay on premultiplied colours: where the background is dark (2 Cb <= 1) the two
    // multiply, elsewhere they screen; each colour shows alone where the other is transparent.
    // Never destroyed: renders and filters on other threads may still use it while the program exits.
    static const Kernel& kernel = *new Kernel(
        kernelNamed(QString::fromUtf8(kernelTexts::Engine::OverlayBlend), QStringLiteral("overlayBlend")));
    ApplyOptions options;
    options.definition = image.definition().extent().united(background.definition().extent());
    options.extent = image.extent().united(background.extent());
    return kernel.apply({QVariant::fromValue(image), QVariant::fromValue(background)}, options);
}

} // namespace pf
