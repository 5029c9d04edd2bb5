#pragma once

#include "Platform/Foundation/Point.h"
#include "Platform/Image/Bitmap.h"
#include "Platform/Image/Image.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace brushtest {

// An open eye as a photo shows one: skin around an almond-shaped opening whose upper lid may hang over
// the iris (down to its middle), a lash line along that lid and a faint shadow under it, the white
// shaded towards the corners, an iris of fibres lighter and darker around its hue with a darker limbal
// ring, a near-black pupil (or a flash-red one, brighter in its middle and with a soft red fringe) and,
// when asked, a catch light over the pupil's edge or two small ones on the iris (a window's panes); grain of
// a given strength. Pixels are the mean of 3 x 3 samples, so the edges are soft as in a photo. Coordinates
// are y up.
class SyntheticEye
{
public:
    struct Look
    {
        double irisRadius = 10;
        std::array<double, 3> irisColour{0.45, 0.58, 0.70};
        bool catchLight = false;
        bool irisCatchLights = false; // two small catch lights on the iris, left and right above
        double lidCover = 0;          // the share of the iris's height the upper lid hides, from the top
        double grain = 0;             // standard deviation of the noise, in 8-bit levels
        bool redPupil = false;        // a flash-lit pupil
        double pupilShare = 0.38;
        unsigned seed = 1;
        std::array<double, 3> skin{0.87, 0.69, 0.58};
        std::array<double, 3> sclera{0.93, 0.885, 0.87};
    };
    // Iris colours a retoucher meets, the light to the dark.
    static constexpr std::array<double, 3> LightBlue{0.45, 0.58, 0.70}, Green{0.36, 0.46, 0.30},
        Hazel{0.48, 0.38, 0.20}, DarkBrown{0.22, 0.13, 0.07};

    enum class Region
    {
        Annulus,    // the iris from the pupil's edge to the limbus, seen between the lids
        Pupil,      // the pupil seen between the lids, the catch light left out
        CatchLight, // the catch light
        Sclera,     // the white of the eye within a few pixels of the limbus
        Lid,        // the lids and lashes over and around the iris
        Other,      // the soft edges between them, and everything further out
    };

    explicit SyntheticEye(const Look& look) : m_look(look), m_iris(look.irisRadius)
    {
        m_pupil = look.pupilShare * m_iris;
        m_halfWidth = 2.2 * m_iris + 3;
        m_upper = m_iris * (1 - 2 * look.lidCover) + (look.lidCover > 0 ? 0 : 0.12 * m_iris + 1);
        m_lower = 0.95 * m_iris + 0.5;
        m_corner = -0.1 * m_iris;
        m_catchRadius = std::max(1.3, 0.13 * m_iris);
        const int side = int(std::ceil(2 * m_halfWidth + 4 * m_iris + 24));
        m_side = side;
        m_centre = pf::Point(side / 2 + 0.3, side / 2 - 0.2);
        if (look.catchLight)
            m_catches.push_back(
                {pf::Point(m_centre.x - 0.3 * m_pupil - 0.5, m_centre.y + 0.75 * m_pupil + 0.3),
                 m_catchRadius});
        if (look.irisCatchLights) {
            // Below a lid that hangs over the iris, so that they show.
            const double r = 0.68 * m_iris, small = std::max(1.0, 0.09 * m_iris);
            for (const double angle : {look.lidCover > 0 ? -0.6 : 2.2, look.lidCover > 0 ? -2.5 : 0.7})
                m_catches.push_back(
                    {pf::Point(m_centre.x + r * std::cos(angle), m_centre.y + r * std::sin(angle)), small});
        }
        pf::Bitmap bitmap(side, side, pf::Bitmap::Format::RGBA8);
        uint64_t state = 0x9e3779b97f4a7c15ull * (look.seed + 1);
        for (int row = 0; row < side; ++row) {
            uint8_t* line = bitmap.mutableRow(row);
            for (int x = 0; x < side; ++x) {
                std::array<double, 3> sum{};
                for (int sy = 0; sy < 3; ++sy)
                    for (int sx = 0; sx < 3; ++sx) {
                        const auto c = colourAt(x + (sx + 0.5) / 3, side - row - 1 + (sy + 0.5) / 3);
                        for (int k = 0; k < 3; ++k)
                            sum[size_t(k)] += c[size_t(k)] / 9;
                    }
                const double common = look.grain * gaussian(state) / 255;
                for (int k = 0; k < 3; ++k) {
                    const double v = sum[size_t(k)] + common + 0.4 * look.grain * gaussian(state) / 255;
                    line[x * 4 + k] = uint8_t(std::lround(std::clamp(v, 0.0, 1.0) * 255));
                }
                line[x * 4 + 3] = 255;
            }
        }
        m_image = pf::Image::fromBitmap(bitmap);
    }

    const pf::Image& image() const { return m_image; }
    int side() const { return m_side; }
    pf::Point centre() const { return m_centre; }
    double irisRadius() const { return m_iris; }
    double pupilRadius() const { return m_pupil; }
    // The eye's opening, corner to corner and lid to lid, in pixels.
    double openingArea() const { return M_PI * m_halfWidth * 0.5 * (std::max(m_upper, 0.0) + m_lower) + 1; }

