#include "Classes/Filters/OVReplaceInRect.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace pf;
using namespace MaskFilterSupport;

OVReplaceInRect::OVReplaceInRect(const QString& className) : OVFilter(className)
{
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputRect"));
    declareInput(QStringLiteral("inputOriginal"));
}

void OVReplaceInRect::registerClass()
{
    const QString name = QStringLiteral("OVReplaceInRect");
    OVFilter::registerForCopying(
        name, {QStringLiteral("inputImage"), QStringLiteral("inputRect"), QStringLiteral("inputOriginal")});
    Filter::registerFilter(name, [] { return std::make_shared<OVReplaceInRect>(); });
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
