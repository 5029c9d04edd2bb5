#include "Classes/Framework/Toolkit/OVColumnView.h"

#include "Classes/Framework/OVColor.h"
#include "Classes/Framework/Toolkit/ViewORVExtension.h"
#include "Platform/UI/Drawing.h"

#include <QPainter>

OVColumnView::OVColumnView(const pf::Rect& frame, QWidget* parent) : OVPatternView(frame, parent)
{
    setImageName(QStringLiteral("NoiseFull"));
}

void OVColumnView::setStartColorName(const QString& text)
{
    m_startColor = OVColor::colorFromDescription(text).toQColor();
}

void OVColumnView::setEndColorName(const QString& text)
{
    m_endColor = OVColor::colorFromDescription(text).toQColor();
}

void OVColumnView::setShade(int shade)
{
    ViewORVExtension::setAndRedisplay(*this, m_shade, shade);
}

void OVColumnView::drawRect(QPainter& painter, const pf::Rect& dirtyRect)
{
    const pf::Rect b = bounds();
    const double w = b.width(), h = b.height();
    // Without area there is nothing to shade (the radial shade would scale by H / W).
    if (!(w > 0) || !(h > 0))
        return;
    OVPatternView::drawRect(painter, dirtyRect);
    const QGradientStops stops = {{0.0, m_startColor}, {0.5868240888334652, m_endColor}};
    if (m_shade != 1) {
        pf::fillLinearGradient(painter, stops, b, 310);
    } else {
        // Squeezed vertically, the circles around a centre left of the column become ellipses that
        // light it from its left edge.
        painter.save();
        painter.translate(b.minX(), b.minY());
        painter.scale(1, h / w / 2);
        pf::drawRadialGradient(painter, stops, pf::Point(-w, w), w, pf::Point(-w, w), w * 2.8284271247461903,
                               false, true, pf::Rect(0, 0, w, 2 * w));
        painter.restore();
    }
    painter.setPen(
        QPen(QColor::fromRgbF(0.2901960784313726f, 0.2901960784313726f, 0.2901960784313726f), 1.0));
    painter.drawLine(QPointF(0.5, dirtyRect.minY()), QPointF(0.5, dirtyRect.maxY()));
}
