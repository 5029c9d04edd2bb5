#pragma once

#include "Platform/UI/Layer.h"

#include <QColor>
#include <QGradientStops>
#include <memory>

// Darkens towards the edges in one colour along ellipses of the layer's aspect ratio: clear inside the
// start radius, rising to the full colour at the end radius and staying full beyond it. The radii are
// fractions of half the layer's larger side.
class OVVignetteLayer : public pf::Layer
{
public:
    OVVignetteLayer(const QColor& color, double startRadius, double endRadius);
    static std::shared_ptr<OVVignetteLayer> create(const QColor& color, double startRadius, double endRadius)
    {
        return std::make_shared<OVVignetteLayer>(color, startRadius, endRadius);
    }

    double startRadius() const { return m_startRadius; }
    double endRadius() const { return m_endRadius; }
    const QGradientStops& gradient() const { return m_gradient; }

    void setBounds(const pf::Rect& bounds) override;
    bool drawsContent() const override { return true; }
    void drawInContext(QPainter& painter) override;

private:
    double m_startRadius;
    double m_endRadius;
    QGradientStops m_gradient;
};
