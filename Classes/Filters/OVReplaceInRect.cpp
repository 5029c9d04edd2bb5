#include "Classes/Filters/OVReplaceInRect.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace pf;
using namespace MaskFilterSupport;

namespace {

// Declared in this order, and every one of them copied with the filter.
const QStringList Inputs{QStringLiteral("inputImage"), QStringLiteral("inputRect"),
                         QStringLiteral("inputOriginal")};

} // namespace

OVReplaceInRect::OVReplaceInRect(const QString& className) : OVFilter(className, Inputs) {}

void OVReplaceInRect::registerClass()
{
    registerMember<OVReplaceInRect>(QStringLiteral("OVReplaceInRect"), {.copied = Inputs});
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
