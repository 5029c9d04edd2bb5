#pragma once

#include "Platform/UI/Layer.h"

#include <QStringList>

// A soft shadow along the four sides of the layer, each side as thick as its own value, drawn from a
// corner picture and an edge picture made for the top side and turned for the others. With `max`
// below 1 the shadow lies inside the bounds along each edge. With `max` of 1 or more it is a band of
// that constant thickness just outside the inner rectangle that the four sides leave, so a side
// shrinking to 0 slides its band out of the bounds: the canvas lets its shadow fade out this way as an
// edge of the photo comes into view.
class OVFrameShadowLayer : public pf::Layer
{
public:
    OVFrameShadowLayer();

    void setBounds(const pf::Rect& bounds) override;

    double top() const { return m_top; }
    void setTop(double value) { setSide(m_top, value); }
    double right() const { return m_right; }
    void setRight(double value) { setSide(m_right, value); }
    double bottom() const { return m_bottom; }
    void setBottom(double value) { setSide(m_bottom, value); }
    double left() const { return m_left; }
    void setLeft(double value) { setSide(m_left, value); }
    // Taken at the next redraw (which a change of a side or of the bounds asks for).
    double max() const { return m_max; }
    void setMax(double value) { m_max = value; }

    void drawInContext(QPainter& painter) override;
    bool drawsContent() const override { return true; }

    // The rectangles of side n (0 top, 1 left, 2 bottom, 3 right) in the context turned by n x 90
    // degrees counter-clockwise: the corner's first, then the edge's.
    struct SideRects
    {
        pf::Rect corner, edge;
    };
    SideRects sideRects(int side) const;

    static QStringList imageNames();

private:
    // A side takes its new thickness and the layer redraws.
    void setSide(double& side, double value);
    double m_top = 0, m_right = 0, m_bottom = 0, m_left = 0, m_max = 0;
};
