#pragma once

#include "Platform/UI/View.h"

#include <QColor>

// A white tab with a blue glow. Edges named in `position` run 3 points past the bounds, so only the
// other edges show their rounded corners and the glow: the tab seems to grow out of its neighbour.
class OVTabView : public pf::View
{
    Q_OBJECT

public:
    enum Edge : unsigned
    {
        TopEdge = 1, // maximum y
        BottomEdge = 2,
        LeftEdge = 4,
        RightEdge = 8,
    };

    explicit OVTabView(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);
    ~OVTabView() override;

    QColor tabColor() const { return m_tabColor; }
    void setTabColor(const QColor& color);
    QColor shadowColor() const { return m_shadowColor; }
    void setShadowColor(const QColor& color);
    unsigned position() const { return m_position; }
    void setPosition(unsigned position);

    // The tab's rectangle: the bounds inset by 3, reaching 3 beyond them on the edges in `position`.
    pf::Rect tabRect() const;
    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;

private:
    QColor m_tabColor = Qt::white;
    QColor m_shadowColor = QColor::fromRgbF(0.3686274509803922f, 0.6705882352941176f, 0.9294117647058824f, 1);
    unsigned m_position = TopEdge;
};
