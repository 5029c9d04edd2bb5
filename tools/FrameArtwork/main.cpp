// Makes the picture frames' artwork, reproducibly, into a resources folder:
//   Textures/ORV-T#NNN#Name#options.jpg   seamless 1024 x 1024 textures (woods, papers, leather, metal,
//                                          gold leaf) that frames and the texturize filter fill with
//   Frames.bundle/                         the frames bundle: shades, external, internal and image
//                                          masks (PNG part images, see docs/frames.md) and Info.plist
//   PreviewImage.png                       the frame builder's sample picture (a painted still life)
// Usage: frame-artwork <folder>           writes everything
//        frame-artwork --check <folder>   fails unless every file there is exactly what it would write
//
// Every value comes from fixed seeds through GeneratedDrawing::Random, so every machine makes the same
// bytes.

#include "tools/Common/GeneratedDrawing.h"
#include "tools/Common/PeriodicNoise.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QPainterPath>
#include <QSet>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <vector>

namespace {

constexpr double Pi = 3.14159265358979323846;
using Random = GeneratedDrawing::Random;

double clamp01(double v)
{
    return std::clamp(v, 0.0, 1.0);
}

double smooth(double e0, double e1, double x)
{
    const double t = clamp01((x - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}

double mix(double a, double b, double t)
{
    return a + (b - a) * t;
}

struct Rgb
{
    double r, g, b;
};

Rgb mix(const Rgb& a, const Rgb& b, double t)
{
    return {mix(a.r, b.r, t), mix(a.g, b.g, t), mix(a.b, b.b, t)};
}

Rgb scaled(const Rgb& c, double k)
{
    return {c.r * k, c.g * k, c.b * k};
}

using Noise = GeneratedDrawing::PeriodicNoise<Random>;

// Octaves of wrapping noise: cells double with each octave, amplitudes halve.
class Fbm
{
public:
    Fbm(int cellsU, int cellsV, int octaves, Random& random)
    {
        for (int i = 0; i < octaves; ++i)
            m_octaves.emplace_back(cellsU << i, cellsV << i, random);
    }
    double at(double u, double v) const
    {
        double sum = 0, amplitude = 1, norm = 0;
        for (const Noise& n : m_octaves) {
            sum += n.at(u, v) * amplitude;
            norm += amplitude;
            amplitude *= 0.5;
        }
        return sum / norm;
    }

private:
    std::vector<Noise> m_octaves;
};

// The shortest difference between two positions on a circle of length 1.
double wrapped(double d)
{
    return d - std::round(d);
}

QImage makeImage(int width, int height, const std::function<std::array<double, 4>(double, double)>& f,
                 bool alpha)
{
    QImage image(width, height, alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    for (int y = 0; y < height; ++y) {
        uchar* row = image.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const auto c = f((x + 0.5) / width, (y + 0.5) / height);
            const int n = alpha ? 4 : 3;
            for (int i = 0; i < n; ++i)
                row[x * n + i] = uchar(std::lround(clamp01(c[size_t(i)]) * 255));
        }
    }
    return image;
}

std::array<double, 4> opaque(const Rgb& c)
{
    return {c.r, c.g, c.b, 1};
}

// ---- Textures -------------------------------------------------------------------------------------
// Each is 1024 x 1024, seamless in both directions, its grain running along x (a frame turns it along
// each side). `sections` strips stacked in y are separate boards where the options say so.

constexpr int TextureSize = 1024;

// Wood: growth rings across y bent by slow noise, long pores along x, medullary flecks; knots bend the
// rings around a dark heart.
struct WoodStyle
{
    Rgb light, dark, pore;
    double rings;      // rings across the tile
    double bend;       // how far the rings wander
    int knots;         // in each section
    int sections;      // boards stacked in y
    double weathering; // grey, cracked surface
    uint64_t seed;
};

QImage makeWood(const WoodStyle& s)
{
    Random random(s.seed);
    const Fbm bend(3, 2, 4, random);
    const Fbm figure(6, 48, 3, random);
    const Noise pores(8, 512, random);
    const Noise fleck(40, 160, random);
    const Fbm weather(16, 16, 4, random);
    const Noise cracks(6, 90, random);
    struct Knot
    {
        double u, v, radius;
    };
    std::vector<Knot> knots;
    for (int section = 0; section < s.sections; ++section)
        for (int k = 0; k < s.knots; ++k)
            knots.push_back({random.unit(), (section + random.between(0.3, 0.7)) / s.sections,
                             random.between(0.016, 0.03)});
    std::vector<double> boardShade;
    for (int i = 0; i < s.sections; ++i)
        boardShade.push_back(random.between(-0.06, 0.06));

    return makeImage(
        TextureSize, TextureSize,
        [&](double u, double v) {
            const int board = std::min(s.sections - 1, int(v * s.sections));
            const double boardV = v * s.sections - board; // 0..1 across one board
            double phase = boardV * s.rings / s.sections + bend.at(u, v) * s.bend + board * 0.37;
            double knotDark = 0;
            for (const Knot& k : knots) {
                const double du = wrapped(u - k.u) * 1.0, dv = wrapped(v - k.v) * 2.2;
                const double d = std::sqrt(du * du + dv * dv);
                const double reach = k.radius * 5;
                if (d < reach) {
                    // Rings swirl round the knot and crowd close to it; right round the heart they
                    // close into rings of the branch's own.
                    const double pull = std::pow(1 - d / reach, 2);
                    phase += pull * (k.radius / std::max(d, k.radius * 0.3)) * 3.0;
                    phase += (d / (k.radius * 0.35) - phase) * smooth(k.radius * 2.4, k.radius * 1.3, d);
                    knotDark = std::max(knotDark, smooth(k.radius * 1.1, k.radius * 0.5, d));
                }
            }
            const double ring = 0.5 + 0.5 * std::sin(2 * Pi * phase);
            const double late = std::pow(ring, 5.0); // sharp dark latewood, broad light earlywood
            const double fig = 0.5 + 0.5 * figure.at(u, v);
            Rgb c = mix(s.light, s.dark, clamp01(late * 0.75 + (fig - 0.5) * 0.35));
            // Pores: fine dark streaks along the grain.
            const double pore = smooth(0.35, 0.75, pores.at(u, v));
            c = mix(c, s.pore, pore * 0.35);
            // Medullary flecks: small satin patches, lighter.
            const double f = smooth(0.55, 0.8, fleck.at(u, v));
            c = mix(c, scaled(s.light, 1.08), f * 0.25);
            c = mix(c, scaled(s.dark, 0.55), knotDark * 0.9);
            c = scaled(c, 1 + boardShade[size_t(board)]);
            if (s.weathering > 0) {
                const double grey = (c.r + c.g + c.b) / 3;
                c = mix(c, Rgb{grey * 1.05, grey * 1.02, grey * 0.98}, s.weathering);
                c = scaled(c, 1 + 0.18 * weather.at(u, v) * s.weathering);
                const double crack = smooth(0.86, 0.95, 1 - std::abs(cracks.at(u, v)) * 6);
                c = mix(c, scaled(s.pore, 0.5), crack * s.weathering);
            }
            // A thin dark seam between boards.
            if (s.sections > 1) {
                const double seam = std::min(boardV, 1 - boardV) * TextureSize / s.sections;
                c = scaled(c, 0.55 + 0.45 * smooth(0.5, 3.0, seam));
            }
            return opaque(c);
        },
        false);
}

// Laid paper: fine laid lines across, chain lines along, and short fibres.
QImage makeLaidPaper()
{
    Random random(311);
    const Fbm cloud(8, 8, 5, random);
    const Noise fibres(220, 40, random);
    const Rgb paper{0.93, 0.90, 0.82};
    return makeImage(
        TextureSize, TextureSize,
        [&](double u, double v) {
            const double laid = 0.5 + 0.5 * std::cos(2 * Pi * v * 128);
            const double chain = smooth(0.9, 1.0, std::cos(2 * Pi * u * 8));
            const double k =
                1 - 0.035 * laid + 0.05 * chain + 0.035 * cloud.at(u, v) + 0.02 * fibres.at(u, v);
            return opaque(scaled(paper, k));
        },
        false);
}

// Cold-pressed watercolour paper: a bumpy surface lit from the upper left.
QImage makeWatercolourPaper()
{
    Random random(312);
    const Fbm bumps(24, 24, 4, random);
    const Fbm cloud(4, 4, 4, random);
    const Rgb paper{0.95, 0.94, 0.90};
    const double e = 1.0 / TextureSize;
    return makeImage(
        TextureSize, TextureSize,
        [&](double u, double v) {
            const double dx = bumps.at(u + e, v) - bumps.at(u - e, v);
            const double dy = bumps.at(u, v + e) - bumps.at(u, v - e);
            // y grows downward in the file: light from the upper left lights slopes rising to the lower
            // right.
            const double light = (-dx - dy) * 9;
            return opaque(scaled(paper, 1 + 0.07 * light + 0.02 * cloud.at(u, v)));
        },
        false);
}

// Handmade paper: mottled pulp, visible fibres and a few inclusions.
QImage makeHandmadePaper()
{
    Random random(313);
    const Fbm pulp(10, 10, 5, random);
    QImage image = makeImage(
        TextureSize, TextureSize,
        [&](double u, double v) {
            const Rgb paper{0.90, 0.86, 0.76};
            return opaque(scaled(paper, 1 + 0.06 * pulp.at(u, v)));
        },
        false);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 900; ++i) {
        const double x = random.unit() * TextureSize, y = random.unit() * TextureSize;
        const double a = random.unit() * 2 * Pi, length = random.between(10, 45);
        const double bendAngle = random.between(-0.8, 0.8);
        QPainterPath fibre(QPointF(x, y));
        fibre.quadTo(x + std::cos(a) * length * 0.5 + std::cos(a + bendAngle) * 6,
                     y + std::sin(a) * length * 0.5 + std::sin(a + bendAngle) * 6, x + std::cos(a) * length,
                     y + std::sin(a) * length);
        const bool dark = random.unit() < 0.3;
        const QColor colour = dark ? QColor(150, 130, 100, 70) : QColor(255, 252, 240, 110);
        painter.setPen(QPen(colour, random.between(0.6, 1.4)));
        // Drawn nine times, shifted by the tile, so fibres crossing an edge continue on the other side.
        for (int ox = -1; ox <= 1; ++ox)
            for (int oy = -1; oy <= 1; ++oy)
                painter.drawPath(fibre.translated(ox * TextureSize, oy * TextureSize));
    }
    for (int i = 0; i < 60; ++i) {
        const double x = random.unit() * TextureSize, y = random.unit() * TextureSize;
        const double r = random.between(1, 2.5);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(90, 70, 50, 120));
        for (int ox = -1; ox <= 1; ++ox)
            for (int oy = -1; oy <= 1; ++oy)
                painter.drawEllipse(QPointF(x + ox * TextureSize, y + oy * TextureSize), r, r * 0.7);
    }
    return image;
}

// Cellular noise: the distance to the nearest and second-nearest of random points on the torus.
class Cells
{
public:
    Cells(int count, Random& random)
    {
        for (int i = 0; i < count; ++i)
            m_points.push_back({random.unit(), random.unit()});
        m_grid = int(std::sqrt(double(count)));
        m_buckets.resize(size_t(m_grid * m_grid));
        for (size_t i = 0; i < m_points.size(); ++i)
            m_buckets[bucket(m_points[i][0], m_points[i][1])].push_back(i);
    }
    // Nearest and second distances, in units of the tile.
    std::pair<double, double> at(double u, double v) const
    {
        double d1 = 10, d2 = 10;
        const int bx = int(u * m_grid), by = int(v * m_grid);
        for (int oy = -2; oy <= 2; ++oy)
            for (int ox = -2; ox <= 2; ++ox) {
                const int cx = ((bx + ox) % m_grid + m_grid) % m_grid,
                          cy = ((by + oy) % m_grid + m_grid) % m_grid;
                for (size_t i : m_buckets[size_t(cy * m_grid + cx)]) {
                    const double du = wrapped(u - m_points[i][0]), dv = wrapped(v - m_points[i][1]);
                    const double d = std::sqrt(du * du + dv * dv);
                    if (d < d1) {
                        d2 = d1;
                        d1 = d;
                    } else if (d < d2) {
                        d2 = d;
                    }
                }
            }
        return {d1, d2};
    }

private:
    size_t bucket(double u, double v) const
    {
        return size_t(std::min(m_grid - 1, int(v * m_grid)) * m_grid + std::min(m_grid - 1, int(u * m_grid)));
    }
    std::vector<std::array<double, 2>> m_points;
    std::vector<std::vector<size_t>> m_buckets;
    int m_grid;
};

// Tooled leather: pebbled grain, and a blind-tooled double fillet with a diamond roll between.
QImage makeLeather()
{
    Random random(401);
    const Cells pebbles(2600, random);
    const Fbm mottle(6, 6, 4, random);
    const Rgb leather{0.46, 0.24, 0.13};
    return makeImage(
        TextureSize, TextureSize,
        [&](double u, double v) {
            const auto [d1, d2] = pebbles.at(u, v);
            const double pebble = smooth(0.0, 0.004, d2 - d1); // fine creases between pebbles
            double k = 0.86 + 0.14 * pebble + 0.08 * mottle.at(u, v);
            // Tooling across v (it runs along the frame): two fillets and, between them, a roll of
            // diamonds drawn as pressed outlines, the fillets with a light shoulder to the upper left.
            const double across = std::fmod(v * 2, 1.0);
            auto line = [](double distance, double half) {
                return smooth(half, half * 0.4, std::abs(distance));
            };
            const double fillets = std::max(line(across - 0.36, 0.004), line(across - 0.64, 0.004));
            const double d = std::abs(across - 0.5) / 0.09; // 0 on the roll's middle, 1 at its edge
            const double t = std::abs(std::fmod(u * 48, 1.0) * 2 - 1);
            const double diamond = d < 1.15 ? line((t + d - 1) * 0.09, 0.0045) : 0.0;
            const double pressed = std::max(fillets, diamond);
            const double shoulder =
                std::max(line(across - 0.36 + 0.007, 0.0025), line(across - 0.64 + 0.007, 0.0025));
            k = k * (1 - 0.5 * pressed) + 0.12 * shoulder;
            return opaque(scaled(leather, k));
        },
        false);
}

// Brushed aluminium: fine streaks along x and a broad soft sheen.
QImage makeBrushedAluminium()
{
    Random random(501);
    const Noise streaks(4, 700, random);
    const Noise streaks2(9, 260, random);
    const Fbm sheen(2, 4, 3, random);
    const Rgb metal{0.78, 0.80, 0.83};
    return makeImage(
        TextureSize, TextureSize,
        [&](double u, double v) {
            const double k = 1 + 0.06 * streaks.at(u, v) + 0.04 * streaks2.at(u, v) + 0.05 * sheen.at(u, v);
            return opaque(scaled(metal, k));
        },
        false);
}

// Gold leaf: square leaves laid with slight overlaps (darker seams), each with its own sheen, and a
// fine craquelure of the size underneath.
QImage makeGoldLeaf()
{
    Random random(601);
    const Cells crackle(1800, random);
    const Fbm burnish(5, 5, 4, random);
    const Rgb gold{0.86, 0.68, 0.30};
    const int leaves = 8;
    std::vector<double> leafShade;
    for (int i = 0; i < leaves * leaves; ++i)
        leafShade.push_back(random.between(-0.08, 0.08));
    return makeImage(
        TextureSize, TextureSize,
        [&](double u, double v) {
            const int row = int(v * leaves);
            const double su = u + (row % 2) * 0.5 / leaves; // each row of leaves set off by half a leaf
            const int col = int(std::fmod(su, 1.0) * leaves);
            const double fu = std::fmod(su * leaves, 1.0), fv = std::fmod(v * leaves, 1.0);
            const double seam = std::min({fu, 1 - fu, fv, 1 - fv}) * TextureSize / leaves;
            double k = 1 + leafShade[size_t(row * leaves + col)] + 0.10 * burnish.at(u, v);
            k *= 0.82 + 0.18 * smooth(0.5, 2.5, seam);
            const auto [d1, d2] = crackle.at(u, v);
            const double crack = smooth(0.0011, 0.0003, d2 - d1);
            Rgb c = scaled(gold, k);
            c = mix(c, Rgb{0.50, 0.34, 0.14}, crack * 0.55);
            return opaque(c);
        },
        false);
}

// ---- Frames bundle ---------------------------------------------------------------------------------
// Part images are 256 x 256: a band 48 pixels wide along the edge, corner squares of 48 (or of the
// corner option), and a middle that the frame filter stretches or repeats along each side.

constexpr int Part = 256;
constexpr double Band = 48;

// Where a pixel of a part image lies: its distance from the outer edge, which side's band it belongs
// to (0 top, 1 right, 2 bottom, 3 left, split along the mitre diagonals) and its position along that
// side.
struct BandPoint
{
    double depth; // pixels from the outer edge
    int side;
    double along; // pixels from the side's start
};

BandPoint bandPoint(double x, double y)
{
    const double top = y, bottom = Part - y, left = x, right = Part - x;
    const double depth = std::min({top, bottom, left, right});
    if (depth == top)
        return {depth, 0, x};
    if (depth == right)
        return {depth, 1, y};
    if (depth == bottom)
        return {depth, 2, x};
    return {depth, 3, y};
}

// A moulding's height across the band (0 outer edge .. 1 inner edge): a rounded outer bead, a cove,
// a flat and a raised inner lip.
double profileHeight(double t)
{
    const double bead = std::sqrt(std::max(0.0, 1 - std::pow((t - 0.14) / 0.14, 2))) * 0.9;
    const double cove = 0.55 - 0.35 * std::sin(Pi * clamp01((t - 0.28) / 0.42));
    const double lip = 0.6 + 0.4 * std::sqrt(std::max(0.0, 1 - std::pow((t - 0.86) / 0.12, 2)));
    if (t < 0.28)
        return bead;
    if (t < 0.72)
        return cove;
    if (t < 0.74)
        return 0.55;
    return lip;
}

// The light a face of the profile gets from the upper left: the slope rises towards the inner edge,
// so on the top and left sides a rising face looks away from the light, on the others towards it.
double profileLight(const BandPoint& p)
{
    const double t = p.depth / Band, e = 0.5 / Band;
    const double slope =
        (profileHeight(std::min(1.0, t + e)) - profileHeight(std::max(0.0, t - e))) / (2 * e);
    const double facing = (p.side == 0 || p.side == 3) ? -1.0 : 1.0;
    return std::tanh(slope * facing * 0.6);
}

QImage partImage(const std::function<std::array<double, 4>(const BandPoint&, double, double)>& f)
{
    return makeImage(
        Part, Part,
        [&](double u, double v) {
            const double x = u * Part, y = v * Part;
            const BandPoint p = bandPoint(x, y);
            if (p.depth > Band + 1)
                return std::array<double, 4>{0, 0, 0, 0};
            auto c = f(p, x, y);
            c[3] *= smooth(Band + 0.5, Band - 0.5, p.depth);
            return c;
        },
        true);
}

// Multiply: white where lit, darker in the shade; negative multiply (lightening): black except for the
// lit faces.
QImage profileShadow()
{
    return partImage([](const BandPoint& p, double, double) {
        const double k =
            1 - 0.55 * std::max(0.0, -profileLight(p)) - 0.12 * (1 - profileHeight(p.depth / Band));
        return std::array<double, 4>{k, k * 0.98, k * 0.96, 1};
    });
}

QImage profileLightImage()
{
    return partImage([](const BandPoint& p, double, double) {
        const double k = 0.6 * std::pow(std::max(0.0, profileLight(p)), 1.5);
        return std::array<double, 4>{k, k, k * 0.95, 1};
    });
}

// The bevelled lip along the opening: a narrow face, light on the bottom and right sides (they face
// the upper left), shaded on the others, over a thin dark reveal.
QImage bevelLip()
{
    return partImage([](const BandPoint& p, double, double) {
        const double face = smooth(Band - 9, Band - 7, p.depth);
        if (face <= 0)
            return std::array<double, 4>{0, 0, 0, 0};
        const bool lit = p.side == 1 || p.side == 2;
        const double k = lit ? 0.92 : 0.35;
        const double reveal = smooth(Band - 1.5, Band - 0.5, p.depth);
        const double v = mix(k, 0.1, reveal);
        return std::array<double, 4>{v, v * 0.97, v * 0.92, face * 0.85};
    });
}

// A hairline of light along the outer edge, strongest on the top and left.
QImage edgeHighlight()
{
    return partImage([](const BandPoint& p, double, double) {
        const double line = smooth(2.5, 0.8, p.depth) * smooth(0, 0.8, p.depth);
        const double k = line * ((p.side == 0 || p.side == 3) ? 0.85 : 0.35);
        return std::array<double, 4>{k, k, k, 1};
    });
}

// Gilded sheen for overlay: broad bright and dark bands that follow the profile.
QImage gildedSheen()
{
    return partImage([](const BandPoint& p, double, double) {
        const double k = 0.5 + 0.35 * profileLight(p) + 0.1 * std::cos(p.depth / Band * 3 * Pi);
        return std::array<double, 4>{k, k * 0.96, k * 0.85, 1};
    });
}

// A row of beads along the inner half, six to a side's middle, shaded for multiply.
QImage beadRow()
{
    return partImage([](const BandPoint& p, double, double) {
        const double across = (p.depth - Band * 0.55) / (Band * 0.16);
        // The middle of the side (between the corner squares) holds six beads; corners hold one each.
        const double along = p.along < Band          ? p.along / Band
                             : p.along > Part - Band ? (p.along - (Part - Band)) / Band
                                                     : (p.along - Band) / ((Part - 2 * Band) / 6);
        const double t = std::fmod(along, 1.0) * 2 - 1;
        const double r2 = t * t + across * across;
        if (r2 >= 1)
            return std::array<double, 4>{1, 1, 1, 1};
        const double nz = std::sqrt(1 - r2);
        const double lightDot =
            (-t * 0.5 - across * 0.5 * ((p.side == 0 || p.side == 3) ? 1 : -1) + nz * 0.7);
        const double k = 0.55 + 0.45 * clamp01(lightDot);
        return std::array<double, 4>{k, k, k, 1};
    });
}

// Mitre joints: a thin dark line along each corner's diagonal (multiply), or its light edge (negative
// multiply).
QImage mitre(bool light)
{
    return partImage([light](const BandPoint& p, double x, double y) {
        const double cx = x < Part / 2.0 ? x : Part - x, cy = y < Part / 2.0 ? y : Part - y;
        const double d = std::abs(cx - cy) / std::sqrt(2.0);
        const double inCorner = (cx < Band + 1 && cy < Band + 1) ? 1 : 0;
        if (light) {
            const double k = inCorner * smooth(1.8, 0.9, std::abs(d - 1.0)) * 0.5;
            return std::array<double, 4>{k, k, k, 1};
        }
        const double k = 1 - inCorner * smooth(1.2, 0.3, d) * 0.6;
        (void)p;
        return std::array<double, 4>{k, k, k, 1};
    });
}

// Masks: white is band, black is none; opaque.
QImage maskImage(const std::function<double(double, double)>& f)
{
    return makeImage(
        Part, Part,
        [&](double u, double v) {
            const double m = f(u * Part, v * Part);
            return std::array<double, 4>{m, m, m, 1};
        },
        false);
}

// Inside the opening of a part image whose corners are rounded by `rTop` and `rBottom`.
double opening(double x, double y, double rTop, double rBottom)
{
    const double lo = Band, hi = Part - Band;
    const double r = y < Part / 2.0 ? rTop : rBottom;
    const double cx = std::clamp(x, lo + r, hi - r), cy = std::clamp(y, lo + r, hi - r);
    const double d = std::hypot(x - cx, y - cy) - r; // < 0 inside the rounded opening
    const double inside = (x > lo && x < hi && y > lo && y < hi) ? 1.0 : 0.0;
    return r > 0 ? smooth(0.7, -0.7, d) * inside : inside;
}

QImage internalMask(double rTop, double rBottom)
{
    return maskImage([=](double x, double y) { return 1 - opening(x, y, rTop, rBottom); });
}

// The curved openings as the square part shows them (the frame itself cuts them for its own
// proportions, see the "O#" option): a circle, and a square under a semicircle. Image rows run down.
QImage curvedInternalMask(bool arch)
{
    return maskImage([=](double x, double y) {
        const double lo = Band, hi = Part - Band, r = (hi - lo) / 2, c = Part / 2.0;
        if (arch && y > c)
            return 1 - smooth(lo - 0.7, lo + 0.7, x) * smooth(hi + 0.7, hi - 0.7, x) *
                           smooth(hi + 0.7, hi - 0.7, y);
        return smooth(-0.7, 0.7, std::hypot(x - c, y - c) - r);
    });
}

// External silhouettes: the outer edge straight, rounded, scalloped (six scallops to a middle) or
// deckled (a rough, fibrous edge that repeats with the middle).
QImage externalMask(int kind, Random& random)
{
    const Noise deckle(64, 1, random);
    return maskImage([&](double x, double y) {
        const BandPoint p = bandPoint(x, y);
        switch (kind) {
        case 1: {
            const double r = 24;
            const double cx = std::clamp(x, r, Part - r), cy = std::clamp(y, r, Part - r);
            return smooth(0.7, -0.7, std::hypot(x - cx, y - cy) - r);
        }
        case 2: {
            const double along = p.along < Band || p.along > Part - Band
                                     ? 0.5
                                     : std::fmod((p.along - Band) / ((Part - 2 * Band) / 6), 1.0);
            const double edge = 7 * (1 - std::sin(Pi * along));
            return smooth(edge - 0.7, edge + 0.7, p.depth);
        }
        case 3: {
            const double edge =
                4 + 3 * deckle.at(p.along / Part, 0.5) + 1.5 * deckle.at(p.along / Part * 3, 0.2);
            return smooth(edge - 1.2, edge + 1.2, p.depth);
        }
        default:
            return 1.0;
        }
    });
}

// Image masks: a soft vignette, and a torn edge.
QImage vignetteMask()
{
    return maskImage([](double x, double y) {
        const double dx = (x / Part - 0.5) * 2, dy = (y / Part - 0.5) * 2;
        return smooth(1.05, 0.55, std::sqrt(dx * dx + dy * dy));
    });
}

QImage tornMask(Random& random)
{
    const Fbm tear(16, 1, 4, random);
    return maskImage([&](double x, double y) {
        const BandPoint p = bandPoint(x, y);
        const double edge = 10 + 7 * tear.at(p.along / Part + p.side * 0.25, 0.5);
        return smooth(edge - 1, edge + 1, p.depth);
    });
}

// The builder's sample: a still life of a pear and a jug on a table before a dark wall, ours.
QImage previewImage()
{
    QImage image(640, 480, QImage::Format_RGB888);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient wall(0, 0, 640, 300);
    wall.setColorAt(0, QColor(58, 66, 70));
    wall.setColorAt(1, QColor(28, 30, 34));
    painter.fillRect(QRect(0, 0, 640, 330), wall);
    QLinearGradient table(0, 330, 0, 480);
    table.setColorAt(0, QColor(120, 82, 52));
    table.setColorAt(1, QColor(70, 44, 26));
    painter.fillRect(QRect(0, 330, 640, 150), table);
    // The jug.
    QPainterPath jug;
    jug.moveTo(330, 360);
    jug.cubicTo(300, 300, 320, 230, 360, 200);
    jug.lineTo(350, 160);
    jug.lineTo(430, 160);
    jug.lineTo(420, 200);
    jug.cubicTo(470, 230, 480, 300, 450, 360);
    jug.closeSubpath();
    QRadialGradient glaze(370, 240, 140);
    glaze.setColorAt(0, QColor(210, 190, 150));
    glaze.setColorAt(1, QColor(110, 90, 60));
    painter.setPen(Qt::NoPen);
    painter.setBrush(glaze);
    painter.drawPath(jug);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(120, 100, 70), 9));
    painter.drawArc(QRectF(435, 200, 60, 90), -70 * 16, 150 * 16);
    // The pear.
    QPainterPath pear;
    pear.moveTo(230, 372);
    pear.cubicTo(160, 372, 165, 300, 205, 280);
    pear.cubicTo(220, 250, 215, 225, 235, 222);
    pear.cubicTo(255, 225, 250, 250, 265, 280);
    pear.cubicTo(305, 300, 300, 372, 230, 372);
    QRadialGradient skin(215, 300, 90);
    skin.setColorAt(0, QColor(232, 206, 92));
    skin.setColorAt(0.7, QColor(170, 150, 50));
    skin.setColorAt(1, QColor(110, 90, 30));
    painter.setPen(Qt::NoPen);
    painter.setBrush(skin);
    painter.drawPath(pear);
    painter.setPen(QPen(QColor(70, 50, 30), 4));
    painter.drawLine(QPointF(236, 224), QPointF(244, 200));
    // Shadows on the table.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 70));
    painter.drawEllipse(QRectF(180, 362, 140, 18));
    painter.drawEllipse(QRectF(320, 350, 170, 22));
    return image;
}

