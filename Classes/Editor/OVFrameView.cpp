#include "Classes/Editor/OVFrameView.h"

#include "Platform/UI/Drawing.h"
#include "Platform/UI/NamedImage.h"

#include <QPainterPath>

void OVFrameView::drawRect(QPainter& painter, const pf::Rect&)
{
    const pf::Rect outer = bounds();
    const pf::Rect inner(outer.minX() + 8.5, outer.minY() + 8.5, outer.width() - 17, outer.height() - 17);
    QPainterPath band;
    band.setFillRule(Qt::OddEvenFill);
    band.addRect(outer.toQRectF());
    if (inner.size.width > 0 && inner.size.height > 0)
        band.addRect(inner.toQRectF());
    pf::fillWithPattern(painter, band, pf::NamedImage::image(QStringLiteral("Paper.jpg")));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor::fromRgbF(0, 0, 0, 0.35), 2.0));
    painter.drawRect(outer.toQRectF());
    if (inner.size.width > 0 && inner.size.height > 0) {
        painter.setPen(QPen(QColor::fromRgbF(0, 0, 0, 0.64), 1.0));
        painter.drawRect(inner.toQRectF());
    }
}

QStringList OVFrameView::imageNames()
{
    return {QStringLiteral("Paper.jpg")};
}
