#include "Classes/Filters/MaskFilterSupport.h"

#include "Classes/Framework/KernelResource.h"

#include <cmath>

using namespace pf;

namespace MaskFilterSupport {

QVariantMap numberAttributes(const NumberAttributes& a)
{
    QVariantMap map;
    auto put = [&map](const QString& key, double value) {
        if (!std::isnan(value))
            map.insert(key, value);
    };
    put(FilterAttribute::Min, a.min);
    put(FilterAttribute::Max, a.max);
    put(FilterAttribute::SliderMin, a.sliderMin);
    put(FilterAttribute::SliderMax, a.sliderMax);
    put(FilterAttribute::Default, a.defaultValue);
    put(FilterAttribute::Identity, a.identity);
    if (!a.type.isEmpty())
        map.insert(FilterAttribute::Type, a.type);
    return map;
}

QVariantMap vectorAttributes(const Vector& defaultValue, const QString& type)
{
    QVariantMap map{{FilterAttribute::Default, QVariant::fromValue(defaultValue)}};
    if (!type.isEmpty())
        map.insert(FilterAttribute::Type, type);
    return map;
}

QVariantMap colorAttributes(const Color& defaultValue, const QString& type)
{
    QVariantMap map{{FilterAttribute::Default, QVariant::fromValue(defaultValue)}};
    if (!type.isEmpty())
        map.insert(FilterAttribute::Type, type);
    return map;
}

ApplyOptions options(const Rect& definition, const Rect& extent, double marginX, double marginY)
{
    ApplyOptions o;
    o.definition = definition;
    o.extent = extent;
    if (marginX > 0 || marginY > 0)
        o.regionOfInterest = [marginX, marginY](int, const Rect& destination) {
            return destination.insetBy(-marginX, -marginY);
        };
    return o;
}

ApplyOptions domainOf(const Sampler& sampler)
{
    const Image& image = sampler.image();
    if (image.isNull())
        return options(Rect(0, 0, 0, 0), Rect(0, 0, 0, 0));
    const bool clamps = sampler.wrapMode() == Sampler::WrapMode::Clamp;
    const Rect rect = clamps ? sampler.matrix().map(image.extent()) : sampler.extent();
    const Rect definition = clamps ? rect : sampler.definition().extent();
    return options(definition, KernelResource::fullExtent(rect));
}

Rect rectOf(const Image& image)
{
    if (image.isNull() || image.extent().isNull())
        return Rect(0, 0, 0, 0);
    return image.extent();
}

ApplyOptions atOriginReadingInPlace(const Image& image)
{
    const Rect rect = rectOf(image);
    const Rect area(0, 0, rect.width(), rect.height());
    ApplyOptions o = options(area, area);
    o.regionOfInterest = [](int, const Rect& destination) { return destination; };
    return o;
}

QVariant pointArgument(const Vector& vector)
{
    return QVariant::fromValue(Vector(vector.x(), vector.y()));
}

QVariant rectArgument(const Vector& vector)
{
    return QVariant::fromValue(Vector(vector.x(), vector.y(), vector.z(), vector.w()));
}

} // namespace MaskFilterSupport
