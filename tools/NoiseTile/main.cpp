// Draws the interface's grey noise tile (Resources/Artwork/Interface/NoiseFull.svg), which the toolkit's
// noise colour tiles over surfaces: 64 x 64 cells of grey scattered about the middle, one path per
// grey level.
//
//   noise-tile <output.svg>        writes the drawing
//   noise-tile --check <file.svg>  fails unless the file is exactly what this program draws
//
// The greys come from a fixed seed and a random number generator of our own, so every run on every
// machine gives the same bytes; the checked-in drawing is kept honest by the check.
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

// splitmix64: small and the same everywhere, unlike the standard library's distributions.
class Random
{
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}
    double unit()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        return double(z >> 11) * (1.0 / 9007199254740992.0);
    }

private:
    std::uint64_t m_state;
};

std::string draw()
{
    Random random(0x6e6f697365ull);
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
    const std::string drawing = draw();
    if (argc == 3 && std::string(argv[1]) == "--check") {
        std::ifstream file(argv[2], std::ios::binary);
        const std::string present((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        if (present != drawing) {
            std::fprintf(stderr, "Error: %s is not what noise-tile draws; run noise-tile %s\n", argv[2], argv[2]);
            return 1;
        }
        return 0;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: noise-tile <output.svg> | noise-tile --check <file.svg>\n");
        return 2;
    }
    std::ofstream file(argv[1], std::ios::binary);
    file << drawing;
    if (!file) {
        std::fprintf(stderr, "Error: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
