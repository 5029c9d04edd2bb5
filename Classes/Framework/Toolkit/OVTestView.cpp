#include "Classes/Framework/Toolkit/OVTestView.h"

#include <QPainter>

void OVTestView::drawRect(QPainter& painter, const pf::Rect& dirtyRect)
{
    painter.fillRect(dirtyRect.toQRectF(), QColor::fromRgbF(0, 1, 0, 0.3f));
}
