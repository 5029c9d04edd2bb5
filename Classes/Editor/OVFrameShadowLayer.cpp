#include "Classes/Editor/OVFrameShadowLayer.h"

#include "Platform/UI/NamedImage.h"

#include <QPainter>

namespace {

const QString cornerName = QStringLiteral("ShadowCorner.png");
const QString edgeName = QStringLiteral("ShadowCenter.png");

// Draws the picture upright in the turned y-up context: its top row at the rectangle's maximum y. A
// rectangle with a negative or zero side covers nothing (and must not draw the picture mirrored).
void drawIfNotEmpty(QPainter& painter, const QImage& image, const pf::Rect& rect)
{
    if (image.isNull() || rect.size.width <= 0 || rect.size.height <= 0)
        return;
    painter.save();
    painter.translate(0, rect.minY() + rect.maxY());
    painter.scale(1, -1);
    painter.drawImage(rect.toQRectF(), image);
    painter.restore();
}

} // namespace

OVFrameShadowLayer::OVFrameShadowLayer()
{
    setNeedsDisplay();
}

void OVFrameShadowLayer::setBounds(const pf::Rect& bounds)
{
    Layer::setBounds(bounds);
    setNeedsDisplay();
}

void OVFrameShadowLayer::setSide(double& side, double value)
{
    side = value;
    setNeedsDisplay();
}

OVFrameShadowLayer::SideRects OVFrameShadowLayer::sideRects(int side) const
{
    const double w = bounds().size.width, h = bounds().size.height;
    const double t = m_top, r = m_right, b = m_bottom, l = m_left, m = m_max;
    const double across = w - l - r, along = h - t - b;
    if (m < 1) {
        switch (side) {
        case 0:
            return {pf::Rect(0, h - t, l, t), pf::Rect(l, h - t, across, t)};
        case 1:
            return {pf::Rect(0, -l, b, l), pf::Rect(b, -l, along, l)};
        case 2:
            return {pf::Rect(-w, -b, r, b), pf::Rect(r - w, -b, across, b)};
        default:
            return {pf::Rect(-h, w - r, t, r), pf::Rect(t - h, w - r, along, r)};
        }
    }
    switch (side) {
    case 0:
        return {pf::Rect(l - m, h - t, m, m), pf::Rect(l, h - t, across, m)};
    case 1:
        return {pf::Rect(b - m, -l, m, m), pf::Rect(b, -l, along, m)};
    case 2:
        return {pf::Rect(r - w - m, -b, m, m), pf::Rect(r - w, -b, across, m)};
    default:
        return {pf::Rect(t - h - m, w - r, m, m), pf::Rect(t - h, w - r, along, m)};
    }
}

void OVFrameShadowLayer::drawInContext(QPainter& painter)
{
    const QImage corner = pf::NamedImage::image(cornerName);
    const QImage edge = pf::NamedImage::image(edgeName);
    for (int side = 0; side < 4; ++side) {
        painter.save();
        // Counter-clockwise in the layer's y-up coordinates.
        painter.rotate(90.0 * side);
        const SideRects rects = sideRects(side);
        drawIfNotEmpty(painter, corner, rects.corner);
        drawIfNotEmpty(painter, edge, rects.edge);
        painter.restore();
    }
}

QStringList OVFrameShadowLayer::imageNames()
{
    return {cornerName, edgeName};
}
