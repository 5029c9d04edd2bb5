#pragma once

#include "Platform/UI/View.h"

#include <QColor>
#include <optional>

// A view that fills itself with a colour (or stays clear without one) and swallows mouse presses, so
// that nothing under it can be clicked.
class OVEventBlockingView : public pf::View
{
    Q_OBJECT

public:
    using View::View;

    // The colour written as colour text (as stored in interface and settings files).
    void setColorName(const QString& text);
    const std::optional<QColor>& color() const { return m_color; }
    // Does not redraw by itself.
    void setColor(const std::optional<QColor>& color) { m_color = color; }

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;
    void mouseDown(const pf::Event&) override {}
    void mouseUp(const pf::Event&) override {}

private:
    std::optional<QColor> m_color;
};
