#include "Classes/Framework/EngineFilters.h"

#include "Platform/Image/Vector.h"

using namespace pf;

namespace EngineFilters {

namespace {

const QString inputImage = QStringLiteral("inputImage");

Image output(const FilterPtr& filter)
{
    return filter->value(OutputImageKey).value<Image>();
}

} // namespace

FilterPtr registered(const QString& name)
{
    const Filter::Factory factory = Filter::factory(name);
    if (!factory)
        return nullptr;
    FilterPtr filter = factory();
    if (filter)
        filter->setDefaults();
    return filter;
}

Image affineTransform(const Image& image, const AffineTransform& transform)
{
    if (FilterPtr filter = registered(QStringLiteral("CIAffineTransform"))) {
        filter->setValue(QVariant::fromValue(image), inputImage);
        filter->setValue(QVariant::fromValue(transform), QStringLiteral("inputTransform"));
        return output(filter);
    }
    return image.isNull() ? Image() : image.imageByApplyingTransform(transform);
}

Image lanczosScale(const Image& image, double scale, double aspectRatio)
{
    if (FilterPtr filter = registered(QStringLiteral("CILanczosScaleTransform"))) {
        filter->setValue(QVariant::fromValue(image), inputImage);
        filter->setValue(scale, QStringLiteral("inputScale"));
        filter->setValue(aspectRatio, QStringLiteral("inputAspectRatio"));
        return output(filter);
    }
    return image.isNull()
               ? Image()
               : image.imageByApplyingTransform(AffineTransform::scale(scale * aspectRatio, scale));
}

Image affineClamp(const Image& image, const AffineTransform& transform)
{
    if (FilterPtr filter = registered(QStringLiteral("CIAffineClamp"))) {
        filter->setValue(QVariant::fromValue(image), inputImage);
        filter->setValue(QVariant::fromValue(transform), QStringLiteral("inputTransform"));
        return output(filter);
    }
    if (image.isNull())
        return Image();
    const Image clamped = image.imageByClampingToExtent();
    return transform.isIdentity() ? clamped : clamped.imageByApplyingTransform(transform);
}

Image crop(const Image& image, const Rect& rect)
{
    if (FilterPtr filter = registered(QStringLiteral("CICrop"))) {
        filter->setValue(QVariant::fromValue(image), inputImage);
        filter->setValue(QVariant::fromValue(Vector::fromRect(rect)), QStringLiteral("inputRectangle"));
        return output(filter);
    }
    return image.isNull() ? Image() : image.imageByCroppingToRect(rect);
}

Image sourceOver(const Image& image, const Image& background)
{
    if (FilterPtr filter = registered(QStringLiteral("CISourceOverCompositing"))) {
        filter->setValue(QVariant::fromValue(image), inputImage);
        filter->setValue(QVariant::fromValue(background), QStringLiteral("inputBackgroundImage"));
        return output(filter);
    }
    if (image.isNull() || background.isNull())
        return Image();
    return image.imageByCompositingOverImage(background);
}

Image areaAverage(const Image& image, const Rect& extent)
{
    FilterPtr filter = registered(QStringLiteral("CIAreaAverage"));
    if (!filter)
        return Image();
    filter->setValue(QVariant::fromValue(image), inputImage);
    filter->setValue(QVariant::fromValue(Vector::fromRect(extent)), QStringLiteral("inputExtent"));
    return output(filter);
}

} // namespace EngineFilters