    // The region of the pixel whose lower-left corner is (x, y), judged at its centre with half a pixel
    // or more kept clear of every boundary.
    Region regionOf(int x, int y) const
    {
        const double px = x + 0.5, py = y + 0.5;
        const double d = std::hypot(px - m_centre.x, py - m_centre.y);
        const double near = m_iris + 1 + std::max(3.0, 0.25 * m_iris);
        const double inside = openingDepth(px, py);
        if (inside <= -0.7)
            return d <= near ? Region::Lid : Region::Other;
        if (inside < 0.7)
            return Region::Other;
        for (const Catch& c : m_catches) {
            const double toCatch = std::hypot(px - c.at.x, py - c.at.y);
            if (toCatch <= c.radius - 0.5)
                return d <= m_iris - 1 ? Region::CatchLight : Region::Other;
            if (toCatch < c.radius + 0.7)
                return Region::Other;
        }
        if (d <= m_pupil - 0.7)
            return Region::Pupil;
        if (d >= m_pupil + 0.7 && d <= m_iris - 0.7)
            return Region::Annulus;
        if (d >= m_iris + 1 && d <= near)
            return Region::Sclera;
        return Region::Other;
    }

    // How far a point lies inside the opening (below the lash line and above the lower lid), in pixels;
    // negative outside.
    double openingDepth(double x, double y) const
    {
        const double u = std::clamp((x - m_centre.x) / m_halfWidth, -1.5, 1.5);
        const double top = m_centre.y + m_upper - (m_upper - m_corner) * u * u;
        const double bottom = m_centre.y - m_lower + (m_lower - (-m_corner)) * u * u;
        const double side = m_halfWidth - std::abs(x - m_centre.x);
        return std::min({top - y, y - bottom, side});
    }

private:
    double lashWidth() const { return 0.08 * m_iris + 0.8; }

    static double gaussian(uint64_t& state)
    {
        const auto uniform = [&state] {
            state = state * 6364136223846793005ull + 1442695040888963407ull;
            return (double((state >> 11) & ((1ull << 53) - 1)) + 0.5) / double(1ull << 53);
        };
        return std::sqrt(-2 * std::log(uniform())) * std::cos(2 * M_PI * uniform());
    }

    std::array<double, 3> colourAt(double x, double y) const
    {
        const double dx = x - m_centre.x, dy = y - m_centre.y;
        const double inside = openingDepth(x, y);
        if (inside < 0) {
            // The lash line along the upper lid, the rim of the lower one, then skin, shaded a little.
            if (dy > m_corner && -inside < lashWidth())
                return {0.2, 0.13, 0.1};
            if (dy < m_corner && -inside < 0.5 * lashWidth())
                return {0.66, 0.47, 0.42};
            const double shade = 1 - 0.05 * std::min(1.0, std::abs(dy) / (3 * m_iris));
            return {m_look.skin[0] * shade, m_look.skin[1] * shade, m_look.skin[2] * shade};
        }
        // The upper lid's shadow on the eye.
        const double shadow = dy > m_corner ? 1 - 0.12 * std::exp(-inside / (0.15 * m_iris + 0.5)) : 1.0;
        const auto shaded = [shadow](std::array<double, 3> c) {
            return std::array<double, 3>{c[0] * shadow, c[1] * shadow, c[2] * shadow};
        };
        for (const Catch& c : m_catches)
            if (std::hypot(x - c.at.x, y - c.at.y) <= c.radius)
                return {0.97, 0.97, 0.96};
        const double d = std::hypot(dx, dy);
        if (d > m_iris) {
            const double corner = std::pow(std::abs(dx) / m_halfWidth, 2);
            const double shade = 1 - 0.2 * corner;
            return shaded({m_look.sclera[0] * shade, m_look.sclera[1] * shade, m_look.sclera[2] * shade});
        }
        if (d <= m_pupil) {
            if (!m_look.redPupil)
                return shaded({0.035, 0.03, 0.03});
            // Brightest in the middle, as the flash lights the retina through it.
            const double t = d / m_pupil;
            return shaded({0.78 - 0.3 * t * t, 0.13 - 0.04 * t * t, 0.11 - 0.03 * t * t});
        }
        const double angle = std::atan2(dy, dx);
        const double fibres =
            1 + 0.12 * std::sin(23 * angle + 3 * std::sin(7 * angle)) + 0.06 * std::sin(51 * angle + 0.5 * d);
        const double limbal = d > 0.84 * m_iris ? 0.68 : 1.0;
        const double collarette = d < m_pupil + 0.12 * m_iris ? 1.08 : 1.0;
        const double gain = fibres * limbal * collarette;
        std::array<double, 3> c{m_look.irisColour[0] * gain, m_look.irisColour[1] * gain,
                                m_look.irisColour[2] * gain};
        if (m_look.redPupil) {
            // The red spills a little over the pupil's edge into the iris.
            const double spill = std::exp(-(d - m_pupil) / (0.06 * m_iris + 0.4)) * 0.5;
            c = {c[0] + (0.6 - c[0]) * spill, c[1] + (0.1 - c[1]) * spill, c[2] + (0.09 - c[2]) * spill};
        }
        return shaded(c);
    }

    Look m_look;
    double m_iris, m_pupil = 0;
    double m_halfWidth = 0, m_upper = 0, m_lower = 0, m_corner = 0, m_catchRadius = 0;
    pf::Point m_centre;
    struct Catch
    {
        pf::Point at;
        double radius;
    };
    std::vector<Catch> m_catches;
    pf::Image m_image;
    int m_side = 0;
};

} // namespace brushtest
