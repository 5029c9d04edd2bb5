#pragma once

#include <QMetaType>
#include <QString>

class QColor;

namespace pf {

// A colour as straight (not premultiplied) RGBA components in the photo's working values (sRGB-encoded).
// Components are not clamped, so a filter may carry values outside 0..1.
class Color
{
public:
    constexpr Color() = default;
    constexpr Color(double red, double green, double blue, double alpha = 1.0)
        : m_red(red), m_green(green), m_blue(blue), m_alpha(alpha)
    {}
    static Color fromQColor(const QColor& color);
    // "r g b a" with one to four numbers (one number is a grey); an unreadable text gives transparent black.
    static Color fromString(const QString& text);

    double red() const { return m_red; }
    double green() const { return m_green; }
    double blue() const { return m_blue; }
    double alpha() const { return m_alpha; }

    // The values a kernel receives for a colour argument: premultiplied by alpha.
    Color premultiplied() const
    {
        return Color(m_red * m_alpha, m_green * m_alpha, m_blue * m_alpha, m_alpha);
    }
    QColor toQColor() const;
    QString toString() const;

    bool operator==(const Color& other) const = default;

private:
    double m_red = 0, m_green = 0, m_blue = 0, m_alpha = 0;
};

} // namespace pf

Q_DECLARE_METATYPE(pf::Color)
