#pragma once

#include "Platform/UI/Layer.h"

#include <memory>

// A vertical alpha ramp for use as another layer's mask: transparent at the bottom (y = 0) and top edges,
// opaque from `topFadeout` points above the bottom edge to `bottomFadeout` points below the top edge.
class OVFadeoutMaskLayer : public pf::Layer
{
public:
    OVFadeoutMaskLayer();
    static std::shared_ptr<OVFadeoutMaskLayer> create() { return std::make_shared<OVFadeoutMaskLayer>(); }
    std::shared_ptr<pf::Layer> newOfSameClass() const override { return create(); }

    double topFadeout() const { return m_topFadeout; }
    void setTopFadeout(double points);
    double bottomFadeout() const { return m_bottomFadeout; }
    void setBottomFadeout(double points);

    bool drawsContent() const override { return true; }
    void drawInContext(QPainter& painter) override;

private:
    double m_topFadeout = 0;
    double m_bottomFadeout = 0;
};
