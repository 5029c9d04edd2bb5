#include "Classes/Filters/OVMaskReplace.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace pf;
using namespace MaskFilterSupport;

OVMaskReplace::OVMaskReplace(const QString& className)
    : OVFilter(className,
               {QStringLiteral("inputImage"), QStringLiteral("inputMask"), QStringLiteral("inputOriginal")})
{}

void OVMaskReplace::registerClass()
{
    registerMember<OVMaskReplace>(QStringLiteral("OVMaskReplace"),
                                  {.copied = {QStringLiteral("inputImage"), QStringLiteral("inputMask"),
                                              QStringLiteral("inputOriginal")}});
}

Image OVMaskReplace::outputImage() const
{
    const Sampler image(imageValue(QStringLiteral("inputImage")));
    const Sampler original(imageValue(QStringLiteral("inputOriginal")));
    const Sampler mask(imageValue(QStringLiteral("inputMask")));
    return kernel().apply({samplerArgument(image), samplerArgument(original), samplerArgument(mask)},
                          domainOf(image));
}
