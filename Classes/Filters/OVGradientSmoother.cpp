#include "Classes/Filters/OVGradientSmoother.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace pf;
using namespace MaskFilterSupport;

namespace {

// Declared in this order, and every one of them copied with the filter.
const QStringList Inputs{QStringLiteral("inputImage"), QStringLiteral("inputGradient")};

} // namespace

OVGradientSmoother::OVGradientSmoother(const QString& className) : OVFilter(className, Inputs) {}

void OVGradientSmoother::registerClass()
{
    registerMember<OVGradientSmoother>(QStringLiteral("OVGradientSmoother"), {.copied = Inputs});
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
