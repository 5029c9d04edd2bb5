#include "Classes/Framework/Toolkit/OVPatternView.h"

#include "Classes/Framework/OVColor.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/NamedImage.h"

#include <QPainter>

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
        if (m_rotation != 0)
            pf::fillWithPattern(painter, area, m_image, pf::Point(0, 0), m_rotation);
        else
            pf::fillWithPattern(painter, area, m_image, pf::Point(0, b.height() - h));
    }
    if (m_color)
        painter.fillRect(b.toQRectF(), m_color->brush());
}
