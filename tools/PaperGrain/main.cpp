// Draws the paper of the canvas frame (Resources/Artwork/Editor/Paper.jpg.svg): a dark, quiet tile of
// 96 x 96 points that repeats without seams. Qt's SVG renderer has no filters, so the grain is drawn as
// shapes: single points a shade lighter or darker than the ground, and faint short fibres that wrap
// around the tile's edges.
//
//   paper-grain <output.svg>        writes the drawing
//   paper-grain --check <file.svg>  fails unless the file is exactly what this program draws
//
// The numbers come from a fixed seed and a generator of our own, so every run on every machine gives the
// same bytes; the checked-in drawing is kept honest by the check.
#include "tools/Common/GeneratedDrawing.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int Size = 96;
constexpr int Ground = 0x2b; // the paper's grey, with a touch of blue below
constexpr int Fibres = 70;

using GeneratedDrawing::Random;

std::string grey(int level)
{
    char colour[8];
    std::snprintf(colour, sizeof colour, "#%02x%02x%02x", level, level, level + 3);
    return colour;
}

std::string number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

std::string draw()
{
    Random random(0x7061706572ull);
    // Each point's shade: a bell about the ground (the sum of three uniform numbers); most stay ground.
    std::map<int, std::vector<std::pair<int, int>>> points;
    for (int y = 0; y < Size; ++y) {
        for (int x = 0; x < Size; ++x) {
            const double bell = (random.unit() + random.unit() + random.unit()) / 3 - 0.5;
            const int offset = int(std::lround(bell * 14));
            if (offset != 0)
                points[offset].push_back({x, y});
        }
    }
    std::ostringstream out;
    out << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << Size << "\" height=\"" << Size
        << "\" viewBox=\"0 0 " << Size << ' ' << Size << "\">\n";
    out << "  <rect width=\"" << Size << "\" height=\"" << Size << "\" fill=\"" << grey(Ground) << "\"/>\n";
    out << "  <g shape-rendering=\"crispEdges\">\n";
    for (const auto& [offset, cells] : points) {
        out << "    <path fill=\"" << grey(Ground + offset) << "\" d=\"";
        for (const auto& [x, y] : cells)
            out << 'M' << x << ' ' << y << "h1v1h-1z";
        out << "\"/>\n";
    }
    out << "  </g>\n";
    // Fibres: short strokes, lighter or darker, each drawn again a tile away where it crosses an edge.
    out << "  <g fill=\"none\" stroke-linecap=\"round\" stroke-width=\"0.6\">\n";
    for (int i = 0; i < Fibres; ++i) {
        const double x = random.unit() * Size, y = random.unit() * Size;
        const double angle = random.unit() * 2 * M_PI, length = 3 + random.unit() * 9;
        const double bend = (random.unit() - 0.5) * 3;
        const bool light = random.unit() < 0.55;
        const double opacity = 0.05 + random.unit() * 0.07;
        const double dx = std::cos(angle) * length, dy = std::sin(angle) * length;
        for (int sy = -1; sy <= 1; ++sy) {
            for (int sx = -1; sx <= 1; ++sx) {
                const double x0 = x + sx * Size, y0 = y + sy * Size;
                const double minX = std::min(x0, x0 + dx) - 2, maxX = std::max(x0, x0 + dx) + 2;
                const double minY = std::min(y0, y0 + dy) - 2, maxY = std::max(y0, y0 + dy) + 2;
                if (maxX < 0 || minX > Size || maxY < 0 || minY > Size)
                    continue;
                out << "    <path stroke=\"" << (light ? "#ffffff" : "#000000") << "\" stroke-opacity=\""
                    << number(opacity) << "\" d=\"M" << number(x0) << ' ' << number(y0) << " q"
                    << number(dx / 2 - dy / length * bend) << ' ' << number(dy / 2 + dx / length * bend)
                    << ' ' << number(dx) << ' ' << number(dy) << "\"/>\n";
            }
        }
    }
    out << "  </g>\n</svg>\n";
    return out.str();
}

} // namespace

int main(int argc, char** argv)
{
    return GeneratedDrawing::writeOrCheck(argc, argv, "paper-grain", draw());
}
