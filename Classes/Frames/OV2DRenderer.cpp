#include "Classes/Frames/OV2DRenderer.h"

#include "Platform/Image/Filter.h"

#include <cmath>

using namespace pf;

namespace {

double number(const QVariantMap& sprite, const char* key)
{
    return sprite.value(QLatin1String(key)).toDouble();
}

Image sourceOver(const Image& image, const Image& background)
{
    if (const FilterPtr filter = Filter::create(QStringLiteral("CISourceOverCompositing"))) {
        filter->setValue(QVariant::fromValue(image), QStringLiteral("inputImage"));
        filter->setValue(QVariant::fromValue(background), QStringLiteral("inputBackgroundImage"));
        return filter->outputImage();
    }
    return image.imageByCompositingOverImage(background);
}

} // namespace

void OV2DRenderer::addSprite(const QVariantMap& sprite)
{
    m_spriteDescriptions.append(sprite);
}

Image OV2DRenderer::imageOfSize(const Size& size, const Image& background) const
{
    constexpr double Pi = 3.141592653589793;
    const double w = size.width;
    const double h = size.height;
    const double hw = w / 2;
    const double hh = h / 2;
    Image result = background.isNull() ? Image::emptyImage() : background;
    for (const QVariantMap& sprite : m_spriteDescriptions) {
        const Image original = sprite.value(QStringLiteral("image")).value<Image>();
        if (original.isNull())
            continue;
        const Rect extent = original.extent();
        if (extent.isNull() || extent.isInfinite() || !std::isfinite(extent.width()) ||
            !std::isfinite(extent.height()))
            continue;
        const Image image =
            original.imageByApplyingTransform(AffineTransform::translation(-extent.minX(), -extent.minY()));
        const double sw = extent.width();
        const double sh = extent.height();
        const double lx = number(sprite, "location.x");
        const double ly = number(sprite, "location.y");
        const double angle = number(sprite, "rotation.z") * Pi / 180;
        const double ax = number(sprite, "anchorPoint.x");
        const double ay = number(sprite, "anchorPoint.y");
        // The anchor point within the image; the sprite turns about it, and its unturned centre lands
        // at (hw + lx hw, hh + ly hw): y is measured in half widths like x.
        const double dx = ax * sw / 2 + sw / 2;
        const double dy = ay * sh / 2 + sh / 2;
        const AffineTransform placement = AffineTransform::translation(-dx, -dy)
                                              .concatenated(AffineTransform::rotation(angle))
                                              .concatenated(AffineTransform::translation(
                                                  lx * hw + hw - sw / 2 + dx, ly * hw + hh - sh / 2 + dy));
        result = sourceOver(image.imageByApplyingTransform(placement), result);
    }
    return result.imageByCroppingToRect(Rect(0, 0, w, h));
}
