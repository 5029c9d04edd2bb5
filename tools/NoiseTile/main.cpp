// Draws the interface's grey noise tiles, which surfaces tile: 64 x 64 cells of grey scattered about the
// middle, one path per grey level. "NoiseFull.svg" is the toolkit's noise colour; "NoiseMainBkg.svg",
// from another seed, the background of the lists' opened entries. The file name picks the drawing.
//
//   noise-tile <output.svg>        writes the drawing
//   noise-tile --check <file.svg>  fails unless the file is exactly what this program draws
//
// The greys come from a fixed seed and a random number generator of our own, so every run on every
// machine gives the same bytes; the checked-in drawing is kept honest by the check.
#include "tools/Common/GeneratedDrawing.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int Size = 64;
constexpr int Levels = 16;

using GeneratedDrawing::Random;

std::string draw(std::uint64_t seed)
{
    Random random(seed);
    // Each cell's level: the sum of four uniform numbers, a bell about the middle, over 16 greys.
    std::vector<std::vector<std::pair<int, int>>> cells(Levels);
    for (int y = 0; y < Size; ++y) {
        for (int x = 0; x < Size; ++x) {
            const double bell = (random.unit() + random.unit() + random.unit() + random.unit()) / 4;
            const int level = std::min(Levels - 1, int(bell * Levels));
            cells[std::size_t(level)].push_back({x, y});
        }
    }
    std::ostringstream out;
    out << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << Size << "\" height=\"" << Size
        << "\" viewBox=\"0 0 " << Size << ' ' << Size << "\" shape-rendering=\"crispEdges\">\n";
    for (int level = 0; level < Levels; ++level) {
        if (cells[std::size_t(level)].empty())
            continue;
        // Greys from 0.30 to 0.70 of white.
        const int grey = int(std::lround(255 * (0.30 + 0.40 * level / (Levels - 1))));
        char colour[8];
        std::snprintf(colour, sizeof colour, "#%02x%02x%02x", grey, grey, grey);
        out << "  <path fill=\"" << colour << "\" d=\"";
        for (const auto& [x, y] : cells[std::size_t(level)])
            out << 'M' << x << ' ' << y << "h1v1h-1z";
        out << "\"/>\n";
    }
    out << "</svg>\n";
    return out.str();
}

} // namespace

int main(int argc, char** argv)
{
    const std::string path = argc > 1 ? argv[argc - 1] : "";
    const bool main = path.size() >= 16 && path.compare(path.size() - 16, 16, "NoiseMainBkg.svg") == 0;
    return GeneratedDrawing::writeOrCheck(argc, argv, "noise-tile",
                                          draw(main ? 0x6d61696e626b67ull : 0x6e6f697365ull));
}
