#include "Classes/Filters/OVMaskImage.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace pf;
using namespace MaskFilterSupport;

OVMaskImage::OVMaskImage(const QString& className)
    : OVFilter(className,
               {QStringLiteral("inputImage"), QStringLiteral("inputMaskImage"), QStringLiteral("inputColor")})
{}

void OVMaskImage::registerClass()
{
    registerMember<OVMaskImage>(QStringLiteral("OVMaskImage"),
                                {.copied = {QStringLiteral("inputImage"), QStringLiteral("inputMaskImage"),
                                            QStringLiteral("inputColor")}});
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
