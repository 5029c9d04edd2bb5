#include "Platform/Image/ImageAccumulator.h"

#include "Platform/Image/RenderContext.h"

namespace pf {

ImageAccumulator::ImageAccumulator(const Rect& extent, std::shared_ptr<RenderContext> context,
                                   Bitmap::Format format)
    : m_extent(extent.isNull() || extent.isInfinite() ? Rect() : extent.integral()),
      m_store(static_cast<int>(m_extent.width()), static_cast<int>(m_extent.height()), format),
      m_context(context ? std::move(context) : RenderContext::shared())
{}

Image ImageAccumulator::image() const
{
    return Image::fromTiles(m_store).imageByApplyingTransform(
        AffineTransform::translation(m_extent.minX(), m_extent.minY()));
}

bool ImageAccumulator::setImage(const Image& image)
{
    return setImage(image, m_extent);
}

bool ImageAccumulator::setImage(const Image& image, const Rect& dirtyRect)
{
    const Rect rect = dirtyRect.intersected(m_extent).integral().intersected(m_extent);
    if (rect.isNull() || rect.isEmpty())
        return true;
    // Render first, write afterwards: the image may be reading the current snapshot.
    auto pixels = m_context->render(image.isNull() ? Image::emptyImage() : image, rect, m_store.format());
    if (!pixels)
        return false;
    m_store.write(*pixels, static_cast<int>(rect.minX() - m_extent.minX()),
                  static_cast<int>(m_extent.maxY() - rect.maxY()));
    return true;
}

void ImageAccumulator::clear()
{
    m_store.fill(0);
}

} // namespace pf
