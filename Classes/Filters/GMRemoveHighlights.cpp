#include "Classes/Filters/GMRemoveHighlights.h"

#include "Classes/Filters/FrameworkFilterSupport.h"
#include "Platform/Image/Sampler.h"

using namespace pf;

GMRemoveHighlights::GMRemoveHighlights(const QString& className)
    : OVFilter(className, {QStringLiteral("inputImage"), QStringLiteral("inputBackgroundImage"),
                           QStringLiteral("inputIntensity")})
{}

Image GMRemoveHighlights::outputImage() const
{
    const Kernel k = kernel();
    const Image image = imageValue(QStringLiteral("inputImage"));
    const Image background = imageValue(QStringLiteral("inputBackgroundImage"));
    if (k.isNull() || image.isNull() || background.isNull())
        return Image();
    // An intensity never set reads as 0, like every unset number of the framework's filters: the
    // image is laid over the background unchanged.
    return k.apply({QVariant::fromValue(Sampler(image)), QVariant::fromValue(Sampler(background)),
                    numberValue(QStringLiteral("inputIntensity"))},
                   FrameworkFilterSupport::overBoth(image, background));
}
