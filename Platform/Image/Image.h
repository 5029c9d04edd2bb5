#pragma once

#include "Platform/Foundation/AffineTransform.h"
#include "Platform/Foundation/Rect.h"
#include "Platform/Image/FilterShape.h"

#include <QMetaType>
#include <QString>
#include <memory>

class QImage;

namespace pf {

class Bitmap;
class Color;
class TileStore;
struct ImageNode;

// An immutable recipe for an image: cheap to copy, safe to share between threads. Building one does
// no pixel work; pixels are made when a RenderContext renders it. Coordinates grow upward, in pixels.
// Outside its domain of definition an image is transparent (0, 0, 0, 0). A default-constructed
// Image is "no image" (isNull), which is different from an empty image.
class Image
{
public:
    Image() = default;
    explicit Image(std::shared_ptr<const ImageNode> node) : m_node(std::move(node)) {}

    static Image fromBitmap(const Bitmap& bitmap);
    static Image fromQImage(const QImage& image);
    // Reads any format Qt can read (EXIF orientation applied, non-sRGB profiles converted to sRGB).
    static Image fromFile(const QString& path, QString* errorMessage = nullptr);
    static Image fromTiles(const TileStore& tiles);
    static Image constantColor(const Color& color);
    static Image emptyImage();

    bool isNull() const { return !m_node; }
    Rect extent() const;
    FilterShape definition() const;

    Image imageByApplyingTransform(const AffineTransform& transform) const;
    Image imageByCroppingToRect(const Rect& rect) const;
    Image imageByClampingToExtent() const;
    Image imageByCompositingOverImage(const Image& background) const;

    const std::shared_ptr<const ImageNode>& node() const { return m_node; }
    bool operator==(const Image& other) const { return m_node == other.m_node; }

private:
    std::shared_ptr<const ImageNode> m_node;
};

} // namespace pf

Q_DECLARE_METATYPE(pf::Image)
