#include "Classes/Framework/Toolkit/OVArrowView.h"

#include "Classes/Framework/Toolkit/ViewORVExtension.h"

#include <QPainter>
#include <QTransform>

namespace {

constexpr unsigned kNoHead = 4;

// The end of the line: one head length away from the point, on the side the direction names.
pf::Point lineEnd(pf::Point point, unsigned direction, double headLength)
{
    switch (direction) {
    case 0:
        return pf::Point(point.x, point.y + headLength);
    case 1:
        return pf::Point(point.x + headLength, point.y);
    case 2:
        return pf::Point(point.x, point.y - headLength);
    case 3:
        return pf::Point(point.x - headLength, point.y);
    default:
        return point;
    }
}

} // namespace

OVArrowView::OVArrowView(const pf::Rect& frame, QWidget* parent) : View(frame, parent) {}

void OVArrowView::setFromPoint(pf::Point point)
{
    ViewORVExtension::setAndRedisplay(*this, m_fromPoint, point);
}

pf::Point OVArrowView::center() const
{
    const pf::Rect b = bounds();
    return pf::Point(m_center.x < 0 ? b.width() / 2 : m_center.x,
                     m_center.y < 0 ? b.height() / 2 : m_center.y);
}

QPainterPath OVArrowView::linePath() const
{
    const double h = m_headSize.height;
    const pf::Point a = lineEnd(m_fromPoint, m_fromDirection, h);
    const pf::Point b = lineEnd(m_toPoint, m_toDirection, h);
    const bool fromHorizontal = m_fromDirection % 2 == 1;
    const bool toHorizontal = m_toDirection % 2 == 1;
    pf::Point c1, c2;
    if (fromHorizontal != toHorizontal) {
        // Perpendicular ends meet at one corner.
        c1 = c2 = fromHorizontal ? pf::Point(b.x, a.y) : pf::Point(a.x, b.y);
    } else {
        // Parallel ends turn at the centre line between them.
        const pf::Point c = center();
        if (fromHorizontal) {
            c1 = pf::Point(c.x, a.y);
            c2 = pf::Point(c.x, b.y);
        } else {
            c1 = pf::Point(a.x, c.y);
            c2 = pf::Point(b.x, c.y);
        }
    }
    QPainterPath path;
    path.moveTo(a.toQPointF());
    if (m_curved) {
        path.cubicTo(c1.toQPointF(), c2.toQPointF(), b.toQPointF());
    } else {
        path.lineTo(c1.toQPointF());
        path.lineTo(c2.toQPointF());
        path.lineTo(b.toQPointF());
    }
    return path;
}

QPainterPath OVArrowView::headPath(pf::Point point, unsigned direction) const
{
    if (direction >= kNoHead)
        return QPainterPath();
    const double h = m_headSize.height;
    // Horizontal heads have their tip on the point, vertical ones their base.
    const double d = direction;
    const pf::Point t = direction % 2 == 1 ? pf::Point(point.x - (d - 2) * h / 2, point.y)
                                           : pf::Point(point.x, point.y - (d - 1) * h / 2);
    QPainterPath unit;
    unit.moveTo(0, 0.5);
    unit.lineTo(0.5, -0.5);
    unit.lineTo(-0.5, -0.5);
    unit.closeSubpath();
    const QTransform place = QTransform::fromScale(m_headSize.width, h) * QTransform().rotate(90.0 * d) *
                             QTransform::fromTranslate(t.x, t.y);
    return place.map(unit);
}

void OVArrowView::drawRect(QPainter& painter, const pf::Rect&)
{
    QPen pen(m_color, m_width);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::FlatCap);
    // A width of 0 strokes the thinnest line the screen shows.
    painter.strokePath(linePath(), pen);
    painter.fillPath(headPath(m_fromPoint, m_fromDirection), m_color);
    painter.fillPath(headPath(m_toPoint, m_toDirection), m_color);
}
