#include "Platform/Image/LanczosScaleTransformFilter.h"

#include "Platform/Image/BuiltinFilterSupport.h"
#include "Platform/Image/Sampler.h"

#include <algorithm>
#include <cmath>

namespace pf {

using namespace builtin;

namespace {

const QString InputAspectRatioKey = QStringLiteral("inputAspectRatio");

// One pass along `axis`: output position u reads input x = u / scale. The three-lobe kernel is
// L(t) = sinc(t) sinc(t / 3), t = (x_j - x) * stretch, stretch = min(scale, 1). Taps are one input pixel
// apart, so both sines advance by a fixed rotation per tap instead of being evaluated anew.
const QString LanczosText = QStringLiteral(R"(
const float PI = 3.14159265358979;

kernel vec4 lanczosAlong(sampler image, vec2 axis, vec4 scaling)
{
    // scaling: (scale, stretch, reach in input pixels, unused)
    vec2 p = destCoord();
    float along = dot(p, axis);
    vec2 across = p - axis * along;
    float x = along / scaling.x;
    float first = floor(x - scaling.z + 0.5) + 0.5;
    int taps = int(2.0 * scaling.z) + 2;
    float t = (first - x) * scaling.y;
    float step = scaling.y;
    // sin(PI t), sin(PI t / 3) and their rotations by one step.
    vec2 a = vec2(sin(PI * t), cos(PI * t));
    vec2 b = vec2(sin(PI * t / 3.0), cos(PI * t / 3.0));
    vec2 ra = vec2(sin(PI * step), cos(PI * step));
    vec2 rb = vec2(sin(PI * step / 3.0), cos(PI * step / 3.0));
    vec4 sum = vec4(0.0);
    float total = 0.0;
    for (int i = 0; i < taps; ++i) {
        float w;
        if (abs(t) < 1e-4) {
            w = 1.0;
        } else if (abs(t) >= 3.0) {
            w = 0.0;
        } else {
            w = 3.0 * a.x * b.x / (PI * PI * t * t);
        }
        sum += w * sample(image, across + axis * (first + float(i)));
        total += w;
        a = vec2(a.x * ra.y + a.y * ra.x, a.y * ra.y - a.x * ra.x);
        b = vec2(b.x * rb.y + b.y * rb.x, b.y * rb.y - b.x * rb.x);
        t += step;
    }
    return sum / total;
}
)");

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
    if (sx <= sy)
        return lanczosAlong(lanczosAlong(grid, Axis::X, sx, std::nullopt), Axis::Y, sy, extent);
    return lanczosAlong(lanczosAlong(grid, Axis::Y, sy, std::nullopt), Axis::X, sx, extent);
}

} // namespace pf
