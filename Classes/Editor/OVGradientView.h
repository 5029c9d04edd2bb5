#pragma once

#include "Platform/UI/View.h"

#include <QGradientStops>

// A background of a linear gradient across the bounds at an angle (degrees, counterclockwise; -90 runs
// from the top edge down): black, a dark grey at 60 %, black.
class OVGradientView : public pf::View
{
    Q_OBJECT

public:
    explicit OVGradientView(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);

    // Neither setter redraws by itself.
    const QGradientStops& gradient() const { return m_gradient; }
    void setGradient(const QGradientStops& gradient) { m_gradient = gradient; }
    double angle() const { return m_angle; }
    void setAngle(double angle) { m_angle = angle; }

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;

private:
    QGradientStops m_gradient;
    double m_angle = -90;
};
