#include "Platform/Image/MotionBlurFilter.h"

#include "Platform/Image/BuiltinFilterSupport.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "Engine/Engine.h"

namespace pf {

using namespace builtin;

namespace {

// The mean of `count` samples `step` pixels apart along `direction`, centred on the pixel.
const QString LineText = QString::fromUtf8(kernelTexts::Engine::MotionBlur);

// Up to this many samples the line is read pixel by pixel in one pass.
constexpr int MaxSamples = 49;

Image line(const Image& input, double dx, double dy, int count, double step,
           const std::optional<Rect>& extent)
{
    // Never destroyed: renders and filters on other threads may still use it while the program exits.
    static const Kernel& kernel = *new Kernel(kernelNamed(LineText, QStringLiteral("lineAverage")));
    const double half = 0.5 * (count - 1) * step;
    const double rx = std::ceil(std::abs(dx) * half), ry = std::ceil(std::abs(dy) * half);
    ApplyOptions options;
    options.definition = grown(input.definition().extent(), rx, ry);
    if (extent)
        options.extent = *extent;
    options.regionOfInterest = [rx, ry](int, const Rect& destination) {
        return grown(destination, rx + 1, ry + 1);
    };
    return kernel.apply(
        {QVariant::fromValue(input), QVariant::fromValue(Vector(dx, dy)), double(count), step}, options);
}

// The mean of `samples` pixels along the line. A long line is read MaxSamples times, each read an
// average (made the same way) as wide as the gap between reads, so that no sharp detail shows up as
// separate ghosts; the line grows by that width, a few percent.
// `extentFor` gives the output extent for the line's reach (none for the inner averages).
using ExtentFor = std::function<std::optional<Rect>(double reach)>;

Image averageAlong(const Image& input, double dx, double dy, int samples, const ExtentFor& extentFor)
{
    if (samples <= MaxSamples)
        return line(input, dx, dy, samples, 1.0, extentFor(0.5 * (samples - 1)));
    const double step = double(samples - 1) / (MaxSamples - 1);
    const int gap = std::max(1, static_cast<int>(std::round(step)));
    const Image smoothed = averageAlong(input, dx, dy, gap, [](double) { return std::optional<Rect>(); });
    return line(smoothed, dx, dy, MaxSamples, step, extentFor(0.5 * (samples - 1) + 0.5 * (gap - 1)));
}

} // namespace

MotionBlurFilter::MotionBlurFilter() : Filter(QStringLiteral("CIMotionBlur"))
{
    declareInput(InputImageKey, imageAttributes());
    declareInput(InputRadiusKey, numberAttributes(20.0, 0.0, 100.0, FilterAttribute::TypeDistance));
    declareInput(InputAngleKey, numberAttributes(0.0, -M_PI, M_PI, FilterAttribute::TypeAngle));
}

Image MotionBlurFilter::outputImage() const
{
    const Image input = imageValue(InputImageKey);
    if (input.isNull())
        return Image();
    const double radius = numberValue(InputRadiusKey, 20.0);
    const double angle = numberValue(InputAngleKey, 0.0);
    if (!(radius >= 0.5) || !std::isfinite(radius) || !std::isfinite(angle))
        return input;
    // Directions within a hair of an axis are that axis: the extent then grows along it alone.
    auto snapped = [](double v) { return std::abs(v) < 1e-9 ? 0.0 : v; };
    const double dx = snapped(std::cos(angle)), dy = snapped(std::sin(angle));
    auto extentFor = [&](double reach) -> std::optional<Rect> {
        return grown(input.extent(), std::ceil(std::abs(dx) * reach - 1e-9),
                     std::ceil(std::abs(dy) * reach - 1e-9));
    };
    const int samples = 2 * static_cast<int>(std::round(radius)) + 1;
    return averageAlong(input, dx, dy, samples, extentFor);
}

} // namespace pf
