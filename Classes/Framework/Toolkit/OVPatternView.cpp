#include "Classes/Framework/Toolkit/OVPatternView.h"

#include "Classes/Framework/OVColor.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/NamedImage.h"

#include <QPainter>
#include <QTransform>

void OVPatternView::setImageName(const QString& name)
{
    m_image = pf::NamedImage::image(name);
}

void OVPatternView::setColorName(const QString& text)
{
    m_color = OVColor::colorFromDescription(text);
}

void OVPatternView::drawRect(QPainter& painter, const pf::Rect&)
{
    const pf::Rect b = bounds();
    if (!m_image.isNull()) {
        // Tiles of the image's size, anchored at the top left of the bounds; a turned tiling turns
        // about the view's origin.
        const double h = m_image.height() / m_image.devicePixelRatio();
        QPainterPath area;
        area.addRect(b.toQRectF());
        // The tiling is turned about the view's origin and then anchored at the top left in the turned
        // coordinates: the anchor (0, H - h) turns with it.
        const QPointF anchor = QTransform().rotate(m_rotation).map(QPointF(0, b.height() - h));
        pf::fillWithPattern(painter, area, m_image, pf::Point(anchor.x(), anchor.y()), m_rotation);
    }
    if (m_color)
        painter.fillRect(b.toQRectF(), m_color->brush());
}
