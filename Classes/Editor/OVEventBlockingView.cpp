#include "Classes/Editor/OVEventBlockingView.h"

#include "Classes/Framework/OVColor.h"

#include <QPainter>

void OVEventBlockingView::setColorName(const QString& text)
{
    m_color = OVColor::colorFromDescription(text).brush().color();
}

void OVEventBlockingView::drawRect(QPainter& painter, const pf::Rect&)
{
    if (m_color)
        painter.fillRect(bounds().toQRectF(), *m_color);
}
