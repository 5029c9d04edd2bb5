// Makes the stock pictures of the eye, healing and beard tools and the toolkit's box panels, reproducibly:
//   Iris.png       a stock iris with alpha: a soft-edged pupil, radial fibres, a collarette and a soft
//                  limbal ring, its rim fading to transparent; no catch light (the photo's own shows)
//   SkinPatch.jpg  a neutral (mean grey 0.5), seamlessly tileable skin-pore texture
//   BeardStubble.png  seamlessly tileable stubble with alpha: short dark hairs growing downward, the
//                  dots of their follicles and the faint shadow of the beard under the skin
//   OVBoxDarkBackground.png, OVBoxLightBackground.png (and @2x)  seamless fine-grain tiles of the
//                  toolkit's box panels, 64 x 64 points
// Usage: make-textures <output folder>   (the build runs it into the built-resources folder)
//
// Everything is computed from a fixed seed with our own number-to-double conversion, so the same program
// makes the same pixels with any standard library.

#include "tools/Common/PeriodicNoise.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QImageWriter>
#include <QTextStream>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace {

constexpr double Pi = 3.14159265358979323846;

class Random
{
public:
    explicit Random(uint32_t seed) : m_engine(seed) {}
    // Uniform in [0, 1): the engine's 32 bits, which the standard fixes, scaled by hand.
    double unit() { return double(m_engine()) / 4294967296.0; }
    double range(double lo, double hi) { return lo + (hi - lo) * unit(); }

private:
    std::mt19937 m_engine;
};

using GeneratedDrawing::mix;
using GeneratedDrawing::smoothstep;
using PeriodicNoise = GeneratedDrawing::PeriodicNoise<Random>;

// A periodic function of the angle: a sum of cosines of whole frequencies, so it closes on itself.
class AngularNoise
{
public:
    AngularNoise(int lowest, int highest, int terms, Random& random)
    {
        for (int i = 0; i < terms; ++i) {
            const int n = lowest + int(random.unit() * (highest - lowest + 1));
            m_terms.push_back(
                {double(n), random.range(0, 2 * Pi), random.range(0.4, 1.0) / std::sqrt(double(n))});
        }
        double norm = 0;
        for (const Term& t : m_terms)
            norm += t.amplitude * t.amplitude;
        m_scale = 1.0 / std::sqrt(std::max(norm * 0.5, 1e-12));
    }
    // Roughly unit variance; `twist` turns the pattern slowly with the radius so fibres are not straight.
    double at(double angle, double twist = 0) const
    {
        double sum = 0;
        for (const Term& t : m_terms)
            sum += t.amplitude * std::cos(t.frequency * (angle + twist) + t.phase);
        return sum * m_scale;
    }

private:
    struct Term
    {
        double frequency, phase, amplitude;
    };
    std::vector<Term> m_terms;
    double m_scale = 1;
};

uint8_t toByte(double v)
{
    return uint8_t(std::lround(std::clamp(v, 0.0, 1.0) * 255.0));
}

// A value for every pixel of a square tile, row by row: `value(u, w)` at the pixel's centre, in tile
// units (0 to 1 across).
template <typename Value> std::vector<double> tileField(int size, const Value& value)
{
    std::vector<double> field(size_t(size * size));
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            field[size_t(y * size + x)] = value((x + 0.5) / size, (y + 0.5) / size);
    return field;
}

