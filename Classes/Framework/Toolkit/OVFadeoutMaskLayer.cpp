#include "Classes/Framework/Toolkit/OVFadeoutMaskLayer.h"

#include "Classes/Framework/Toolkit/ViewORVExtension.h"

#include <QLinearGradient>
#include <QPainter>
#include <algorithm>

OVFadeoutMaskLayer::OVFadeoutMaskLayer()
{
    setNeedsDisplayOnBoundsChange(true);
    setContentsGravity(pf::ContentsGravity::Resize);
}

void OVFadeoutMaskLayer::setTopFadeout(double points)
{
    ViewORVExtension::setAndRedisplay(*this, m_topFadeout, points);
}

void OVFadeoutMaskLayer::setBottomFadeout(double points)
{
    ViewORVExtension::setAndRedisplay(*this, m_bottomFadeout, points);
}

void OVFadeoutMaskLayer::drawInContext(QPainter& painter)
{
    const pf::Rect b = bounds().standardized();
    const double h = b.height();
    if (h <= 0)
        return;
    // Fades longer than the layer meet in the middle instead of crossing over.
    double rise = std::clamp(m_topFadeout / h, 0.0, 1.0);
    double fall = std::clamp(1 - m_bottomFadeout / h, 0.0, 1.0);
    if (rise > fall)
        rise = fall = (rise + fall) / 2;
    QLinearGradient gradient(0, b.minY(), 0, b.maxY());
    // An edge without a fade is opaque right up to it.
    if (rise > 0)
        gradient.setColorAt(0, QColor(0, 0, 0, 0));
    gradient.setColorAt(rise, Qt::black);
    gradient.setColorAt(fall, Qt::black);
    if (fall < 1)
        gradient.setColorAt(1, QColor(0, 0, 0, 0));
    painter.fillRect(b.toQRectF(), gradient);
}
