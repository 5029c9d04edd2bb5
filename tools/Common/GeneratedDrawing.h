#pragma once

// What the programs that draw generated artwork share: a seeded random number generator that gives the
// same numbers on every machine, and writing a drawing or checking a checked-in one against it.

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace GeneratedDrawing {

// splitmix64: small, fast and the same everywhere, unlike the standard library's distributions.
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
    double between(double low, double high) { return low + (high - low) * unit(); }

private:
    std::uint64_t m_state;
};

// "<program> <output.svg>" writes the drawing; "<program> --check <file.svg>" fails unless the file
// holds exactly the drawing. The exit status for main().
inline int writeOrCheck(int argc, char** argv, const char* program, const std::string& drawing)
{
    if (argc == 3 && std::string(argv[1]) == "--check") {
        std::ifstream file(argv[2], std::ios::binary);
        const std::string stored((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        if (stored != drawing) {
            std::fprintf(stderr, "Error: %s is not what %s draws; run %s %s\n", argv[2], program, program,
                         argv[2]);
            return 1;
        }
        return 0;
    }
    if (argc != 2) {
        std::fprintf(stderr, "Usage: %s <output.svg> | %s --check <file.svg>\n", program, program);
        return 2;
    }
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out << drawing;
    return out.good() ? 0 : 1;
}

} // namespace GeneratedDrawing
