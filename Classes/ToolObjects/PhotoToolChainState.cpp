#include "Classes/ToolObjects/PhotoToolChainState.h"

#include <cmath>

using namespace pf;

Image PhotoToolChainState::contentImageAtIndex(int index, const Image& below,
                                               const AffineTransform& transform, const Rect& crop) const
{
    return content(index, below, transform, crop, nullptr);
}

Image PhotoToolChainState::viewedContentImageAtIndex(int index, const Image& below,
                                                     const AffineTransform& transform, const Rect& crop,
                                                     RenderContext& context) const
{
    return content(index, below, transform, crop, &context);
}

Image PhotoToolChainState::content(int index, const Image& below, const AffineTransform& transform,
                                   const Rect& crop, RenderContext* context) const
{
    if (index < 0 || index >= count())
        return Image();
    if (index == 0)
        return m_original->imageByApplyingTransform(transform).imageByCroppingToRect(crop);
    const Layer& layer = m_layers[static_cast<size_t>(index)];
    if (!layer.blueprint)
        return Image();
    auto wrapper = layer.blueprint->newContentFilter();
    wrapper->setValuesFromSettings(layer.settings);
    wrapper->setValueForInputKey(QVariant::fromValue(below), QStringLiteral("originalImage"));
    wrapper->setValueForInputKey(QVariant::fromValue(Size(crop.width(), crop.height())),
                                 QStringLiteral("imageSize"));
    // The face at the scale composed: the photo's width as the transform maps it.
    const double scale = std::hypot(transform.a, transform.b);
    if (m_faceShare > 0)
        wrapper->setValueForInputKey(m_faceShare * m_size.width * scale, QStringLiteral("faceWidth"));
    if (layer.mask) {
        const auto viewed = [&](const OVImageContainer& picture) {
            if (context)
                return picture.viewedImage(transform, crop, *context);
            const Image image = picture.image();
            return image.isNull() ? image
                                  : image.imageByApplyingTransform(transform).imageByCroppingToRect(crop);
        };
        const Image mask = viewed(*layer.mask->imageContainer());
        if (!mask.isNull())
            wrapper->setValueForInputKey(QVariant::fromValue(mask), QStringLiteral("mask"));
        const Image extra = viewed(*layer.mask->additionalImageContainer());
        if (!extra.isNull())
            wrapper->setValueForInputKey(QVariant::fromValue(extra), QStringLiteral("maskExtraImage"));
    }
    return wrapper->outputImage();
}

FilterPtr PhotoToolChainState::compositingFilterForIndex(int index) const
{
    if (index <= 0 || index >= count())
        return nullptr;
    const Layer& layer = m_layers[static_cast<size_t>(index)];
    if (!layer.blueprint)
        return nullptr;
    auto wrapper = layer.blueprint->newCompositionFilter();
    wrapper->setValuesFromSettings(layer.settings);
    return wrapper->generatedCIFilter();
}
