#include "Classes/Filters/GMWhiteTransparentMask.h"

#include "Classes/Filters/MaskFilterSupport.h"
#include "Classes/Framework/KernelResource.h"

using namespace pf;

namespace {

// Declared in this order, and every one of them copied with the filter.
const QStringList Inputs{QStringLiteral("inputImage"), QStringLiteral("inputIntensity")};

} // namespace

GMWhiteTransparentMask::GMWhiteTransparentMask(const QString& className) : OVFilter(className, Inputs) {}

void GMWhiteTransparentMask::registerClass()
{
    registerMember<GMWhiteTransparentMask>(QStringLiteral("GMWhiteTransparentMask"), {.copied = Inputs});
}

Image GMWhiteTransparentMask::outputImage() const
{
    const Kernel k = kernel();
    const Image image = imageValue(QStringLiteral("inputImage"));
    if (k.isNull() || !hasValue(QStringLiteral("inputIntensity")))
        return Image();
    // The clamping sampler reaches to infinity; the output is the image's own rectangle, which is what
    // can be rendered and what the image covers.
    const Rect rect = KernelResource::fullExtent(image.isNull() ? Rect::null() : image.extent());
    return k.apply({MaskFilterSupport::samplerArgument(
                        Sampler(image, Sampler::FilterMode::Linear, Sampler::WrapMode::Clamp)),
                    numberValue(QStringLiteral("inputIntensity"))},
                   MaskFilterSupport::options(rect, rect));
}
