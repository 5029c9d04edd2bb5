#include "Platform/Image/LanczosScaleTransformFilter.h"

#include "Platform/Image/BuiltinFilterSupport.h"
#include "Platform/Image/CpuRendering.h"
#include "Platform/Image/RenderStatistics.h"
#include "Platform/Image/Sampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "Engine/Engine.h"

namespace pf {

using namespace builtin;

namespace {

const QString InputAspectRatioKey = QStringLiteral("inputAspectRatio");

// One pass along `axis`: output position u reads input x = u / scale. The three-lobe kernel is
// L(t) = sinc(t) sinc(t / 3), t = (x_j - x) * stretch, stretch = min(scale, 1). Taps are one input pixel
// apart, so both sines advance by a fixed rotation per tap instead of being evaluated anew.
const QString LanczosText = QString::fromUtf8(kernelTexts::Engine::Lanczos);

enum class Axis
{
    X,
    Y
};

Image lanczosAlong(const Image& input, Axis axis, double scale, const std::optional<Rect>& extent)
{
    static const Kernel kernel = kernelNamed(LanczosText, QStringLiteral("lanczosAlong"));
    const double stretch = std::min(scale, 1.0);
    const double reach = 3.0 / stretch; // input pixels either side
    const bool x = axis == Axis::X;
    // Grows a rectangle along the axis, then scales that axis.
    auto along = [x](const Rect& r, double grow, double factor) {
        if (r.isNull() || r.isInfinite())
            return r;
        const double lo = ((x ? r.minX() : r.minY()) - grow) * factor;
        const double hi = ((x ? r.maxX() : r.maxY()) + grow) * factor;
        return x ? Rect(lo, r.minY(), hi - lo, r.height()) : Rect(r.minX(), lo, r.width(), hi - lo);
    };
    ApplyOptions options;
    options.definition = along(input.definition().extent(), reach, scale).integral();
    if (extent)
        options.extent = *extent;
    options.regionOfInterest = [along, scale, reach](int, const Rect& destination) {
        return along(along(destination, 0, 1.0 / scale), reach + 1, 1.0);
    };
    const Sampler sampler(input, Sampler::FilterMode::Nearest);
    const Vector axisVector = x ? Vector(1, 0) : Vector(0, 1);
    return kernel.apply({QVariant::fromValue(sampler), QVariant::fromValue(axisVector),
                         QVariant::fromValue(Vector(scale, stretch, reach, 0))},
                        options);
}

// The same two passes on the CPU. The taps of each output position along an axis, as the kernel
// finds them: input pixel `first + i` with weight L((first + i + 0.5 - x) * stretch), x = (u + 0.5) /
// scale, normalised by their sum (taps outside the input read transparent and still count).
struct Taps
{
    int first = 0;
    std::vector<float> weights;
};

std::vector<Taps> tapsAlong(int origin, int count, double scale)
{
    const float PI = 3.14159265358979f;
    const float stretch = float(std::min(scale, 1.0));
    const float reach = 3.0f / stretch;
    const int taps = int(2.0f * reach) + 2;
    std::vector<Taps> out(size_t(std::max(0, count)));
    for (int k = 0; k < count; ++k) {
        const float x = (float(origin + k) + 0.5f) / float(scale);
        const float first = std::floor(x - reach + 0.5f) + 0.5f;
        Taps& t = out[size_t(k)];
        t.first = int(std::floor(first));
        float total = 0;
        for (int i = 0; i < taps; ++i) {
            const float d = (first + float(i) - x) * stretch;
            const float w = std::abs(d) < 1e-4f ? 1.0f
                            : std::abs(d) >= 3.0f
                                ? 0.0f
                                : 3.0f * std::sin(PI * d) * std::sin(PI * d / 3.0f) / (PI * PI * d * d);
            t.weights.push_back(w);
            total += w;
        }
        for (float& w : t.weights)
            w /= total;
    }
    return out;
}

// Pixels over a rectangle of whole pixels, rows upward, RGBA floats; transparent outside.
struct Plane
{
    int x0 = 0, y0 = 0, width = 0, height = 0;
    std::vector<float> values;
    const float* row(int y) const
    {
        return y < y0 || y >= y0 + height ? nullptr : &values[size_t(y - y0) * size_t(width) * 4];
    }
};

// One pass along an axis over the output rectangle (x0, y0, width, height) of `input`. Taps outside the
// input read transparent: they are left out of the sums, their weights still in the norm.
Plane pass(const Plane& input, bool alongX, double scale, int x0, int y0, int width, int height)
{
    Plane out;
    out.x0 = x0, out.y0 = y0, out.width = width, out.height = height;
    out.values.assign(size_t(width) * size_t(height) * 4, 0.0f);
    const std::vector<Taps> taps = tapsAlong(alongX ? x0 : y0, alongX ? width : height, scale);
    if (alongX) {
        CpuRendering::inBands(height, [&](int begin, int end) {
            for (int r = begin; r < end; ++r) {
                const float* in = input.row(y0 + r);
                if (!in)
                    continue;
                float* o = &out.values[size_t(r) * size_t(width) * 4];
                for (int col = 0; col < width; ++col, o += 4) {
                    const Taps& t = taps[size_t(col)];
                    const int from = std::max(0, input.x0 - t.first);
                    const int to = std::min(int(t.weights.size()), input.x0 + input.width - t.first);
                    float s0 = 0, s1 = 0, s2 = 0, s3 = 0;
                    for (int i = from; i < to; ++i) {
                        const float* p = in + size_t(t.first + i - input.x0) * 4;
                        const float w = t.weights[size_t(i)];
                        s0 += w * p[0];
                        s1 += w * p[1];
                        s2 += w * p[2];
                        s3 += w * p[3];
                    }
                    o[0] = s0, o[1] = s1, o[2] = s2, o[3] = s3;
                }
            }
        });
        return out;
    }
    // Down the columns: each output row a weighted sum of whole input rows.
    const int c0 = std::max(x0, input.x0), c1 = std::min(x0 + width, input.x0 + input.width);
    if (c1 <= c0)
        return out;
    CpuRendering::inBands(height, [&](int begin, int end) {
        for (int r = begin; r < end; ++r) {
            const Taps& t = taps[size_t(r)];
            float* o = &out.values[(size_t(r) * size_t(width) + size_t(c0 - x0)) * 4];
            const size_t n = size_t(c1 - c0) * 4;
            for (size_t i = 0; i < t.weights.size(); ++i) {
                const float* in = input.row(t.first + int(i));
                if (!in)
                    continue;
                in += size_t(c0 - input.x0) * 4;
                const float w = t.weights[i];
                for (size_t k = 0; k < n; ++k)
                    o[k] += w * in[k];
            }
        }
    });
    return out;
}

// The output pixels `region` (absolute, whole pixels) of the scaling of `input`, rendered once for the
// part needed.
bool lanczosOnCpu(const Image& input, const Rect& inputExtent, double sx, double sy, const Rect& region,
                  Bitmap& out)
{
    const double reachX = 3.0 / std::min(sx, 1.0) + 2, reachY = 3.0 / std::min(sy, 1.0) + 2;
    const Rect needed = Rect(region.minX() / sx - reachX, region.minY() / sy - reachY,
                             region.width() / sx + 2 * reachX, region.height() / sy + 2 * reachY)
                            .integral()
                            .intersected(inputExtent);
    Plane source;
    if (!needed.isNull() && !needed.isEmpty()) {
        const auto pixels = CpuRendering::renderInput(input, needed, Bitmap::Format::RGBAf);
        if (!pixels)
            return false;
        source.x0 = int(needed.minX()), source.y0 = int(needed.minY());
        source.width = pixels->width(), source.height = pixels->height();
        source.values.resize(size_t(source.width) * size_t(source.height) * 4);
        for (int j = 0; j < source.height; ++j)
            std::memcpy(&source.values[size_t(j) * size_t(source.width) * 4],
                        pixels->row(source.height - 1 - j), size_t(source.width) * 16);
    }
    const int rx = int(region.minX()), ry = int(region.minY()), rw = int(region.width()),
              rh = int(region.height());
    Plane result;
    if (sx <= sy) {
        // Across first, over the rows the second pass reads.
        const int v0 = int(std::floor(ry / sy - reachY)), v1 = int(std::ceil((ry + rh) / sy + reachY));
        const Plane across = pass(source, true, sx, rx, v0, rw, v1 - v0);
        result = pass(across, false, sy, rx, ry, rw, rh);
    } else {
        const int u0 = int(std::floor(rx / sx - reachX)), u1 = int(std::ceil((rx + rw) / sx + reachX));
        const Plane down = pass(source, false, sy, u0, ry, u1 - u0, rh);
        result = pass(down, true, sx, rx, ry, rw, rh);
    }
    Bitmap floats(rw, rh, Bitmap::Format::RGBAf, Bitmap::Fill::Uninitialized);
    if (floats.isNull())
        return false;
    for (int j = 0; j < rh; ++j)
        std::memcpy(floats.mutableRow(rh - 1 - j), &result.values[size_t(j) * size_t(rw) * 4],
                    size_t(rw) * 16);
    if (out.format() == Bitmap::Format::RGBAf) {
        std::memcpy(out.mutableData(), floats.data(), out.byteCount());
        return true;
    }
    const Bitmap converted = floats.converted(out.format());
    if (converted.isNull())
        return false;
    std::memcpy(out.mutableData(), converted.data(), out.byteCount());
    return true;
}

} // namespace

LanczosScaleTransformFilter::LanczosScaleTransformFilter() : Filter(QStringLiteral("CILanczosScaleTransform"))
{
    declareInput(InputImageKey, imageAttributes());
    declareInput(InputScaleKey, numberAttributes(1.0, 0.0, 1.5, FilterAttribute::TypeScalar));
    declareInput(InputAspectRatioKey, numberAttributes(1.0, 0.0, 2.0, FilterAttribute::TypeScalar));
}

Image LanczosScaleTransformFilter::outputImage() const
{
    const Image input = imageValue(InputImageKey);
    if (input.isNull())
        return Image();
    const double sy = numberValue(InputScaleKey, 1.0);
    const double sx = sy * numberValue(InputAspectRatioKey, 1.0);
    if (!(sx > 0.0 && sy > 0.0) || !std::isfinite(sx) || !std::isfinite(sy))
        return Image::emptyImage();
    if (sx == 1.0 && sy == 1.0)
        return input;
    const Rect extent = AffineTransform::scale(sx, sy).map(input.extent()).integral();
    // The axis that shrinks most goes first: the second pass then has the fewest pixels to read.
    const Image grid = onPixelGrid(input);
    const Image scaled =
        sx <= sy ? lanczosAlong(lanczosAlong(grid, Axis::X, sx, std::nullopt), Axis::Y, sy, extent)
                 : lanczosAlong(lanczosAlong(grid, Axis::Y, sy, std::nullopt), Axis::X, sx, extent);
    // An input that is not a bitmap on the CPU: rendered once for the part asked for, then both passes
    // on all cores. A bitmap keeps the passes, which read it where it is (measured faster here).
    const Rect inputExtent = grid.extent();
    if (!RenderStatistics::cpuFiltersEnabled() || CpuRendering::placedBitmap(grid) || inputExtent.isNull() ||
        inputExtent.isInfinite() || inputExtent != inputExtent.integral() || extent.isEmpty() ||
        extent.width() * extent.height() >= 4e8)
        return scaled;
    return CpuRendering::attach(
        scaled, std::make_shared<const CpuRendering>(
                    extent, Bitmap::Format::RGBAf,
                    [grid, inputExtent, sx, sy, extent](const Rect& region, Bitmap& out) {
                        return lanczosOnCpu(grid, inputExtent, sx, sy,
                                            region.offsetBy(extent.minX(), extent.minY()), out);
                    }));
}

} // namespace pf
