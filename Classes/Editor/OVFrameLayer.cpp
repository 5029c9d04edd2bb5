#include "Classes/Editor/OVFrameLayer.h"

#include "Platform/UI/Drawing.h"
#include "Platform/UI/NamedImage.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

OVFrameLayer::OVFrameLayer()
{
    setNeedsDisplay();
}

void OVFrameLayer::setBounds(const pf::Rect& bounds)
{
    Layer::setBounds(bounds);
    setNeedsDisplay();
}

void OVFrameLayer::drawInContext(QPainter& painter)
{
    const pf::Rect b = bounds();
    const pf::Rect outer(b.origin.x, b.origin.y, std::floor(b.size.width), std::floor(b.size.height));
    const pf::Rect inner(outer.origin.x + inset, outer.origin.y + inset, outer.size.width - 2 * inset,
                         outer.size.height - 2 * inset);
    const bool hasInner = inner.size.width > 0 && inner.size.height > 0;
    QPainterPath all;
    all.addRect(outer.toQRectF());
    pf::fillWithPattern(painter, all, pf::NamedImage::image(QStringLiteral("Paper.jpg")));
    if (hasInner)
        pf::clearRect(painter, inner);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor::fromRgbF(0, 0, 0, 0.36), 1.0));
    painter.drawRect(outer.toQRectF());
    if (hasInner) {
        painter.setPen(QPen(QColor::fromRgbF(0, 0, 0, 0.66), 1.0));
        painter.drawRect(inner.toQRectF());
    }
}

QStringList OVFrameLayer::imageNames()
{
    return {QStringLiteral("Paper.jpg")};
}
