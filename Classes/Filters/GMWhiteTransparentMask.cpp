#include "Classes/Filters/GMWhiteTransparentMask.h"

#include "Classes/Filters/MaskFilterSupport.h"
#include "Classes/Framework/KernelResource.h"

using namespace pf;

GMWhiteTransparentMask::GMWhiteTransparentMask(const QString& className) : OVFilter(className)
{
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputIntensity"));
}

void GMWhiteTransparentMask::registerClass()
{
    const QString name = QStringLiteral("GMWhiteTransparentMask");
    OVFilter::registerForCopying(name, {QStringLiteral("inputImage"), QStringLiteral("inputIntensity")});
    Filter::registerFilter(name, [] { return std::make_shared<GMWhiteTransparentMask>(); });
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