// The iris: a disc filling the square (so the brush's square places it edge to edge), straight colours.
QImage makeIris(int size)
{
    Random random(20240611);
    const double c = size / 2.0;
    const double R = size / 2.0 - 1.5; // iris radius, a pixel and a half of soft edge inside the square
    // Pupil radius: large, so that a photo's pupil of any usual size lies inside it and no ring of the
    // old iris shows around the new one's pupil.
    const double P = R * 0.45;
    // Fibres: noise with many cells around the circle and few along the radius, so it streaks radially
    // and breaks up along the way.
    const PeriodicNoise fibres(200, 8, random);
    const PeriodicNoise bundles(56, 7, random);
    const AngularNoise wobble(2, 6, 4, random);
    const AngularNoise collaretteShape(7, 14, 5, random);
    const AngularNoise ringShade(3, 9, 6, random);
    Random fine(77);

    // Crypts: dark, radially stretched hollows around the collarette and in the middle of the stroma.
    struct Crypt
    {
        double angle, rho, width, length, depth;
    };
    std::vector<Crypt> crypts;
    for (int i = 0; i < 34; ++i)
        crypts.push_back({random.range(0, 2 * Pi), random.range(0.22, 0.7), random.range(0.02, 0.04),
                          random.range(0.08, 0.18), random.range(0.15, 0.35)});

    // Colours, straight sRGB-encoded: a grey-blue stroma with a hazel ring around the pupil.
    const std::array<double, 3> stroma{0.40, 0.52, 0.60};
    const std::array<double, 3> hazel{0.55, 0.45, 0.30};
    const std::array<double, 3> limbus{0.10, 0.14, 0.18};
    // The pupil as a photo shows one: near black, not a hole.
    const std::array<double, 3> pupil{0.035, 0.035, 0.04};

    QImage image(size, size, QImage::Format_ARGB32);
    for (int y = 0; y < size; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size; ++x) {
            const double dx = x + 0.5 - c, dy = c - (y + 0.5); // y up
            const double r = std::hypot(dx, dy);
            const double angle = std::atan2(dy, dx);
            // The rim fades over the outer tenth, so the iris sinks into the limbus it is laid over.
            const double alpha = 1 - smoothstep(0.88 * R, R + 0.5, r);
            if (alpha <= 0) {
                line[x] = qRgba(0, 0, 0, 0);
                continue;
            }
            const double rho = std::clamp((r - P) / (R - P), 0.0, 1.0);
            const double u = angle / (2 * Pi) + 0.5 + 0.006 * wobble.at(angle) * std::sin(rho * 2 * Pi * 1.5);

            // Stroma: a touch of hazel near the pupil turning grey-blue outward along a wavy collarette.
            const double collarette = 0.3 + 0.025 * collaretteShape.at(angle);
            const double hazelAmount = 1 - smoothstep(collarette - 0.1, collarette + 0.06, rho);
            std::array<double, 3> col;
            for (size_t k = 0; k < 3; ++k)
                col[k] = mix(stroma[k], hazel[k], hazelAmount * 0.35);

            // Radial fibres: fine light streaks on coarser bundles, stronger in the middle of the stroma.
            const double fibre = fibres.at(u, rho) * 0.6 + bundles.at(u, rho) * 0.4;
            const double fibreWeight = smoothstep(0.0, 0.12, rho) * (1 - smoothstep(0.85, 1.0, rho));
            // Strong enough to show still where the picture is laid over an iris a few dozen pixels
            // across: a weaker texture averages out to a flat disc.
            double light = 1 + 0.5 * fibre * fibreWeight;
            // The collarette is a raised, lighter ridge.
            light *= 1 + 0.18 * std::exp(-std::pow((rho - collarette) / 0.035, 2));
            for (const Crypt& crypt : crypts) {
                double da = std::remainder(angle - crypt.angle, 2 * Pi);
                const double along = (rho - crypt.rho) / crypt.length;
                const double across = da * (0.3 + rho) / crypt.width;
                light *= 1 - crypt.depth * std::exp(-(along * along + across * across));
            }
            // Concentric contraction furrows in the outer stroma.
            light *= 1 - 0.06 * smoothstep(0.55, 0.75, rho) *
                             std::pow(std::cos(rho * 38 + 0.3 * ringShade.at(angle)), 8);
            // Limbal ring: the iris darkens a little towards its rim.
            const double limbal = smoothstep(0.78, 0.98, rho);
            for (size_t k = 0; k < 3; ++k)
                col[k] = mix(col[k] * light, limbus[k], limbal * 0.5);
            // Pupillary ruff: a thin dark-brown border, then the pupil, soft over a pixel and a half.
            const double ruff = std::exp(-std::pow((r - P - 2.5) / 3.0, 2));
            for (size_t k = 0; k < 3; ++k)
                col[k] = mix(col[k], col[k] * 0.45, ruff);
            // The pupil's edge soft over a tenth of its radius, soft still when the picture is made small.
            const double inPupil = 1 - smoothstep(0.92 * P, 1.08 * P, r);
            for (size_t k = 0; k < 3; ++k)
                col[k] = mix(col[k], pupil[k], inPupil);
            // Fine grain.
            const double grain = 1 + 0.035 * (fine.unit() * 2 - 1);
            for (double& v : col)
                v *= grain;

            line[x] = qRgba(toByte(col[0]), toByte(col[1]), toByte(col[2]), toByte(alpha));
        }
    }
    return image;
}

