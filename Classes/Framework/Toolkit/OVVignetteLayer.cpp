#include "Classes/Framework/Toolkit/OVVignetteLayer.h"

#include "Platform/UI/Drawing.h"

#include <QPainter>
#include <algorithm>

OVVignetteLayer::OVVignetteLayer(const QColor& color, double startRadius, double endRadius)
    : m_startRadius(startRadius), m_endRadius(endRadius)
{
    const QColor full = color.toRgb();
    // A faint tenth of the way keeps the darkening from starting with a visible edge.
    const QColor faint = QColor::fromRgbF(full.redF() * 0.05f, full.greenF() * 0.05f, full.blueF() * 0.05f,
                                          full.alphaF() * 0.05f);
    m_gradient = {{0.0, QColor(0, 0, 0, 0)}, {0.1, faint}, {1.0, full}};
    setNeedsDisplay();
}

void OVVignetteLayer::setBounds(const pf::Rect& bounds)
{
    Layer::setBounds(bounds);
    setNeedsDisplay();
}

void OVVignetteLayer::drawInContext(QPainter& painter)
{
    const pf::Rect b = bounds().standardized();
    const double w = b.width(), h = b.height();
    const double r = std::max(w, h) / 2;
    if (r <= 0)
        return;
    const pf::Point c(b.minX() + w / 2, b.minY() + h / 2);
    painter.save();
    // Circles about the centre become ellipses with the layer's proportions.
    painter.translate(c.x, c.y);
    painter.scale(w / 2 / r, h / 2 / r);
    painter.translate(-c.x, -c.y);
    pf::drawRadialGradient(painter, m_gradient, c, r * m_startRadius, c, r * m_endRadius, false, true,
                           pf::Rect(c.x - r, c.y - r, 2 * r, 2 * r));
    painter.restore();
}
