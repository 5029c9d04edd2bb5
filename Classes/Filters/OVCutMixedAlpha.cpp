#include "Classes/Filters/OVCutMixedAlpha.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace pf;
using namespace MaskFilterSupport;

OVCutMixedAlpha::OVCutMixedAlpha(const QString& className)
    : OVFilter(className, {QStringLiteral("inputImage"), QStringLiteral("inputThreshold")})
{}

void OVCutMixedAlpha::registerClass()
{
    registerMember<OVCutMixedAlpha>(
        QStringLiteral("OVCutMixedAlpha"),
        {.copied = {QStringLiteral("inputImage"), QStringLiteral("inputThreshold")}});
}

Image OVCutMixedAlpha::outputImage() const
{
    if (!hasValue(QStringLiteral("inputThreshold")))
        return Image();
    const Sampler image(imageValue(QStringLiteral("inputImage")));
    const double threshold = numberValue(QStringLiteral("inputThreshold"));
    if (threshold >= 0)
        return kernelWithName(QStringLiteral("cutAlphaMixed"))
            .apply({samplerArgument(image), threshold}, domainOf(image));
    return kernelWithName(QStringLiteral("posNeg")).apply({samplerArgument(image)}, domainOf(image));
}