// Neutral skin texture: grey 0.5 on average, fine pores, a faint mesh of skin lines and some mottling,
// every part periodic over the square so the tile repeats without a seam.
QImage makeSkinPatch(int size)
{
    Random random(19780203);
    const PeriodicNoise mottle(4, random);
    const PeriodicNoise blotch(16, random);
    const PeriodicNoise grain(128, random);
    // Stretched along one diagonal, so their zero crossings run as lines along the other.
    const PeriodicNoise linesA(20, 5, random);
    const PeriodicNoise linesB(20, 5, random);

    std::vector<double> v = tileField(size, [&](double u, double w) {
        double s = 0.016 * mottle.at(u, w) + 0.012 * blotch.at(u, w) + 0.012 * grain.at(u, w);
        // Skin lines: thin ridges where a stretched noise crosses zero, two directions.
        const double a = linesA.at(u + w, u - w);
        const double b = linesB.at(u - w, u + w);
        return s - 0.018 * (std::exp(-std::pow(a / 0.05, 2)) + std::exp(-std::pow(b / 0.05, 2)));
    });

    // Pores: small dark hollows with a soft rim, placed at random on the torus.
    const int pores = size * size / 200;
    for (int i = 0; i < pores; ++i) {
        const double px = random.range(0, size), py = random.range(0, size);
        const double radius = random.range(1.1, 2.6);
        const double depth = random.range(0.02, 0.055);
        const int reach = int(std::ceil(radius * 3));
        for (int dy = -reach; dy <= reach; ++dy)
            for (int dx = -reach; dx <= reach; ++dx) {
                const int x = ((int(px) + dx) % size + size) % size;
                const int y = ((int(py) + dy) % size + size) % size;
                const double ddx = int(px) + dx + 0.5 - px, ddy = int(py) + dy + 0.5 - py;
                const double d2 = (ddx * ddx + ddy * ddy) / (radius * radius);
                v[size_t(y * size + x)] += -depth * std::exp(-d2) + 0.15 * depth * std::exp(-d2 / 4.0);
            }
    }

    double mean = 0;
    for (double s : v)
        mean += s;
    mean /= double(v.size());
    QImage image(size, size, QImage::Format_Grayscale8);
    for (int y = 0; y < size; ++y) {
        uchar* line = image.scanLine(y);
        for (int x = 0; x < size; ++x)
            line[x] = toByte(0.5 + v[size_t(y * size + x)] - mean);
    }
    return image;
}

// Stubble, one tile half a face wide: dark hairs (straight colour near black, coverage in the alpha)
// on a transparent ground, as the stubble compositing reads it: its coverage is the darkness times
// the alpha. Hairs are tapered capsules a millimetre or two long, pointing mostly down with some
// spread and curl of direction across the tile; each starts at a follicle dot. Under them lies the
// faint, mottled shadow of shaved stubble. Everything wraps around the tile's edges.
QImage makeBeardStubble(int size)
{
    Random random(19651107);
    const PeriodicNoise shadow(6, random);
    const PeriodicNoise patchy(14, random);
    const PeriodicNoise flow(3, random);

    // Coverage kept as the product of what lets light through, so overlapping hairs darken together.
    std::vector<double> through = tileField(size, [&](double u, double w) {
        const double density = 0.2 + 0.06 * shadow.at(u, w) + 0.04 * patchy.at(u, w);
        return 1 - std::clamp(density, 0.0, 1.0);
    });

    auto paint = [&](double ax, double ay, double bx, double by, double r0, double r1, double strength) {
        const int x0 = int(std::floor(std::min(ax, bx) - r0 - 1)),
                  x1 = int(std::ceil(std::max(ax, bx) + r0 + 1));
        const int y0 = int(std::floor(std::min(ay, by) - r0 - 1)),
                  y1 = int(std::ceil(std::max(ay, by) + r0 + 1));
        const double lx = bx - ax, ly = by - ay, len2 = std::max(lx * lx + ly * ly, 1e-9);
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                const double px = x + 0.5, py = y + 0.5;
                const double t = std::clamp(((px - ax) * lx + (py - ay) * ly) / len2, 0.0, 1.0);
                const double d = std::hypot(px - (ax + t * lx), py - (ay + t * ly));
                const double radius = mix(r0, r1, t);
                // Coverage of a pixel by the hair: a pixel-wide ramp across its edge; thin hairs are
                // fainter rather than thinner than a pixel.
                const double cover = std::clamp(radius + 0.5 - d, 0.0, 1.0) * std::min(1.0, 2 * radius);
                if (cover <= 0)
                    continue;
                const int wx = ((x % size) + size) % size, wy = ((y % size) + size) % size;
                through[size_t(wy * size + wx)] *= 1 - cover * strength;
            }
    };

    const int hairs = 4200;
    for (int i = 0; i < hairs; ++i) {
        const double x = random.range(0, size), y = random.range(0, size);
        // Down the tile (image rows grow downward) with a slow sway of direction across it.
        const double sway = 0.5 * flow.at(x / size, y / size);
        const double angle = Pi / 2 + sway + random.range(-0.35, 0.35);
        const double length = random.range(3.0, 9.0);
        const double bx = x + std::cos(angle) * length, by = y + std::sin(angle) * length;
        const double strength = random.range(0.55, 0.95);
        paint(x, y, bx, by, random.range(0.55, 0.8), 0.25, strength);
        paint(x, y, x, y, random.range(0.7, 1.0), 0.7, 0.5 * strength); // the follicle
    }

    QImage image(size, size, QImage::Format_ARGB32);
    const std::array<double, 3> hair{0.10, 0.08, 0.07};
    for (int y = 0; y < size; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size; ++x) {
            const double alpha = 1 - through[size_t(y * size + x)];
            line[x] = qRgba(toByte(hair[0]), toByte(hair[1]), toByte(hair[2]), toByte(alpha));
        }
    }
    return image;
}

