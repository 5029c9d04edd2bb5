#include "Platform/Image/PaintColor.h"

#include <QBrush>
#include <QTransform>
#include <algorithm>

namespace pf {

PaintColor PaintColor::calibratedRGB(double red, double green, double blue, double alpha)
{
    return PaintColor(Space::CalibratedRGB, red, green, blue, alpha);
}

PaintColor PaintColor::deviceRGB(double red, double green, double blue, double alpha)
{
    return PaintColor(Space::DeviceRGB, red, green, blue, alpha);
}

PaintColor PaintColor::genericRGB(double red, double green, double blue, double alpha)
{
    return PaintColor(Space::GenericRGB, red, green, blue, alpha);
}

PaintColor PaintColor::calibratedWhite(double white, double alpha)
{
    return PaintColor(Space::CalibratedWhite, white, white, white, alpha);
}

PaintColor PaintColor::deviceWhite(double white, double alpha)
{
    return PaintColor(Space::DeviceWhite, white, white, white, alpha);
}

PaintColor PaintColor::pattern(const QImage& image)
{
    PaintColor c(Space::Pattern, 0, 0, 0, 1);
    c.m_pattern = image;
    return c;
}

PaintColor PaintColor::fromQColor(const QColor& color)
{
    return deviceRGB(color.redF(), color.greenF(), color.blueF(), color.alphaF());
}

std::optional<PaintColor> PaintColor::usingSpace(Space space) const
{
    if (isPattern() || space == Space::Pattern)
        return space == m_space ? std::optional<PaintColor>(*this) : std::nullopt;
    PaintColor c = *this;
    c.m_space = space;
    if ((space == Space::CalibratedWhite || space == Space::DeviceWhite) &&
        !(m_red == m_green && m_green == m_blue)) {
        const double luminance = 0.2126 * m_red + 0.7152 * m_green + 0.0722 * m_blue;
        c.m_red = c.m_green = c.m_blue = luminance;
    }
    return c;
}

PaintColor PaintColor::withAlphaComponent(double alpha) const
{
    PaintColor c = *this;
    c.m_alpha = alpha;
    return c;
}

QColor PaintColor::toQColor() const
{
    if (isPattern())
        return QColor(Qt::transparent);
    auto clamp = [](double v) { return float(std::clamp(v, 0.0, 1.0)); };
    return QColor::fromRgbF(clamp(m_red), clamp(m_green), clamp(m_blue), clamp(m_alpha));
}

QBrush PaintColor::brush() const
{
    if (!isPattern())
        return QBrush(toQColor());
    // Drawn into a y-up painter, the tile must be mirrored back to stand upright.
    QBrush brush(m_pattern);
    brush.setTransform(QTransform(1, 0, 0, -1, 0, m_pattern.height()));
    return brush;
}

bool PaintColor::operator==(const PaintColor& other) const
{
    return m_space == other.m_space && m_red == other.m_red && m_green == other.m_green &&
           m_blue == other.m_blue && m_alpha == other.m_alpha && m_pattern == other.m_pattern;
}

} // namespace pf
