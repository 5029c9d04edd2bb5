#include "Classes/Rendering/LayerImageDrawing.h"

#include "Platform/Foundation/Log.h"
#include "Platform/Image/RenderContext.h"

using namespace pf;

namespace LayerImageDrawing {

namespace {

bool isUsable(const Rect& rect)
{
    return !rect.isNull() && !rect.isInfinite() && rect.width() > 0 && rect.height() > 0;
}

// Pictures are stored top row first; the painter's y runs upwards.
void drawUpright(QPainter& painter, const QImage& picture, const Rect& target, const QRectF& source)
{
    painter.save();
    painter.translate(target.minX(), target.maxY());
    painter.scale(1, -1);
    painter.drawImage(QRectF(0, 0, target.width(), target.height()), picture, source);
    painter.restore();
}

} // namespace

Rect clipRect(const QPainter& painter, const Rect& bounds)
{
    if (!painter.hasClipping())
        return bounds;
    return Rect::fromQRectF(painter.clipBoundingRect()).intersected(bounds);
}

void drawPicture(QPainter& painter, const QImage& picture, const Rect& target, const Rect& area)
{
    const Rect visible = area.intersected(target);
    if (picture.isNull() || !isUsable(target) || !isUsable(visible))
        return;
    const double fx = picture.width() / target.width();
    const double fy = picture.height() / target.height();
    const QRectF source((visible.minX() - target.minX()) * fx, (target.maxY() - visible.maxY()) * fy,
                        visible.width() * fx, visible.height() * fy);
    drawUpright(painter, picture, visible, source);
}

Rect drawImage(QPainter& painter, RenderContext& context, const Image& image, const Rect& source,
               const Rect& target, const Rect& area, QPainter::CompositionMode mode, QImage* rendered)
{
    const Rect visible = area.intersected(target);
    if (image.isNull() || !isUsable(source) || !isUsable(target) || !isUsable(visible))
        return Rect::null();
    const double sx = source.width() / target.width();
    const double sy = source.height() / target.height();
    const Rect part = Rect(source.minX() + (visible.minX() - target.minX()) * sx,
                           source.minY() + (visible.minY() - target.minY()) * sy, visible.width() * sx,
                           visible.height() * sy)
                          .integral()
                          .intersected(source.integral());
    if (!isUsable(part))
        return Rect::null();
    const QImage pixels = context.renderToQImage(image, part);
    if (pixels.isNull()) {
        warning(QStringLiteral("A picture for a layer could not be rendered"));
        return Rect::null();
    }
    const Rect placed(target.minX() + (part.minX() - source.minX()) / sx,
                      target.minY() + (part.minY() - source.minY()) / sy, part.width() / sx,
                      part.height() / sy);
    painter.save();
    painter.setCompositionMode(mode);
    drawUpright(painter, pixels, placed, QRectF(pixels.rect()));
    painter.restore();
    if (rendered)
        *rendered = pixels;
    return part;
}

} // namespace LayerImageDrawing
