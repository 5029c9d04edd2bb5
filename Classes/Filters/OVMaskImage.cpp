#include "Classes/Filters/OVMaskImage.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace pf;
using namespace MaskFilterSupport;

namespace {

// Declared in this order, and every one of them copied with the filter.
const QStringList Inputs{QStringLiteral("inputImage"), QStringLiteral("inputMaskImage"),
                         QStringLiteral("inputColor")};

} // namespace

OVMaskImage::OVMaskImage(const QString& className) : OVFilter(className, Inputs) {}

void OVMaskImage::registerClass()
{
    registerMember<OVMaskImage>(QStringLiteral("OVMaskImage"), {.copied = Inputs});
}

Image OVMaskImage::outputImage() const
{
    const Sampler mask(imageValue(QStringLiteral("inputMaskImage")));
    if (hasValue(QStringLiteral("inputImage")))
        return kernelWithName(QStringLiteral("maskImage"))
            .apply(
                {samplerArgument(mask), samplerArgument(Sampler(imageValue(QStringLiteral("inputImage"))))},
                domainOf(mask));
    const Color color =
        hasValue(QStringLiteral("inputColor")) ? colorValue(QStringLiteral("inputColor")) : Color(1, 1, 1, 1);
    return kernelWithName(QStringLiteral("maskColor"))
        .apply({samplerArgument(mask), QVariant::fromValue(color)}, domainOf(mask));
}
