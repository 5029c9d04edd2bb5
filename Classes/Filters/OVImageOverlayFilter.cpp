#include "Classes/Filters/OVImageOverlayFilter.h"

#include "Classes/Filters/FrameworkFilterSupport.h"
#include "Platform/Image/Sampler.h"

#include <cmath>

using namespace pf;

OVImageOverlayFilter::OVImageOverlayFilter(const QString& className) : OVFilter(className)
{
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputBackgroundImage"));
    declareInput(QStringLiteral("inputRotation"), {{FilterAttribute::Default, 0.0}});
}

Image OVImageOverlayFilter::outputImage() const
{
    const Image image = imageValue(QStringLiteral("inputImage"));
    const Image background = imageValue(QStringLiteral("inputBackgroundImage"));
    if (image.isNull() || background.isNull())
        return Image();
    const double degrees = numberValue(QStringLiteral("inputRotation"));
    const Image tiled = FrameworkFilterSupport::builtin(
        QStringLiteral("CIAffineTile"),
        {{QStringLiteral("inputImage"), QVariant::fromValue(image)},
         {QStringLiteral("inputTransform"), QVariant::fromValue(AffineTransform::rotation(
                                                std::isfinite(degrees) ? degrees * M_PI / 180.0 : 0.0))}});
    return FrameworkFilterSupport::applyOver(
        kernel(), {QVariant::fromValue(Sampler(background)), QVariant::fromValue(Sampler(tiled))},
        background);
}
