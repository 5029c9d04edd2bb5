#pragma once

#include "Classes/Framework/Toolkit/OVPatternView.h"

#include <QColor>

// The background of a column: the noise pattern under a light gradient, a dark line along the left
// edge. Shade 1 lights it radially from beyond its left edge, any other shade runs the gradient
// diagonally. It swallows presses so nothing behind it reacts.
class OVColumnView : public OVPatternView
{
    Q_OBJECT

public:
    explicit OVColumnView(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);

    QColor startColor() const { return m_startColor; }
    QColor endColor() const { return m_endColor; }
    // The colour setters only store: the caller redisplays when it is done.
    void setStartColor(const QColor& color) { m_startColor = color; }
    void setEndColor(const QColor& color) { m_endColor = color; }
    // Colour text ("r g b a").
    void setStartColorName(const QString& text);
    void setEndColorName(const QString& text);
    int shade() const { return m_shade; }
    void setShade(int shade);

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;
    void mouseDown(const pf::Event&) override {}
    void mouseDragged(const pf::Event&) override {}
    void mouseUp(const pf::Event&) override {}

private:
    QColor m_startColor = QColor::fromRgbF(1.0f, 1.0f, 1.0f, 0.95f);
    QColor m_endColor =
        QColor::fromRgbF(0.8313725490196079f, 0.8313725490196079f, 0.8313725490196079f, 0.95f);
    int m_shade = 0;
};
