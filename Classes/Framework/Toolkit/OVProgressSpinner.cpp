#include "Classes/Framework/Toolkit/OVProgressSpinner.h"

#include "Classes/Framework/Toolkit/ViewORVExtension.h"
#include "Platform/UI/Timer.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

OVProgressSpinner::~OVProgressSpinner()
{
    stopAnimation();
}

void OVProgressSpinner::startAnimation()
{
    if (m_timer)
        return;
    m_timer = pf::Timer::scheduled(
        stepInterval, true,
        [this](pf::Timer&) {
            m_phase = (m_phase + 1) % spokes;
            setNeedsDisplay();
        },
        this);
    setNeedsDisplay();
}

void OVProgressSpinner::stopAnimation()
{
    if (!m_timer)
        return;
    m_timer->invalidate();
    m_timer.reset();
    setNeedsDisplay();
}

void OVProgressSpinner::setColor(const QColor& color)
{
    ViewORVExtension::setAndRedisplay(*this, m_color, color);
}

void OVProgressSpinner::drawRect(QPainter& painter, const pf::Rect&)
{
    if (!m_timer)
        return;
    const pf::Rect b = bounds();
    const double radius = std::min(b.width(), b.height()) / 2;
    const double width = std::max(1.5, radius * 0.22);
    painter.save();
    painter.translate(b.midX(), b.midY());
    for (int i = 0; i < spokes; ++i) {
        // The brightest spoke is the current phase; the ones behind it (clockwise) fade.
        const int behind = (m_phase - i + spokes) % spokes;
        QColor color = m_color;
        color.setAlphaF(float(m_color.alphaF() * std::max(0.2, 1.0 - behind / double(spokes))));
        QPen pen(color, width, Qt::SolidLine, Qt::RoundCap);
        painter.setPen(pen);
        // Spoke 0 points up, the next ones clockwise (the painter is y-up).
        const double angle = M_PI / 2 - i * 2 * M_PI / spokes;
        const QPointF direction(std::cos(angle), std::sin(angle));
        painter.drawLine(direction * radius * 0.45, direction * (radius - width / 2));
    }
    painter.restore();
}
