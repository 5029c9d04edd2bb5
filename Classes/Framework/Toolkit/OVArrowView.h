#pragma once

#include "Platform/Foundation/Point.h"
#include "Platform/Foundation/Size.h"
#include "Platform/UI/View.h"

#include <QColor>
#include <QPainterPath>

// A line between two points, routed with right angles or as one smooth curve, with a triangular head at
// each end whose direction is below 4. An end's direction says on which side of its point the line
// attaches: 0 above (+y), 1 to the right (+x), 2 below, 3 to the left; the head fills the gap of one
// head length between the point and the line. Odd directions leave horizontally, even ones vertically.
class OVArrowView : public pf::View
{
    Q_OBJECT

public:
    explicit OVArrowView(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);

    pf::Point fromPoint() const { return m_fromPoint; }
    // Redraws; the other setters only store (values set along with the from point are drawn with it).
    void setFromPoint(pf::Point point);
    pf::Point toPoint() const { return m_toPoint; }
    void setToPoint(pf::Point point) { m_toPoint = point; }
    unsigned fromDirection() const { return m_fromDirection; }
    void setFromDirection(unsigned direction) { m_fromDirection = direction; }
    unsigned toDirection() const { return m_toDirection; }
    void setToDirection(unsigned direction) { m_toDirection = direction; }
    const QColor& color() const { return m_color; }
    void setColor(const QColor& color) { m_color = color; }
    double width() const { return m_width; }
    void setWidth(double width) { m_width = width; }
    // Width across the line, length along it.
    pf::Size headSize() const { return m_headSize; }
    void setHeadSize(pf::Size size) { m_headSize = size; }
    // Where parallel ends turn; a negative coordinate stands for the middle of the bounds.
    pf::Point center() const;
    void setCenter(pf::Point center) { m_center = center; }
    bool isCurved() const { return m_curved; }
    void setCurved(bool curved) { m_curved = curved; }

    // The line from end to end, in own coordinates.
    QPainterPath linePath() const;
    // The head at `point` for `direction` (empty for 4 and above).
    QPainterPath headPath(pf::Point point, unsigned direction) const;

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;

private:
    pf::Point m_fromPoint, m_toPoint;
    unsigned m_fromDirection = 0, m_toDirection = 0;
    QColor m_color = Qt::white;
    double m_width = 0;
    pf::Size m_headSize;
    pf::Point m_center = pf::Point(-1, -1);
    bool m_curved = false;
};