// ---- Output ----------------------------------------------------------------------------------------

QByteArray encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (QByteArray(format) == "jpg")
        writer.setQuality(88);
    writer.write(image);
    return bytes;
}

QByteArray infoPlist()
{
    struct Shade
    {
        const char* id;
        const char* mode;
        double intensity;
    };
    struct Frame
    {
        const char* id;
        const char* name;
        const char* texture;
        int fill;
        const char* external;
        const char* internal;
        const char* imageMask;
        double inset;
        std::vector<Shade> shades;
    };
    const Shade shadow{"FRM-S#001#Overlay-Profile-Shadow", "multiply", 0.85};
    const Shade light{"FRM-S#002#Overlay-Profile-Light", "negativeMultiply", 0.7};
    const Shade lip{"FRM-S#003#Internal-Bevel-Lip", "sourceOver", 0.9};
    const Shade edge{"FRM-S#004#External-Edge-Highlight", "negativeMultiply", 0.8};
    const Shade sheen{"FRM-S#005#Overlay-Gilded-Sheen", "overlay", 0.8};
    const Shade beads{"FRM-S#006#Overlay-Bead-Row", "multiply", 0.8};
    const Shade join{"FRM-S#010#Join-Mitre", "multiply", 0.8};
    const Shade joinLight{"FRM-S#011#Join-Mitre-Light", "negativeMultiply", 0.6};
    const std::vector<Frame> frames{
        {"FRM-F#001",
         "Wood - Light Oak",
         "ORV-T#010#Wood-Light-Knots",
         1,
         "",
         "FRM-I#000#Internal-Auto",
         "",
         0,
         {shadow, join, light, joinLight, lip}},
        {"FRM-F#002",
         "Wood - Walnut",
         "ORV-T#011#Wood-Walnut",
         1,
         "",
         "FRM-I#000#Internal-Auto",
         "",
         0,
         {shadow, join, light, edge, lip}},
        {"FRM-F#003",
         "Wood - Cherry Scalloped",
         "ORV-T#012#Wood-Cherry",
         1,
         "FRM-E#003#External-Scalloped",
         "FRM-I#000#Internal-Auto",
         "",
         0,
         {shadow, beads, light}},
        {"FRM-F#004",
         "Wood - Barn Board",
         "ORV-T#013#Wood-Weathered-Barn",
         1,
         "FRM-E#004#External-Deckled",
         "",
         "",
         0,
         {shadow, join}},
        {"FRM-F#005",
         "Wood - Walnut Oval",
         "ORV-T#011#Wood-Walnut",
         1,
         "",
         "FRM-I#002#Internal-Oval",
         "",
         0,
         {shadow, light, lip}},
        {"FRM-F#006",
         "Paper - Laid Mat",
         "ORV-T#020#Paper-Laid",
         2,
         "",
         "FRM-I#000#Internal-Auto",
         "",
         0,
         {lip}},
        {"FRM-F#007",
         "Paper - Watercolour Deckle",
         "ORV-T#021#Paper-Watercolour",
         2,
         "FRM-E#004#External-Deckled",
         "FRM-I#000#Internal-Auto",
         "",
         0.5,
         {}},
        {"FRM-F#008",
         "Paper - Handmade Arch",
         "ORV-T#022#Paper-Handmade",
         2,
         "",
         "FRM-I#003#Internal-Arched",
         "FRM-M#001#Vignette",
         0,
         {lip}},
        {"FRM-F#009",
         "Leather - Tooled",
         "ORV-T#030#Leather-Tooled",
         1,
         "FRM-E#002#External-Rounded",
         "FRM-I#001#Internal-Rounded",
         "",
         0,
         {shadow, light, edge}},
        {"FRM-F#010",
         "Leather - Tooled Oval",
         "ORV-T#030#Leather-Tooled",
         1,
         "",
         "FRM-I#002#Internal-Oval",
         "",
         0,
         {shadow, lip}},
        {"FRM-F#011",
         "Metal - Brushed Aluminium",
         "ORV-T#040#Metal-Brushed-Aluminium",
         1,
         "",
         "FRM-I#000#Internal-Auto",
         "",
         0,
         {join, joinLight, edge, lip}},
        {"FRM-F#012",
         "Metal - Gold Leaf",
         "ORV-T#050#Gilt-Gold-Leaf",
         1,
         "",
         "FRM-I#000#Internal-Auto",
         "FRM-M#002#Torn-Edge",
         0,
         {sheen, beads, shadow, light, join}},
    };
    auto escaped = [](const char* s) { return QString::fromUtf8(s).toHtmlEscaped(); };
    QString xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                 "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                                 "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                                 "<plist version=\"1.0\">\n<dict>\n");
    for (const Frame& f : frames) {
        xml += QStringLiteral("\t<key>%1</key>\n\t<dict>\n").arg(escaped(f.id));
        auto key = [&](const char* k, const QString& value) {
            xml += QStringLiteral("\t\t<key>%1</key>\n\t\t%2\n").arg(QString::fromLatin1(k), value);
        };
        auto string = [&](const char* s) { return QStringLiteral("<string>%1</string>").arg(escaped(s)); };
        if (*f.external)
            key("ExternalMask", string(f.external));
        if (*f.imageMask)
            key("ImageMask", string(f.imageMask));
        key("Inset", QStringLiteral("<real>%1</real>").arg(f.inset));
        if (*f.internal)
            key("InternalMask", string(f.internal));
        key("Name", string(f.name));
        if (!f.shades.empty()) {
            QString list = QStringLiteral("<array>\n");
            for (const Shade& s : f.shades)
                list +=
                    QStringLiteral("\t\t\t<dict>\n\t\t\t\t<key>BlendMode</key>\n\t\t\t\t<string>%1</string>\n"
                                   "\t\t\t\t<key>Intensity</key>\n\t\t\t\t<real>%2</real>\n"
                                   "\t\t\t\t<key>Shade</key>\n\t\t\t\t<string>%3</string>\n\t\t\t</dict>\n")
                        .arg(escaped(s.mode))
                        .arg(s.intensity)
                        .arg(escaped(s.id));
            list += QStringLiteral("\t\t</array>");
            key("Shades", list);
        }
        key("Texture", string(f.texture));
        key("TextureFillMode", QStringLiteral("<integer>%1</integer>").arg(f.fill));
        xml += QStringLiteral("\t</dict>\n");
    }
    xml += QStringLiteral("</dict>\n</plist>\n");
    return xml.toUtf8();
}

