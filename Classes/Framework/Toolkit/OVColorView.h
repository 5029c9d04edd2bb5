#pragma once

#include "Platform/Image/Gradient.h"
#include "Platform/Image/PaintColor.h"
#include "Platform/UI/View.h"

#include <QPainterPath>
#include <optional>

// A view that paints a rounded rectangle: a solid colour or a tiled pattern, a gradient at an angle over
// it, and an optional border, which lies inside the bounds (the path is inset by half its width). It can
// swallow the mouse (blockInput), so that presses, drags and releases on it go no further. Interfaces
// set it up from text: colours in the toolkit's colour text, gradients in the gradient text, patterns by
// image name. Setters store only; the owner redisplays.
class OVColorView : public pf::View
{
    Q_OBJECT

public:
    // Made without a frame: the gradient angle starts at 0.
    OVColorView();
    // Made in code with a frame: the gradient angle starts at 270 (top to bottom).
    explicit OVColorView(const pf::Rect& frame, QWidget* parent = nullptr);

    std::optional<pf::PaintColor> color() const { return m_color; }
    void setColor(const std::optional<pf::PaintColor>& color) { m_color = color; }
    std::optional<pf::Gradient> gradient() const { return m_gradient; }
    void setGradient(const std::optional<pf::Gradient>& gradient) { m_gradient = gradient; }
    double angle() const { return m_angle; }
    void setAngle(double degrees) { m_angle = degrees; }
    std::optional<pf::PaintColor> borderColor() const { return m_borderColor; }
    void setBorderColor(const std::optional<pf::PaintColor>& color) { m_borderColor = color; }
    double borderWidth() const { return m_borderWidth; }
    void setBorderWidth(double width) { m_borderWidth = width; }
    double cornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(double radius) { m_cornerRadius = radius; }
    bool blockInput() const { return m_blockInput; }
    void setBlockInput(bool flag) { m_blockInput = flag; }

    // From text: colour text, an application image tiled as the colour, gradient text.
    void setColorName(const QString& text);
    void setBorderColorName(const QString& text);
    void setPatternName(const QString& name);
    void setPattern(const QImage& image);
    void setGradientName(const QString& text);

    bool isOpaque() const { return false; }
    // The path painted: the bounds inset by half the border width, rounded by the corner radius.
    QPainterPath path() const;

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;
    void mouseDown(const pf::Event& event) override;
    void mouseDragged(const pf::Event& event) override;
    void mouseUp(const pf::Event& event) override;

private:
    std::optional<pf::PaintColor> m_color;
    std::optional<pf::Gradient> m_gradient;
    double m_angle = 0;
    std::optional<pf::PaintColor> m_borderColor;
    double m_borderWidth = 0;
    double m_cornerRadius = 0;
    bool m_blockInput = false;
};
