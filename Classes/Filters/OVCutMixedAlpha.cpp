#include "Classes/Filters/OVCutMixedAlpha.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace pf;
using namespace MaskFilterSupport;

namespace {

// Declared in this order, and every one of them copied with the filter.
const QStringList Inputs{QStringLiteral("inputImage"), QStringLiteral("inputThreshold")};

} // namespace

OVCutMixedAlpha::OVCutMixedAlpha(const QString& className) : OVFilter(className, Inputs) {}

void OVCutMixedAlpha::registerClass()
{
    registerMember<OVCutMixedAlpha>(QStringLiteral("OVCutMixedAlpha"), {.copied = Inputs});
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
