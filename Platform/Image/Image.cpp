#include "Platform/Image/Image.h"

#include "Platform/Image/Bitmap.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/ImageFile.h"
#include "Platform/Image/ImageNode.h"
#include "Platform/Image/Kernel.h"
#include "Platform/Image/TileStore.h"

#include "Engine/Engine.h"

#include <QImage>

namespace pf {

namespace {

const Kernel& sourceOverKernel()
{
    // Never destroyed: renders and filters on other threads may still use it while the program exits.
    static const Kernel& kernel = *new Kernel([] {
        auto kernels = Kernel::kernelsWithString(QString::fromUtf8(kernelTexts::Engine::SourceOver),
                                                 QStringLiteral("source-over compositing"));
        return kernels.empty() ? Kernel() : kernels.front();
    }());
    return kernel;
}

} // namespace

Image Image::fromBitmap(const Bitmap& bitmap)
{
    if (bitmap.isNull())
        return emptyImage();
    auto node = std::make_shared<ImageNode>();
    node->kind = ImageNode::Kind::Bitmap;
    node->bitmap = bitmap;
    node->extent = node->domain = Rect(0, 0, bitmap.width(), bitmap.height());
    return Image(node);
}

Image Image::fromQImage(const QImage& image)
{
    return fromBitmap(Bitmap::fromQImage(image));
}

Image Image::fromFile(const QString& path, QString* errorMessage)
{
    const Bitmap bitmap = ImageFile::read(path, errorMessage);
    if (bitmap.isNull())
        return Image();
    return fromBitmap(bitmap);
}

Image Image::fromTiles(const TileStore& tiles)
{
    if (tiles.isNull())
        return emptyImage();
    auto node = std::make_shared<ImageNode>();
    node->kind = ImageNode::Kind::Tiles;
    node->tiles = tiles;
    node->extent = node->domain = Rect(0, 0, tiles.width(), tiles.height());
    return Image(node);
}

Image Image::constantColor(const Color& color)
{
    auto node = std::make_shared<ImageNode>();
    node->kind = ImageNode::Kind::Constant;
    const Color p = color.premultiplied();
    node->color = {float(p.red()), float(p.green()), float(p.blue()), float(p.alpha())};
    node->extent = node->domain = Rect::infinite();
    return Image(node);
}

Image Image::emptyImage()
{
    // Never destroyed: renders and filters on other threads may still use it while the program exits.
    static const Image& empty = *new Image(std::make_shared<ImageNode>());
    return empty;
}

Rect Image::extent() const
{
    return m_node ? m_node->extent : Rect::null();
}

FilterShape Image::definition() const
{
    return m_node ? FilterShape::shapeWithRect(m_node->domain) : FilterShape();
}

Image Image::imageByApplyingTransform(const AffineTransform& transform) const
{
    if (!m_node)
        return Image();
    if (transform.isIdentity() || (m_node->kind == ImageNode::Kind::Empty && m_node->extent.isNull()))
        return *this;
    if (!transform.isInvertible())
        return emptyImage();
    if (m_node->kind == ImageNode::Kind::Empty) {
        // Nothing to draw, but the extent it was given moves with it.
        auto node = std::make_shared<ImageNode>();
        node->extent = transform.map(m_node->extent);
        return Image(node);
    }
    if (m_node->kind == ImageNode::Kind::Constant)
        return *this;
    auto node = std::make_shared<ImageNode>();
    node->kind = ImageNode::Kind::Transform;
    if (m_node->kind == ImageNode::Kind::Transform) {
        // Two transforms in a row are one: fewer steps when the image is read.
        node->input = m_node->input;
        node->transform = m_node->transform.concatenated(transform);
        if (node->transform.isIdentity())
            return Image(m_node->input);
    } else {
        node->input = m_node;
        node->transform = transform;
    }
    node->extent = transform.map(m_node->extent);
    node->domain = transform.map(m_node->domain);
    return Image(node);
}

Image Image::imageByCroppingToRect(const Rect& rect) const
{
    if (!m_node)
        return Image();
    const Rect extent = m_node->extent.intersected(rect);
    if (extent.isNull() || extent.isEmpty())
        return emptyImage();
    if (rect.contains(m_node->extent) && !m_node->extent.isInfinite())
        return *this;
    auto node = std::make_shared<ImageNode>();
    node->kind = ImageNode::Kind::Crop;
    if (m_node->kind == ImageNode::Kind::Crop) {
        node->input = m_node->input;
        node->rect = m_node->rect.intersected(rect);
    } else {
        node->input = m_node;
        node->rect = rect;
    }
    node->extent = extent;
    node->domain = m_node->domain.intersected(rect);
    return Image(node);
}

Image Image::imageByClampingToExtent() const
{
    if (!m_node)
        return Image();
    if (m_node->extent.isInfinite())
        return *this;
    if (m_node->extent.isNull() || m_node->extent.isEmpty())
        return emptyImage();
    auto node = std::make_shared<ImageNode>();
    node->kind = ImageNode::Kind::Clamp;
    node->input = m_node;
    node->rect = m_node->extent;
    node->extent = node->domain = Rect::infinite();
    return Image(node);
}

Image Image::imageByCompositingOverImage(const Image& background) const
{
    if (!m_node)
        return background;
    if (background.isNull())
        return *this;
    ApplyOptions options;
    options.definition = m_node->domain.united(background.m_node->domain);
    options.extent = m_node->extent.united(background.m_node->extent);
    return sourceOverKernel().apply({QVariant::fromValue(*this), QVariant::fromValue(background)}, options);
}

} // namespace pf
