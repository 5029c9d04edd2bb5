#include "Classes/Framework/QImageGMImageExtension.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace GMImageExtension {

pf::Bitmap cgImage(const QImage& image)
{
    return image.isNull() ? pf::Bitmap() : pf::Bitmap::fromQImage(image);
}

pf::Image getCIImage(const QImage& image)
{
    return image.isNull() ? pf::Image() : pf::Image::fromQImage(image);
}

pf::Size proportionalSizeForTargetSize(const QImage& image, const pf::Size& target)
{
    const pf::Size size(image.width(), image.height());
    if (size == target)
        return target;
    if (size.width <= 0 || size.height <= 0)
        return pf::Size();
    const float factor = static_cast<float>(std::min(target.width / size.width, target.height / size.height));
    return pf::Size(size.width * factor, size.height * factor);
}

QImage imageByScalingProportionallyToSize(const QImage& image, const pf::Size& target)
{
    if (image.isNull())
        return QImage();
    const double sw = image.width(), sh = image.height();
    if (sw == target.width && sh == target.height)
        return image;
    const int width = static_cast<int>(std::lround(target.width));
    const int height = static_cast<int>(std::lround(target.height));
    if (!(target.width > 0) || !(target.height > 0) || width < 1 || height < 1)
        return QImage();

    const double r = (target.width / sw) / (target.height / sh);
    // Centred both ways, so the same rectangle in Qt's y-down coordinates.
    const QRectF source =
        r > 1 ? QRectF(0, (1 - 1 / r) * sh / 2, sw, sh / r) : QRectF((1 - r) * sw / 2, 0, sw * r, sh);

    QImage result(width, height, QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawImage(QRectF(0, 0, target.width, target.height), image, source);
    painter.end();
    return result;
}

QImage properBitmapImageRep(const QImage& image)
{
    if (image.isNull())
        return QImage();
    // Converting fills the alpha of images without alpha with 255 and draws palettes, grey and deeper
    // formats into 8-bit RGBA.
    return image.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
}

} // namespace GMImageExtension