// The toolkit's box panels: a fine grain over a faint, larger cloudiness around a mean grey, periodic over
// the tile. `size` is the tile's side in points and `scale` the pixels per point; both scales sample the
// same noise, so the grain keeps its size on screen.
QImage makeBoxBackground(double mean, double contrast, uint32_t seed, int size, int scale)
{
    Random random(seed);
    const PeriodicNoise cloud(4, random);
    const PeriodicNoise grain(size, random);
    Random fine(seed + 1);
    const int pixels = size * scale;
    std::vector<double> speckle(size_t(size * size));
    for (double& s : speckle)
        s = fine.unit() * 2 - 1;
    QImage image(pixels, pixels, QImage::Format_RGB32);
    for (int y = 0; y < pixels; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < pixels; ++x) {
            const double u = (x + 0.5) / pixels, v = (y + 0.5) / pixels;
            const double s = speckle[size_t((y / scale) * size + x / scale)];
            const uint8_t g =
                toByte(mean + contrast * (0.15 * cloud.at(u, v) + 0.45 * grain.at(u, v) + 0.4 * s));
            line[x] = qRgb(g, g, g);
        }
    }
    return image;
}

bool save(const QImage& image, const QString& path, const char* format, int quality)
{
    QImageWriter writer(path, format);
    writer.setQuality(quality);
    if (!writer.write(image)) {
        QTextStream(stderr) << "Error: cannot write " << path << ": " << writer.errorString() << "\n";
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: make-textures <output folder>\n";
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.exists()) {
        QTextStream(stderr) << "Error: no folder " << folder.path() << "\n";
        return 1;
    }
    const bool ok =
        save(makeIris(512), folder.filePath(QStringLiteral("Iris.png")), "png", -1) &&
        save(makeSkinPatch(512), folder.filePath(QStringLiteral("SkinPatch.jpg")), "jpg", 95) &&
        save(makeBeardStubble(512), folder.filePath(QStringLiteral("BeardStubble.png")), "png", -1);
    bool boxes = true;
    for (int scale : {1, 2}) {
        const QString suffix = scale == 1 ? QStringLiteral(".png") : QStringLiteral("@2x.png");
        boxes = save(makeBoxBackground(0.56, 0.06, 310815, 64, scale),
                     folder.filePath(QStringLiteral("OVBoxDarkBackground") + suffix), "png", -1) &&
                save(makeBoxBackground(0.86, 0.05, 120964, 64, scale),
                     folder.filePath(QStringLiteral("OVBoxLightBackground") + suffix), "png", -1) &&
                boxes;
    }
    return ok && boxes ? 0 : 1;
}
