#pragma once

#include <QColor>
#include <QImage>
#include <optional>

class QBrush;

namespace pf {

// A colour of the interface that remembers the colour space it was made in (calibrated, device or
// generic RGB, calibrated or device white) or that it is a pattern (an image tiled). Some drawing
// depends on the space: a disabled title dims calibrated-RGB colours only. Without colour management
// the RGB and white spaces share their numbers: converting changes the tag, not the values.
class PaintColor
{
public:
    enum class Space
    {
        CalibratedRGB,
        DeviceRGB,
        GenericRGB,
        CalibratedWhite,
        DeviceWhite,
        Pattern,
    };

    // Transparent black, calibrated RGB.
    PaintColor() = default;
    static PaintColor calibratedRGB(double red, double green, double blue, double alpha = 1.0);
    static PaintColor deviceRGB(double red, double green, double blue, double alpha = 1.0);
    static PaintColor genericRGB(double red, double green, double blue, double alpha = 1.0);
    static PaintColor calibratedWhite(double white, double alpha = 1.0);
    static PaintColor deviceWhite(double white, double alpha = 1.0);
    static PaintColor pattern(const QImage& image);
    // From a QColor, in device RGB (what a colour chosen on screen is).
    static PaintColor fromQColor(const QColor& color);

    Space space() const { return m_space; }
    bool isPattern() const { return m_space == Space::Pattern; }
    bool isWhiteSpace() const { return m_space == Space::CalibratedWhite || m_space == Space::DeviceWhite; }

    // Components; a white colour answers its white for red, green and blue. A pattern has none (0).
    double red() const { return m_red; }
    double green() const { return m_green; }
    double blue() const { return m_blue; }
    double white() const { return m_red; }
    double alpha() const { return m_alpha; }
    QImage patternImage() const { return m_pattern; }

    // The same colour in another space; nothing for a pattern, or to a white space from a colour whose
    // components differ (that needs a real conversion: the luminance is taken).
    std::optional<PaintColor> usingSpace(Space space) const;
    PaintColor withAlphaComponent(double alpha) const;

    // For drawing: the QColor (clamped to 0..1; transparent for a pattern), or a brush that also tiles
    // a pattern (upright in a y-up painter, its tiles starting at the origin).
    QColor toQColor() const;
    QBrush brush() const;

    bool operator==(const PaintColor& other) const;

private:
    PaintColor(Space space, double red, double green, double blue, double alpha)
        : m_space(space), m_red(red), m_green(green), m_blue(blue), m_alpha(alpha)
    {}

    Space m_space = Space::CalibratedRGB;
    double m_red = 0, m_green = 0, m_blue = 0, m_alpha = 0;
    QImage m_pattern;
};

} // namespace pf
