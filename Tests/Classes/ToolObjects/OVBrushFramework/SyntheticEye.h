#pragma once

#include "Platform/Foundation/Point.h"
#include "Platform/Image/Bitmap.h"
#include "Platform/Image/Image.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace brushtest {

// An open eye drawn from a few circles and an ellipse, with what a photo of one shows: skin around the
// opening, a lash line along the upper lid, the white shaded towards the corners, an iris of fibres
// lighter and darker around its hue with a darker limbal ring, a near-black pupil and, when asked, a
// catch light over the pupil's edge. The lids cut off the top and bottom of larger irises. Pixels are
// the mean of 4 x 4 samples, so the edges are soft as in a photo. Coordinates are y up.
class SyntheticEye
{
public:
    enum class Region
    {
        Annulus,    // the iris from the pupil's edge to the limbus, seen between the lids
        Pupil,      // the pupil, the catch light left out
        CatchLight, // the catch light
        Ring,       // just outside the limbus: the white of the eye and the lids
        Other,      // the soft edges between them, and everything further out
    };

    SyntheticEye(double irisRadius, std::array<double, 3> irisColour, bool catchLight)
        : m_iris(irisRadius), m_pupil(0.38 * irisRadius), m_colour(irisColour), m_hasCatchLight(catchLight)
    {
        m_halfWidth = 2.2 * m_iris + 3;
        m_halfHeight = 0.85 * m_iris + 1;
        m_catchRadius = std::max(1.3, 0.13 * m_iris);
        const int side = int(std::ceil(std::max(240.0, 2 * m_halfWidth + 40)));
        m_centre = pf::Point(side / 2 + 0.3, side / 2 - 0.2);
        m_catch = pf::Point(m_centre.x - 0.3 * m_pupil - 0.5, m_centre.y + 0.75 * m_pupil + 0.3);
        pf::Bitmap bitmap(side, side, pf::Bitmap::Format::RGBA8);
        for (int row = 0; row < side; ++row) {
            uint8_t* line = bitmap.mutableRow(row);
            for (int x = 0; x < side; ++x) {
                std::array<double, 3> sum{};
                for (int sy = 0; sy < 4; ++sy)
                    for (int sx = 0; sx < 4; ++sx) {
                        const auto c = colourAt(x + (sx + 0.5) / 4, side - row - 1 + (sy + 0.5) / 4);
                        for (int k = 0; k < 3; ++k)
                            sum[size_t(k)] += c[size_t(k)] / 16;
                    }
                for (int k = 0; k < 3; ++k)
                    line[x * 4 + k] = uint8_t(std::lround(std::clamp(sum[size_t(k)], 0.0, 1.0) * 255));
                line[x * 4 + 3] = 255;
            }
        }
        m_image = pf::Image::fromBitmap(bitmap);
        m_side = side;
    }

    const pf::Image& image() const { return m_image; }
    int side() const { return m_side; }
    pf::Point centre() const { return m_centre; }
    double irisRadius() const { return m_iris; }
    double pupilRadius() const { return m_pupil; }

    // The region of the pixel whose lower-left corner is (x, y), judged at its centre with half a pixel
    // or more kept clear of every boundary.
    Region regionOf(int x, int y) const
    {
        const double px = x + 0.5, py = y + 0.5;
        const double d = std::hypot(px - m_centre.x, py - m_centre.y);
        const double ring = std::max(4.0, 0.25 * m_iris);
        if (d >= m_iris + 2 && d <= m_iris + 2 + ring)
            return Region::Ring;
        const double toCatch = m_hasCatchLight ? std::hypot(px - m_catch.x, py - m_catch.y) : 1e9;
        if (toCatch <= m_catchRadius - 0.5)
            return d <= m_iris - 1 ? Region::CatchLight : Region::Other;
        if (toCatch < m_catchRadius + 0.7)
            return Region::Other;
        if (d <= m_pupil - 0.7)
            return Region::Pupil;
        const double inOpening = std::hypot((px - m_centre.x) / (m_halfWidth - 1.5),
                                            (py - m_centre.y) / (m_halfHeight - 1.5 - lashWidth()));
        if (d >= m_pupil + 0.7 && d <= m_iris - 0.7 && inOpening <= 1)
            return Region::Annulus;
        return Region::Other;
    }

private:
    double lashWidth() const { return 0.06 * m_iris + 0.8; }

    std::array<double, 3> colourAt(double x, double y) const
    {
        const double dx = x - m_centre.x, dy = y - m_centre.y;
        const double opening = std::hypot(dx / m_halfWidth, dy / m_halfHeight);
        if (opening > 1) {
            // The lash line along the upper lid, then skin, shaded a little.
            if (dy > 0 && opening < 1 + lashWidth() / m_halfHeight)
                return {0.2, 0.13, 0.1};
            const double shade = 1 - 0.05 * std::min(1.0, std::abs(dy) / (3 * m_halfHeight));
            return {0.87 * shade, 0.69 * shade, 0.58 * shade};
        }
        if (m_hasCatchLight && std::hypot(x - m_catch.x, y - m_catch.y) <= m_catchRadius)
            return {0.97, 0.97, 0.96};
        const double d = std::hypot(dx, dy);
        if (d > m_iris) {
            const double corner = std::pow(std::abs(dx) / m_halfWidth, 2);
            const double shade = 1 - 0.2 * corner;
            return {0.93 * shade, 0.885 * shade, 0.87 * shade};
        }
        if (d <= m_pupil)
            return {0.035, 0.03, 0.03};
        const double angle = std::atan2(dy, dx);
        const double fibres =
            1 + 0.12 * std::sin(23 * angle + 3 * std::sin(7 * angle)) + 0.06 * std::sin(51 * angle + 0.5 * d);
        const double limbal = d > 0.84 * m_iris ? 0.68 : 1.0;
        const double collarette = d < m_pupil + 0.12 * m_iris ? 1.08 : 1.0;
        const double gain = fibres * limbal * collarette;
        return {m_colour[0] * gain, m_colour[1] * gain, m_colour[2] * gain};
    }

    double m_iris, m_pupil;
    std::array<double, 3> m_colour;
    bool m_hasCatchLight;
    double m_halfWidth = 0, m_halfHeight = 0, m_catchRadius = 0;
    pf::Point m_centre, m_catch;
    pf::Image m_image;
    int m_side = 0;
};

} // namespace brushtest
