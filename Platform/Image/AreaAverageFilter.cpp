#include "Platform/Image/AreaAverageFilter.h"

#include "Platform/Foundation/Log.h"
#include "Platform/Image/BuiltinFilterSupport.h"
#include "Platform/Image/Sampler.h"

#include <cmath>

namespace pf {

using namespace builtin;

namespace {

const QString InputExtentKey = QStringLiteral("inputExtent");

// Each pass sums blocks of Block x Block pixels; the first also weighs each pixel by the part of it
// inside the rectangle. Sums (not means) travel down the passes, so every level stays exact to float
// rounding, and the last pass divides by the area once.
constexpr int Block = 8;

const QString ReduceText = QStringLiteral(R"(
// Pixel (i, j) of the output sums the input block whose lower-left pixel is origin + Block (i, j).
kernel vec4 blockSum(sampler image, vec4 grid)
{
    // grid: (input x origin, input y origin, block size, 0)
    vec2 corner = grid.xy + floor(destCoord()) * grid.z;
    vec4 sum = vec4(0.0);
    int size = int(grid.z);
    for (int j = 0; j < size; ++j)
        for (int i = 0; i < size; ++i)
            sum += sample(image, corner + vec2(float(i) + 0.5, float(j) + 0.5));
    return sum;
}

// The same over the input itself, each pixel weighed by its overlap with `rect` (x0, y0, x1, y1).
kernel vec4 coveredBlockSum(sampler image, vec4 grid, vec4 rect)
{
    vec2 corner = grid.xy + floor(destCoord()) * grid.z;
    vec4 sum = vec4(0.0);
    int size = int(grid.z);
    for (int j = 0; j < size; ++j) {
        float y = corner.y + float(j);
        float cy = clamp(min(y + 1.0, rect.w) - max(y, rect.y), 0.0, 1.0);
        for (int i = 0; i < size; ++i) {
            float x = corner.x + float(i);
            float cx = clamp(min(x + 1.0, rect.z) - max(x, rect.x), 0.0, 1.0);
            sum += (cx * cy) * sample(image, vec2(x + 0.5, y + 0.5));
        }
    }
    return sum;
}

kernel vec4 divide(sampler sums, vec4 grid)
{
    // grid: (x, y of the sums' single pixel, 1 / area, 0)
    return sample(sums, grid.xy + 0.5) * grid.z;
}
)");

} // namespace

AreaAverageFilter::AreaAverageFilter() : Filter(QStringLiteral("CIAreaAverage"))
{
    declareInput(InputImageKey, imageAttributes());
    declareInput(InputExtentKey, vectorAttributes(Vector(0, 0, 640, 80), FilterAttribute::TypeRectangle));
}

Image AreaAverageFilter::outputImage() const
{
    const Image input = imageValue(InputImageKey);
    if (input.isNull())
        return Image();
    const Vector v = vectorValue(InputExtentKey);
    Rect region = v.count() >= 4 ? v.rect().standardized() : Rect::null();
    if (region.isInfinite())
        region = input.extent();
    const double area = region.isNull() || region.isInfinite() ? 0.0 : region.width() * region.height();
    if (!(area > 0.0) || !std::isfinite(area)) {
        pf::warning(QStringLiteral("An area average needs a finite, non-empty rectangle"));
        return Image();
    }
    static const Kernel covered = kernelNamed(ReduceText, QStringLiteral("coveredBlockSum"));
    static const Kernel block = kernelNamed(ReduceText, QStringLiteral("blockSum"));
    static const Kernel divide = kernelNamed(ReduceText, QStringLiteral("divide"));

    // Level 0 is the input over the whole pixels the rectangle touches; each level's pixel (i, j) holds
    // the sum of a block of the level below, levels living at the origin.
    const Rect pixels = region.integral();
    const double x0 = pixels.minX(), y0 = pixels.minY();
    int w = static_cast<int>(pixels.width()), h = static_cast<int>(pixels.height());
    auto levelSize = [](int n) { return (n + Block - 1) / Block; };

    int cw = levelSize(w), ch = levelSize(h);
    ApplyOptions first;
    first.definition = Rect(0, 0, cw, ch);
    first.regionOfInterest = [x0, y0](int, const Rect& d) {
        return Rect(x0 + std::floor(d.minX()) * Block, y0 + std::floor(d.minY()) * Block,
                    (std::ceil(d.maxX()) - std::floor(d.minX())) * Block,
                    (std::ceil(d.maxY()) - std::floor(d.minY())) * Block);
    };
    const Sampler source(onPixelGrid(input), Sampler::FilterMode::Nearest);
    Image sums = covered.apply(
        {QVariant::fromValue(source), QVariant::fromValue(Vector(x0, y0, Block, 0)),
         QVariant::fromValue(Vector(region.minX(), region.minY(), region.maxX(), region.maxY()))},
        first);
    while (cw > 1 || ch > 1) {
        cw = levelSize(cw);
        ch = levelSize(ch);
        ApplyOptions level;
        level.definition = Rect(0, 0, cw, ch);
        level.regionOfInterest = [](int, const Rect& d) {
            return Rect(std::floor(d.minX()) * Block, std::floor(d.minY()) * Block,
                        (std::ceil(d.maxX()) - std::floor(d.minX())) * Block,
                        (std::ceil(d.maxY()) - std::floor(d.minY())) * Block);
        };
        sums = block.apply({QVariant::fromValue(Sampler(sums, Sampler::FilterMode::Nearest)),
                            QVariant::fromValue(Vector(0, 0, Block, 0))},
                           level);
    }
    // The result sits on the pixel at the rectangle's origin.
    const Rect out(std::floor(region.minX()), std::floor(region.minY()), 1, 1);
    ApplyOptions last;
    last.definition = out;
    last.regionOfInterest = [](int, const Rect&) { return Rect(0, 0, 1, 1); };
    return divide.apply({QVariant::fromValue(Sampler(sums, Sampler::FilterMode::Nearest)),
                         QVariant::fromValue(Vector(0, 0, 1.0 / area, 0))},
                        last);
}

} // namespace pf
