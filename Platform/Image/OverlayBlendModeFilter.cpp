#include "Platform/Image/OverlayBlendModeFilter.h"

#include "Platform/Image/BuiltinFilterSupport.h"

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
    static const Kernel kernel = kernelNamed(QStringLiteral(R"(
kernel vec4 overlayBlend(sampler image, sampler background)
{
    vec4 s = sample(image, samplerCoord(image));
    vec4 b = sample(background, samplerCoord(background));
    vec3 multiplied = 2.0 * s.rgb * b.rgb;
    vec3 screened = s.a * b.a - 2.0 * (b.a - b.rgb) * (s.a - s.rgb);
    vec3 blended = compare(2.0 * b.rgb - b.a, multiplied, screened);
    return vec4(blended + s.rgb * (1.0 - b.a) + b.rgb * (1.0 - s.a), s.a + b.a - s.a * b.a);
}
)"),
                                             QStringLiteral("overlayBlend"));
    ApplyOptions options;
    options.definition = image.definition().extent().united(background.definition().extent());
    options.extent = image.extent().united(background.extent());
    return kernel.apply({QVariant::fromValue(image), QVariant::fromValue(background)}, options);
}

} // namespace pf
