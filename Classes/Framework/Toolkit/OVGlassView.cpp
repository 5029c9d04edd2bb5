#include "Classes/Framework/Toolkit/OVGlassView.h"

#include "Classes/Framework/OVColor.h"
#include "Classes/Framework/Toolkit/ViewORVExtension.h"
#include "Platform/UI/Drawing.h"

OVGlassView::OVGlassView(const pf::Rect& frame, QWidget* parent) : View(frame, parent) {}

void OVGlassView::setColor(const QColor& color)
{
    ViewORVExtension::setAndRedisplay(*this, m_color, color);
}

void OVGlassView::setColorName(const QString& text)
{
    setColor(OVColor::colorFromDescription(text).toQColor());
}

void OVGlassView::drawRect(QPainter& painter, const pf::Rect&)
{
    painter.fillRect(bounds().toQRectF(), m_color);
    const auto light = [](double alpha) { return QColor::fromRgbF(1, 1, 1, float(alpha)); };
    const QGradientStops stops = {
        {0.0, light(0.15)}, {0.25, light(0.15)}, {0.59, light(0.0)}, {0.6, light(0.15)}, {1.0, light(0.15)}};
    pf::fillLinearGradient(painter, stops, bounds(), 90);
}
