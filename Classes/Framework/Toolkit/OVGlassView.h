#pragma once

#include "Platform/UI/View.h"

#include <QColor>

// A panel of a colour with a glassy sheen: a band of light at the top and the bottom.
class OVGlassView : public pf::View
{
    Q_OBJECT

public:
    explicit OVGlassView(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);

    QColor color() const { return m_color; }
    void setColor(const QColor& color);
    void setColorName(const QString& text);

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;

private:
    QColor m_color = Qt::black;
};
