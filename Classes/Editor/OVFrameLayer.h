#pragma once

#include "Platform/UI/Layer.h"

#include <QStringList>

// The paper frame as a layer: its bounds filled with paper except a clear middle 9 points in from every
// edge, a dark line along the outer edge and a darker one along the inner edge. The canvas and the
// layer browser take it as their border, grown by their margin around what they show. The outer
// rectangle stands on whole points, so a frame of fractional size keeps crisp edges.
class OVFrameLayer : public pf::Layer
{
public:
    OVFrameLayer();

    void setBounds(const pf::Rect& bounds) override;
    void drawInContext(QPainter& painter) override;
    bool drawsContent() const override { return true; }

    // The band's width.
    static constexpr double inset = 9.0;
    static QStringList imageNames();
};
