#include "Classes/Filters/OVReplaceInRect.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace pf;
using namespace MaskFilterSupport;

OVReplaceInRect::OVReplaceInRect(const QString& className)
    : OVFilter(className,
               {QStringLiteral("inputImage"), QStringLiteral("inputRect"), QStringLiteral("inputOriginal")})
{}

void OVReplaceInRect::registerClass()
{
    registerMember<OVReplaceInRect>(QStringLiteral("OVReplaceInRect"),
                                    {.copied = {QStringLiteral("inputImage"), QStringLiteral("inputRect"),
                                                QStringLiteral("inputOriginal")}});
}

Image OVReplaceInRect::outputImage() const
{
    if (!hasValue(QStringLiteral("inputRect")))
        return Image();
    const Sampler image(imageValue(QStringLiteral("inputImage")));
    const Sampler original(imageValue(QStringLiteral("inputOriginal")));
    return kernel().apply({samplerArgument(image), samplerArgument(original),
                           rectArgument(vectorValue(QStringLiteral("inputRect")))},
                          domainOf(original));
}
