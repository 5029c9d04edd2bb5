#include "Classes/Filters/OVReflectionFilter.h"

#include "Classes/Framework/KernelResource.h"
#include "Platform/Image/Sampler.h"

#include <cmath>

using namespace pf;

OVReflectionFilter::OVReflectionFilter(const QString& className) : OVFilter(className)
{
    auto unitSlider = [](double value) {
        return QVariantMap{{FilterAttribute::Default, value},
                           {FilterAttribute::SliderMin, 0.0},
                           {FilterAttribute::SliderMax, 1.0},
                           {FilterAttribute::Type, FilterAttribute::TypeDistance}};
    };
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputIntensity"), unitSlider(0.4));
    declareInput(QStringLiteral("inputHeight"), unitSlider(0.5));
    declareInput(QStringLiteral("inputDistance"), unitSlider(0.0));
    declareInput(QStringLiteral("inputProportion"), {{FilterAttribute::Default, 1.0}});
}

Rect OVReflectionFilter::regionOfInterest(const Rect& destination, double y0, double gap)
{
    const double dy = destination.minY();
    const double dh = destination.height();
    if (y0 <= dy)
        return destination;
    Rect region = destination;
    if (y0 >= dy + dh) {
        region.origin.y = 2 * y0 - (gap + dy + dh);
    } else {
        region.origin.y = y0;
        region.size.height = std::max(std::abs(y0 - dy - gap), std::abs(dy + dh - y0));
    }
    // Mirrored reads fall between pixel centres when the gap is not a whole number of pixels.
    return region.insetBy(0, -1);
}

Image OVReflectionFilter::outputImage() const
{
    const Image image = imageValue(QStringLiteral("inputImage"));
    const Kernel k = kernel();
    if (image.isNull() || k.isNull())
        return Image();
    const Rect extent = image.extent();
    const double y0 = extent.minY();
    const double R = numberValue(QStringLiteral("inputHeight")) * extent.height();
    const double G =
        numberValue(QStringLiteral("inputDistance")) * numberValue(QStringLiteral("inputProportion"));
    if (!std::isfinite(R) || !std::isfinite(G) || !std::isfinite(y0))
        return image;
    const Rect output(extent.minX(), y0 - (R + G), extent.width(), extent.height() + R + G);
    ApplyOptions options;
    options.definition = output;
    options.extent = KernelResource::fullExtent(output);
    // The edge and the gap as they are now; later changes of the inputs must not move what this image reads.
    options.regionOfInterest = [y0, G](int, const Rect& destination) {
        return regionOfInterest(destination, y0, G);
    };
    return k.apply(
        {QVariant::fromValue(Sampler(image)), y0, numberValue(QStringLiteral("inputIntensity")), R, G},
        options);
}
