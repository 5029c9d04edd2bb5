#include "Platform/Image/BlendWithMaskFilter.h"

#include "Platform/Image/BuiltinFilterSupport.h"

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

Image BlendWithMaskFilter::outputImage() const
{
    const Image image = imageValue(InputImageKey);
    const Image mask = imageValue(InputMaskImageKey);
    if (image.isNull() || mask.isNull())
        return Image();
    Image background = imageValue(InputBackgroundImageKey);
    if (background.isNull())
        background = Image::emptyImage();
    static const Kernel kernel = kernelNamed(
        QStringLiteral("kernel vec4 blendWithMask(sampler image, sampler background, sampler mask)\n"
                       "{\n"
                       "    float m = clamp(sample(mask, samplerCoord(mask)).g, 0.0, 1.0);\n"
                       "    vec4 top = sample(image, samplerCoord(image));\n"
                       "    vec4 bottom = sample(background, samplerCoord(background));\n"
                       "    return mix(bottom, top, m);\n"
                       "}\n"),
        QStringLiteral("blendWithMask"));
    // The picture shows only where the mask has a value; the background everywhere it exists.
    ApplyOptions options;
    options.definition = background.definition().extent().united(
        image.definition().extent().intersected(mask.definition().extent()));
    options.extent = background.extent().united(image.extent().intersected(mask.extent()));
    return kernel.apply(
        {QVariant::fromValue(image), QVariant::fromValue(background), QVariant::fromValue(mask)}, options);
}

} // namespace pf
