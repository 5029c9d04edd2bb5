// Draws the walnut picture frame of the application's artwork as SVG: four mitred rails whose wood
// grain is generated here, with a moulding profile and light from the upper left laid over them.
//
//   wood-frame <output.svg>        writes the drawing
//   wood-frame --check <file.svg>  fails unless the file is exactly what this program draws
//
// The grain comes from a fixed seed and a random number generator of our own, and numbers are printed
// with one decimal in the C locale, so every run on every machine gives the same bytes; the checked-in
// drawing is kept honest by the check.
#include "tools/Common/GeneratedDrawing.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The frame: the opening of 800 x 1000 pixels framed by rails of 90.
constexpr int Border = 90;
constexpr int Width = 800 + 2 * Border;
constexpr int Height = 1000 + 2 * Border;

using GeneratedDrawing::Random;

std::string number(double value, const char* format = "%.1f")
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, format, value);
    const std::string text = buffer;
    return text == "-0.0" ? "0.0" : text;
}

// One grain line: a gentle wave of two sines around a straight course, its swing fading out over the
// last `taper` pixels at either end so that the line ends exactly on the mitre.
struct Grain
{
    double offset, width, opacity, amplitude1, wavelength1, phase1, amplitude2, wavelength2, phase2;
    const char* colour;

    double swing(double along, double start, double end, double taper) const
    {
        const double fade = std::min({1.0, (along - start) / taper, (end - along) / taper});
        return std::max(0.0, fade) * (amplitude1 * std::sin(along / wavelength1 * 2 * M_PI + phase1) +
                                      amplitude2 * std::sin(along / wavelength2 * 2 * M_PI + phase2));
    }
};

Grain randomGrain(Random& random)
{
    Grain g;
    g.offset = random.between(3, Border - 3);
    // Mostly fine dark lines, some broad soft bands, a few light streaks.
    const double kind = random.unit();
    if (kind < 0.6) {
        g.colour = "#24140a";
        g.width = random.between(0.6, 2.2);
        g.opacity = random.between(0.25, 0.6);
    } else if (kind < 0.8) {
        g.colour = "#2c180b";
        g.width = random.between(5, 14);
        g.opacity = random.between(0.06, 0.14);
    } else {
        g.colour = "#b27f52";
        g.width = random.between(0.8, 2.5);
        g.opacity = random.between(0.15, 0.35);
    }
    g.amplitude1 = random.between(0.5, 2.2);
    g.wavelength1 = random.between(180, 420);
    g.phase1 = random.between(0, 2 * M_PI);
    g.amplitude2 = random.between(0.2, 0.9);
    g.wavelength2 = random.between(40, 110);
    g.phase2 = random.between(0, 2 * M_PI);
    return g;
}

// A grain line along a rail: `along` runs from start to end, `across` is the line's place across the
// rail; `vertical` rails run along y.
std::string grainLine(const Grain& g, double start, double end, double across, bool vertical)
{
    std::string points;
    const double step = 24;
    for (double along = start;; along += step) {
        const double a = std::min(along, end);
        const double c = across + g.swing(a, start, end, 40);
        points += vertical ? number(c) + "," + number(a) : number(a) + "," + number(c);
        if (a >= end)
            break;
        points += ' ';
    }
    return "  <polyline fill=\"none\" stroke=\"" + std::string(g.colour) + "\" stroke-opacity=\"" +
           number(g.opacity, "%.2f") + "\" stroke-width=\"" + number(g.width, "%.2f") + "\" points=\"" +
           points + "\"/>\n";
}

