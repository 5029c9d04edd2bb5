#include "Platform/Image/Gradient.h"

#include <QImage>
#include <QPainter>
#include <QRectF>
#include <algorithm>
#include <cmath>
#include <limits>

namespace pf {

namespace {

// A location that cannot be compared (NaN) sorts before every other, so sorting stays well defined.
double sortKey(double location)
{
    return std::isnan(location) ? -std::numeric_limits<double>::infinity() : location;
}

double mixed(double a, double b, double f)
{
    return a + (b - a) * f;
}

// Cosine and sine of an angle in degrees, exact at quarter turns so that axis-aligned gradients carry
// no 6e-17 residue across the rectangle.
std::pair<double, double> direction(double degrees)
{
    const double turns = degrees / 90.0;
    if (std::isfinite(turns) && turns == std::floor(turns)) {
        switch (((long long)(turns) % 4 + 4) % 4) {
        case 0:
            return {1, 0};
        case 1:
            return {0, 1};
        case 2:
            return {-1, 0};
        default:
            return {0, -1};
        }
    }
    const double radians = degrees * M_PI / 180.0;
    return {std::cos(radians), std::sin(radians)};
}

} // namespace

Gradient::Gradient(std::vector<Stop> stops) : m_stops(std::move(stops)), m_byLocation(m_stops)
{
    std::stable_sort(m_byLocation.begin(), m_byLocation.end(),
                     [](const Stop& a, const Stop& b) { return sortKey(a.location) < sortKey(b.location); });
}

Gradient::Gradient(const Color& start, const Color& end) : Gradient(std::vector<Stop>{{0, start}, {1, end}})
{}

Color Gradient::interpolatedColorAtLocation(double location) const
{
    if (m_byLocation.empty())
        return Color();
    const double key = sortKey(location);
    // The first stop beyond the location; the one before it is the last at or below it.
    const auto next = std::upper_bound(m_byLocation.begin(), m_byLocation.end(), key,
                                       [](double t, const Stop& stop) { return t < sortKey(stop.location); });
    if (next == m_byLocation.begin())
        return next->color;
    if (next == m_byLocation.end())
        return m_byLocation.back().color;
    const Stop& previous = *(next - 1);
    const double span = sortKey(next->location) - sortKey(previous.location);
    const double f = std::isfinite(span) && span > 0 ? (key - sortKey(previous.location)) / span : 1.0;
    const Color& a = previous.color;
    const Color& b = next->color;
    return Color(mixed(a.red(), b.red(), f), mixed(a.green(), b.green(), f), mixed(a.blue(), b.blue(), f),
                 mixed(a.alpha(), b.alpha(), f));
}

void Gradient::fill(float* rgba, int width, int height, double angleDegrees, bool yUp) const
{
    const auto [cosine, sine] = direction(angleDegrees);
    // The rectangle projected on the direction: from location 0 at one outermost corner to 1 at the other.
    const double length = std::abs(width * cosine) + std::abs(height * sine);
    for (int row = 0; row < height; ++row) {
        const double y = (yUp ? height - 1 - row : row) + 0.5 - height / 2.0;
        float* out = rgba + size_t(row) * size_t(width) * 4;
        for (int column = 0; column < width; ++column) {
            const double x = column + 0.5 - width / 2.0;
            const double location = length > 0 ? (x * cosine + y * sine) / length + 0.5 : 0.5;
            const Color c = interpolatedColorAtLocation(location).premultiplied();
            out[column * 4 + 0] = float(c.red());
            out[column * 4 + 1] = float(c.green());
            out[column * 4 + 2] = float(c.blue());
            out[column * 4 + 3] = float(c.alpha());
        }
    }
}

Bitmap Gradient::bitmap(int width, int height, double angleDegrees) const
{
    if (width <= 0 || height <= 0)
        return Bitmap();
    Bitmap out(width, height, Bitmap::Format::RGBAf, Bitmap::Fill::Uninitialized);
    if (out.isNull())
        return out;
    fill(reinterpret_cast<float*>(out.mutableData()), width, height, angleDegrees, true);
    return out;
}

void Gradient::drawInRect(QPainter& painter, const QRectF& rect, double angleDegrees) const
{
    if (m_stops.empty() || !(rect.width() > 0) || !(rect.height() > 0))
        return;
    // As many pixels as the rectangle covers on the device, so the gradient is not drawn blurred.
    const QTransform& t = painter.deviceTransform();
    const double scale = std::max(1.0, std::sqrt(std::abs(t.determinant())));
    const double maximum = 16384;
    const int width = int(std::ceil(std::min(rect.width() * scale, maximum)));
    const int height = int(std::ceil(std::min(rect.height() * scale, maximum)));
    QImage image(width, height, QImage::Format_RGBA32FPx4_Premultiplied);
    if (image.isNull())
        return;
    std::vector<float> pixels(size_t(width) * size_t(height) * 4);
    // Row 0 is drawn at the rectangle's smallest y, so the angle is measured in the painter's coordinates.
    fill(pixels.data(), width, height, angleDegrees, false);
    for (int row = 0; row < height; ++row)
        std::copy_n(pixels.data() + size_t(row) * size_t(width) * 4, size_t(width) * 4,
                    reinterpret_cast<float*>(image.scanLine(row)));
    painter.drawImage(rect, image);
}

} // namespace pf
