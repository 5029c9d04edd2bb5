#include "Classes/Filters/OVMaskReplace.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace pf;
using namespace MaskFilterSupport;

namespace {

// Declared in this order, and every one of them copied with the filter.
const QStringList Inputs{QStringLiteral("inputImage"), QStringLiteral("inputMask"),
                         QStringLiteral("inputOriginal")};

} // namespace

OVMaskReplace::OVMaskReplace(const QString& className) : OVFilter(className, Inputs) {}

void OVMaskReplace::registerClass()
{
    registerMember<OVMaskReplace>(QStringLiteral("OVMaskReplace"), {.copied = Inputs});
}

Image OVMaskReplace::outputImage() const
{
    const Sampler image(imageValue(QStringLiteral("inputImage")));
    const Sampler original(imageValue(QStringLiteral("inputOriginal")));
    const Sampler mask(imageValue(QStringLiteral("inputMask")));
    return kernel().apply({samplerArgument(image), samplerArgument(original), samplerArgument(mask)},
                          domainOf(image));
}
