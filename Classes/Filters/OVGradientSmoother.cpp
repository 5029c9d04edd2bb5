#include "Classes/Filters/OVGradientSmoother.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace pf;
using namespace MaskFilterSupport;

OVGradientSmoother::OVGradientSmoother(const QString& className)
    : OVFilter(className, {QStringLiteral("inputImage"), QStringLiteral("inputGradient")})
{}

void OVGradientSmoother::registerClass()
{
    registerMember<OVGradientSmoother>(
        QStringLiteral("OVGradientSmoother"),
        {.copied = {QStringLiteral("inputImage"), QStringLiteral("inputGradient")}});
}

Image OVGradientSmoother::outputImage() const
{
    const Image image = imageValue(QStringLiteral("inputImage"));
    const Sampler source(image, Sampler::FilterMode::Linear, Sampler::WrapMode::Clamp);
    const Sampler gradient(imageValue(QStringLiteral("inputGradient")), Sampler::FilterMode::Linear,
                           Sampler::WrapMode::Clamp);
    ApplyOptions options = domainOf(source);
    options.regionOfInterest = [](int, const Rect& destination) { return destination.insetBy(-1, -1); };
    return kernel().apply({samplerArgument(source), samplerArgument(gradient)}, options);
}
