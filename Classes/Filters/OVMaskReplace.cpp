#include "Classes/Filters/OVMaskReplace.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace pf;
using namespace MaskFilterSupport;

OVMaskReplace::OVMaskReplace(const QString& className) : OVFilter(className)
{
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputMask"));
    declareInput(QStringLiteral("inputOriginal"));
}

void OVMaskReplace::registerClass()
{
    const QString name = QStringLiteral("OVMaskReplace");
    OVFilter::registerForCopying(
        name, {QStringLiteral("inputImage"), QStringLiteral("inputMask"), QStringLiteral("inputOriginal")});
    Filter::registerFilter(name, [] { return std::make_shared<OVMaskReplace>(); });
}

Image OVMaskReplace::outputImage() const
{
    const Sampler image(imageValue(QStringLiteral("inputImage")));
    const Sampler original(imageValue(QStringLiteral("inputOriginal")));
    const Sampler mask(imageValue(QStringLiteral("inputMask")));
    return kernel().apply({samplerArgument(image), samplerArgument(original), samplerArgument(mask)},
                          domainOf(image));
}
