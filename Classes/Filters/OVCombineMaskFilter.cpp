#include "Classes/Filters/OVCombineMaskFilter.h"

#include "Classes/Filters/FrameworkFilterSupport.h"
#include "Platform/Image/Sampler.h"

using namespace pf;

OVCombineMaskFilter::OVCombineMaskFilter(const QString& className) : OVFilter(className)
{
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputBackgroundImage"));
    declareInput(QStringLiteral("inputCornerRadius"), {{FilterAttribute::Default, 0.0}});
    declareInput(QStringLiteral("inputScale"), {{FilterAttribute::Default, 1.0}});
}

Image OVCombineMaskFilter::outputImage() const
{
    const Image image = imageValue(QStringLiteral("inputImage"));
    const Image background = imageValue(QStringLiteral("inputBackgroundImage"));
    if (image.isNull() || background.isNull())
        return Image();
    return FrameworkFilterSupport::applyOver(
        kernel(),
        {QVariant::fromValue(Sampler(background)), QVariant::fromValue(Sampler(image)),
         numberValue(QStringLiteral("inputCornerRadius")), numberValue(QStringLiteral("inputScale")),
         QVariant::fromValue(Vector(1, 1))},
        background);
}
