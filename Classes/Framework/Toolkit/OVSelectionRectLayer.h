#pragma once

#include "Platform/Foundation/Rect.h"
#include "Platform/UI/Layer.h"
#include "Platform/UI/TextLayer.h"

#include <QString>
#include <memory>

namespace pf {
class Timer;
}

// A selection frame in one of four styles, optionally with marching dashes (style 0) and a subtitle
// centred in it. Nothing it changes animates implicitly.
class OVSelectionRectLayer : public pf::Layer
{
public:
    enum Style
    {
        // Black under yellow dashes, which march while animating.
        DashedYellow = 0,
        // Black, white and black lines one over the other.
        ThreeLines = 1,
        // A white rectangle and the largest centred circle, glowing blue.
        RectangleAndCircle = 2,
        // Any other value: black under white.
        Plain = 3,
    };
    static constexpr double kAnimationInterval = 0.05;
    static constexpr double kDashPeriod = 20;

    OVSelectionRectLayer();
    ~OVSelectionRectLayer() override;
    static std::shared_ptr<OVSelectionRectLayer> create() { return std::make_shared<OVSelectionRectLayer>(); }
    std::shared_ptr<pf::Layer> newOfSameClass() const override { return create(); }

    int selectionStyle() const { return m_style; }
    void setSelectionStyle(int style);
    // Marches the dashes one point every 0.05 s on the interface clock.
    bool animate() const { return m_timer != nullptr; }
    void setAnimate(bool animate);
    double linePhase() const { return m_linePhase; }
    // One step of the dashes: one point on, wrapping after a whole period.
    void updateAnimation();
    const pf::Rect& imageArea() const { return m_imageArea; }
    void setImageArea(const pf::Rect& area) { m_imageArea = area; }
    // A null text removes the subtitle; a new one afterwards makes a fresh text layer.
    QString subTitle() const;
    void setSubTitle(const QString& text);
    const std::shared_ptr<pf::TextLayer>& textLayer() const { return m_textLayer; }

    void setBounds(const pf::Rect& bounds) override;
    // Leaving the tree stops the dashes.
    void removeFromSuperlayer() override;
    pf::LayerAction actionForKey(const QString& key) override;
    bool drawsContent() const override { return true; }
    void drawInContext(QPainter& painter) override;

private:
    int m_style = DashedYellow;
    std::shared_ptr<pf::Timer> m_timer;
    double m_linePhase = 0;
    pf::Rect m_imageArea;
    std::shared_ptr<pf::TextLayer> m_textLayer;
};