std::string draw()
{
    Random random(0x57A1ull);
    const std::string W = std::to_string(Width), H = std::to_string(Height), B = std::to_string(Border);
    const std::string inner = std::to_string(Width - Border), innerY = std::to_string(Height - Border);
    const std::string top = "0,0 " + W + ",0 " + inner + "," + B + " " + B + "," + B;
    const std::string left = "0,0 " + B + "," + B + " " + B + "," + innerY + " 0," + H;
    const std::string right = W + ",0 " + W + "," + H + " " + inner + "," + innerY + " " + inner + "," + B;
    const std::string bottom =
        "0," + H + " " + B + "," + innerY + " " + inner + "," + innerY + " " + W + "," + H;

    std::string svg;
    svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg += "<!-- A walnut frame, drawn by tools/WoodFrame from a fixed seed; do not edit by hand. Rails of " +
           B + " pixels around an opening of 800 x 1000. -->\n";
    svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"" +
           W + "\" height=\"" + H + "\" viewBox=\"0 0 " + W + " " + H + "\">\n";
    svg += "  <defs>\n";
    // The moulding's profile across a rail, from the outer edge (0) to the picture (1): a rounded outer
    // bead, a groove, a broad face and a raised inner lip falling into shadow at the picture.
    svg += "    <linearGradient id=\"top\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"" + B +
           "\" gradientUnits=\"userSpaceOnUse\">\n";
    const char* stops[][3] = {{"0", "#fff", "0.22"},    {"0.05", "#fff", "0.06"}, {"0.1", "#000", "0.3"},
                              {"0.16", "#fff", "0.12"}, {"0.5", "#fff", "0"},     {"0.76", "#000", "0.14"},
                              {"0.86", "#fff", "0.18"}, {"0.93", "#000", "0.3"},  {"1", "#000", "0.65"}};
    for (const auto& stop : stops)
        svg += std::string("      <stop offset=\"") + stop[0] + "\" stop-color=\"" + stop[1] +
               "\" stop-opacity=\"" + stop[2] + "\"/>\n";
    svg += "    </linearGradient>\n";
    svg += "    <linearGradient id=\"left\" xlink:href=\"#top\" x1=\"0\" y1=\"0\" x2=\"" + B +
           "\" y2=\"0\" gradientUnits=\"userSpaceOnUse\"/>\n";
    svg += "    <linearGradient id=\"right\" xlink:href=\"#top\" x1=\"" + W + "\" y1=\"0\" x2=\"" + inner +
           "\" y2=\"0\" gradientUnits=\"userSpaceOnUse\"/>\n";
    svg += "    <linearGradient id=\"bottom\" xlink:href=\"#top\" x1=\"0\" y1=\"" + H + "\" x2=\"0\" y2=\"" +
           innerY + "\" gradientUnits=\"userSpaceOnUse\"/>\n";
    svg += "  </defs>\n";

    // The side rails first, as whole planks with the grain running down them; the top and bottom rails,
    // drawn over them, cut them at the mitres.
    for (int side = 0; side < 2; ++side) {
        const int x0 = side == 0 ? 0 : Width - Border;
        svg += "  <rect x=\"" + std::to_string(x0) + "\" y=\"0\" width=\"" + B + "\" height=\"" + H +
               "\" fill=\"#66412a\"/>\n";
        for (int i = 0; i < 56; ++i) {
            const Grain g = randomGrain(random);
            svg += grainLine(g, 0, Height, x0 + g.offset, true);
        }
    }
    for (int side = 0; side < 2; ++side) {
        svg += "  <polygon points=\"" + (side == 0 ? top : bottom) + "\" fill=\"#66412a\"/>\n";
        for (int i = 0; i < 56; ++i) {
            const Grain g = randomGrain(random);
            // The depth into the rail from the outer edge decides where the mitres cut the line.
            const double depth = g.offset;
            const double y = side == 0 ? depth : Height - depth;
            svg += grainLine(g, depth, Width - depth, y, false);
        }
    }
    // Light from the upper left, the profile, the mitre joints and the outer edge.
    svg += "  <polygon points=\"" + top + "\" fill=\"#fff\" fill-opacity=\"0.07\"/>\n";
    svg += "  <polygon points=\"" + left + "\" fill=\"#fff\" fill-opacity=\"0.03\"/>\n";
    svg += "  <polygon points=\"" + right + "\" fill=\"#000\" fill-opacity=\"0.12\"/>\n";
    svg += "  <polygon points=\"" + bottom + "\" fill=\"#000\" fill-opacity=\"0.2\"/>\n";
    for (const char* face : {"top", "left", "right", "bottom"}) {
        const std::string name(face);
        const std::string& points = name == "top"     ? top
                                    : name == "left"  ? left
                                    : name == "right" ? right
                                                      : bottom;
        svg += "  <polygon points=\"" + points + "\" fill=\"url(#" + name + ")\"/>\n";
    }
    svg += "  <path d=\"M0,0 L" + B + "," + B + " M" + W + ",0 L" + inner + "," + B + " M0," + H + " L" + B +
           "," + innerY + " M" + W + "," + H + " L" + inner + "," + innerY +
           "\" stroke=\"#1a0d05\" stroke-opacity=\"0.6\" stroke-width=\"1.2\"/>\n";
    svg += "  <rect x=\"0.5\" y=\"0.5\" width=\"" + std::to_string(Width - 1) + "\" height=\"" +
           std::to_string(Height - 1) + "\" fill=\"none\" stroke=\"#000\" stroke-opacity=\"0.6\"/>\n";
    svg += "</svg>\n";
    return svg;
}

} // namespace

int main(int argc, char** argv)
{
    return GeneratedDrawing::writeOrCheck(argc, argv, "wood-frame", draw());
}
