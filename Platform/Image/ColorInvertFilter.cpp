#include "Platform/Image/ColorInvertFilter.h"

#include "Platform/Image/BuiltinFilterSupport.h"

#include "Engine/Engine.h"

namespace pf {

using namespace builtin;

ColorInvertFilter::ColorInvertFilter() : Filter(QStringLiteral("CIColorInvert"))
{
    declareInput(InputImageKey, imageAttributes());
}

Image ColorInvertFilter::outputImage() const
{
    const Image input = imageValue(InputImageKey);
    if (input.isNull())
        return Image();
    // On premultiplied values the complement of the straight colour, times alpha, is alpha - c.
    // Never destroyed: renders and filters on other threads may still use it while the program exits.
    static const Kernel& kernel = *new Kernel(
        kernelNamed(QString::fromUtf8(kernelTexts::Engine::ColorInvert), QStringLiteral("colorInvert")));
    ApplyOptions options;
    options.definition = input.definition().extent();
    options.extent = input.extent();
    return kernel.apply({QVariant::fromValue(input)}, options);
}

} // namespace pf