// Every file, by its path relative to the output folder.
std::map<QString, QByteArray> artwork()
{
    std::map<QString, QByteArray> files;
    auto texture = [&](const char* name, const QImage& image) {
        files[QStringLiteral("Textures/%1.jpg").arg(QString::fromUtf8(name))] = encoded(image, "jpg");
    };
    texture("ORV-T#010#Wood-Light-Knots#S2#36-38-80$2",
            makeWood({{0.86, 0.73, 0.54}, {0.64, 0.47, 0.30}, {0.45, 0.31, 0.18}, 20, 1.3, 2, 2, 0, 1010}));
    texture("ORV-T#011#Wood-Walnut#S2#26-55-40",
            makeWood({{0.47, 0.32, 0.22}, {0.27, 0.17, 0.10}, {0.16, 0.09, 0.05}, 26, 1.4, 0, 2, 0, 1011}));
    texture("ORV-T#012#Wood-Cherry#S1#14-60-58$3",
            makeWood({{0.66, 0.38, 0.27}, {0.50, 0.26, 0.17}, {0.33, 0.15, 0.10}, 18, 1.1, 0, 1, 0, 1012}));
    texture("ORV-T#013#Wood-Weathered-Barn#R3",
            makeWood({{0.62, 0.55, 0.47}, {0.38, 0.32, 0.26}, {0.22, 0.18, 0.15}, 30, 1.6, 1, 3, 0.7, 1013}));
    texture("ORV-T#020#Paper-Laid#R#44-12-93", makeLaidPaper());
    texture("ORV-T#021#Paper-Watercolour#$2.5", makeWatercolourPaper());
    texture("ORV-T#022#Paper-Handmade#0#42-16-90-3", makeHandmadePaper());
    texture("ORV-T#030#Leather-Tooled#S#21-72-42", makeLeather());
    texture("ORV-T#040#Metal-Brushed-Aluminium#R#215-6-80$2", makeBrushedAluminium());
    texture("ORV-T#050#Gilt-Gold-Leaf#S#40-65-86$1.5", makeGoldLeaf());

    const QString bundle = QStringLiteral("Frames.bundle/");
    auto part = [&](const char* folder, const char* name, const QImage& image) {
        files[bundle +
              QStringLiteral("%1/%2.png").arg(QString::fromLatin1(folder), QString::fromUtf8(name))] =
            encoded(image, "png");
    };
    part("Shades", "FRM-S#001#Overlay-Profile-Shadow#48-0-0-0-B#multiply", profileShadow());
    part("Shades", "FRM-S#002#Overlay-Profile-Light#48-0-0-0-B#negativeMultiply", profileLightImage());
    part("Shades", "FRM-S#003#Internal-Bevel-Lip#48-0-0-0-I#000", bevelLip());
    part("Shades", "FRM-S#004#External-Edge-Highlight#48-0-0-0-E#001-B#negativeMultiply", edgeHighlight());
    part("Shades", "FRM-S#005#Overlay-Gilded-Sheen#48-0-0-0-B#overlay", gildedSheen());
    part("Shades", "FRM-S#006#Overlay-Bead-Row#48-48-6-6-B#multiply", beadRow());
    part("Shades", "FRM-S#010#Join-Mitre#48-0-0-0-B#multiply", mitre(false));
    part("Shades", "FRM-S#011#Join-Mitre-Light#48-0-0-0-B#negativeMultiply", mitre(true));
    part("InternalMasks", "FRM-I#000#Internal-Auto#48-0", internalMask(0, 0));
    part("InternalMasks", "FRM-I#001#Internal-Rounded#48-24", internalMask(24, 24));
    part("InternalMasks", "FRM-I#002#Internal-Oval#48-80-0-0-O#oval", curvedInternalMask(false));
    part("InternalMasks", "FRM-I#003#Internal-Arched#48-80-0-0-O#arch", curvedInternalMask(true));
    Random random(701);
    part("ExternalMasks", "FRM-E#001#External-Straight#48-0", externalMask(0, random));
    part("ExternalMasks", "FRM-E#002#External-Rounded#48-24", externalMask(1, random));
    part("ExternalMasks", "FRM-E#003#External-Scalloped#48-48-6-6", externalMask(2, random));
    part("ExternalMasks", "FRM-E#004#External-Deckled#48-48-4-4", externalMask(3, random));
    part("Masks", "FRM-M#001#Vignette#48-0", vignetteMask());
    part("Masks", "FRM-M#002#Torn-Edge#48-0", tornMask(random));
    files[bundle + QStringLiteral("Info.plist")] = infoPlist();
    files[QStringLiteral("PreviewImage.png")] = encoded(previewImage(), "png");
    return files;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const bool check = argc == 3 && QByteArray(argv[1]) == "--check";
    if (argc != 2 && !check) {
        std::fprintf(stderr, "Usage: frame-artwork <folder> | frame-artwork --check <folder>\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[argc - 1]));
    int failures = 0;
    const auto files = artwork();
    // The frames bundle's part folders hold only what this program makes: a part renamed since the last
    // run would otherwise stay beside its new name, and a look-up by ID could find either.
    QSet<QString> folders;
    for (const auto& entry : files)
        if (entry.first.startsWith(QLatin1String("Frames.bundle/")) && entry.first.count(u'/') == 2)
            folders.insert(QFileInfo(entry.first).path());
    for (const QString& folder : folders) {
        for (const QString& name : QDir(out.filePath(folder)).entryList(QDir::Files)) {
            const QString path = folder + u'/' + name;
            if (files.count(path))
                continue;
            if (check) {
                std::fprintf(stderr, "Error: %s is not made by frame-artwork\n",
                             qPrintable(out.filePath(path)));
                ++failures;
            } else if (!QFile::remove(out.filePath(path))) {
                std::fprintf(stderr, "Error: could not remove %s\n", qPrintable(out.filePath(path)));
                ++failures;
            }
        }
    }
    for (const auto& [path, bytes] : files) {
        QFile file(out.filePath(path));
        if (check) {
            if (!file.open(QIODevice::ReadOnly) || file.readAll() != bytes) {
                std::fprintf(stderr, "Error: %s is not what frame-artwork makes\n",
                             qPrintable(file.fileName()));
                ++failures;
            }
            continue;
        }
        QDir().mkpath(QFileInfo(file).path());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
            std::fprintf(stderr, "Error: could not write %s\n", qPrintable(file.fileName()));
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
