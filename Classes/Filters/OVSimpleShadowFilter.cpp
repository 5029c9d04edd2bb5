#include "Classes/Filters/OVSimpleShadowFilter.h"

#include "Classes/Filters/FrameworkFilterSupport.h"
#include "Platform/Image/Sampler.h"

#include <cmath>

using namespace pf;
using FrameworkFilterSupport::var;

OVSimpleShadowFilter::OVSimpleShadowFilter(const QString& className) : OVFilter(className)
{
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputRadius"), {{FilterAttribute::Default, 5.0}});
    declareInput(QStringLiteral("inputDistance"), {{FilterAttribute::Default, 2.0},
                                                   {FilterAttribute::SliderMin, 0.0},
                                                   {FilterAttribute::SliderMax, 100.0}});
    declareInput(QStringLiteral("inputDirection"), {{FilterAttribute::Default, 135.0},
                                                    {FilterAttribute::SliderMin, 0.0},
                                                    {FilterAttribute::SliderMax, 360.0}});
    declareInput(QStringLiteral("inputColor"),
                 {{FilterAttribute::Default, QVariant::fromValue(Color(0, 0, 0, 0.75))}});
}

Point OVSimpleShadowFilter::offset(double distance, double directionDegrees)
{
    // Degrees clockwise from up are degrees counter-clockwise from the right of 90 - direction.
    const double theta = (directionDegrees - 90.0) / 180.0 * -M_PI;
    return Point(distance * std::cos(theta), distance * std::sin(theta));
}

Image OVSimpleShadowFilter::outputImage() const
{
    const Image image = imageValue(QStringLiteral("inputImage"));
    if (image.isNull())
        return Image();
    const double r = numberValue(QStringLiteral("inputRadius"));
    const Sampler picture(image);
    ApplyOptions options;
    options.definition = picture.definition().extent();
    options.setExtent(arrayForRect(picture.extent()));
    const Image silhouette = kernel().apply(
        {QVariant::fromValue(picture), QVariant::fromValue(colorValue(QStringLiteral("inputColor")))},
        options);
    if (silhouette.isNull())
        return Image();
    const Image blurred = FrameworkFilterSupport::builtin(
        QStringLiteral("CIGaussianBlur"),
        {{QStringLiteral("inputImage"), var(silhouette)}, {QStringLiteral("inputRadius"), r}});
    const Point d =
        offset(numberValue(QStringLiteral("inputDistance")), numberValue(QStringLiteral("inputDirection")));
    const Image shadow = blurred.imageByCroppingToRect(silhouette.extent().insetBy(-3 * r, -3 * r))
                             .imageByApplyingTransform(AffineTransform::translation(d.x, d.y));
    return FrameworkFilterSupport::builtin(
        QStringLiteral("CISourceOverCompositing"),
        {{QStringLiteral("inputImage"), var(image)}, {QStringLiteral("inputBackgroundImage"), var(shadow)}});
}
