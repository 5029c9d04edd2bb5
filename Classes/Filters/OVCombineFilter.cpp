#include "Classes/Filters/OVCombineFilter.h"

#include "Classes/Filters/FrameworkFilterSupport.h"
#include "Platform/Image/Sampler.h"

using namespace pf;

OVCombineFilter::OVCombineFilter(const QString& className) : OVFilter(className)
{
    for (const char* key :
         {"inputImage", "inputBackgroundImage", "inputBackgroundIntensity", "inputIntensity", "blendMode"})
        declareInput(QString::fromLatin1(key));
}

const QStringList& OVCombineFilter::combinableBlendModes()
{
    // Never destroyed: filters are set up on worker threads too, which may still run while the program exits.
    static const auto* modes = new QStringList{QStringLiteral("sourceOver"), QStringLiteral("multiply"),
                                               QStringLiteral("negativeMultiply")};
    return *modes;
}

bool OVCombineFilter::isCombinableBlendMode(const QString& name)
{
    return !name.isNull() && combinableBlendModes().contains(name);
}

Image OVCombineFilter::outputImage() const
{
    const Image image = imageValue(QStringLiteral("inputImage"));
    const Image background = imageValue(QStringLiteral("inputBackgroundImage"));
    if (image.isNull() || background.isNull())
        return Image();
    return FrameworkFilterSupport::applyOver(kernelWithName(blendMode()),
                                             {QVariant::fromValue(Sampler(background)),
                                              QVariant::fromValue(Sampler(image)),
                                              numberValue(QStringLiteral("inputBackgroundIntensity")),
                                              numberValue(QStringLiteral("inputIntensity"))},
                                             background);
}
