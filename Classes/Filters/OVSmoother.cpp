#include "Classes/Filters/OVSmoother.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace pf;
using namespace MaskFilterSupport;

OVSmoother::OVSmoother(const QString& className) : OVFilter(className, {QStringLiteral("inputImage")}) {}

void OVSmoother::registerClass()
{
    registerMember<OVSmoother>(QStringLiteral("OVSmoother"), {.copied = {QStringLiteral("inputImage")}});
}

Image OVSmoother::outputImage() const
{
    const Sampler source(imageValue(QStringLiteral("inputImage")), Sampler::FilterMode::Linear,
                         Sampler::WrapMode::Clamp);
    ApplyOptions options = domainOf(source);
    options.regionOfInterest = [](int, const Rect& destination) { return destination.insetBy(-1, -1); };
    return kernel().apply({samplerArgument(source)}, options);
}
