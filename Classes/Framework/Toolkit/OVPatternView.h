#pragma once

#include "Platform/Image/PaintColor.h"
#include "Platform/UI/View.h"

#include <QImage>
#include <optional>

// A plain view filled with a tiled image, anchored at its top left and optionally turned, with an
// optional wash of colour over the tiles. Setters do not redraw.
class OVPatternView : public pf::View
{
    Q_OBJECT

public:
    using View::View;

    QImage image() const { return m_image; }
    void setImage(const QImage& image) { m_image = image; }
    std::optional<pf::PaintColor> color() const { return m_color; }
    void setColor(const std::optional<pf::PaintColor>& color) { m_color = color; }
    // Degrees; 0 draws the tiles untransformed.
    double rotation() const { return m_rotation; }
    void setRotation(double degrees) { m_rotation = degrees; }
    // An application image by name, and colour text.
    void setImageName(const QString& name);
    void setColorName(const QString& text);

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;

private:
    QImage m_image;
    std::optional<pf::PaintColor> m_color;
    double m_rotation = 0;
};
