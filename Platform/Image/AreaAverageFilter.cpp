#include "Platform/Image/AreaAverageFilter.h"

#include "Platform/Foundation/Log.h"
#include "Platform/Image/BuiltinFilterSupport.h"
#include "Platform/Image/Sampler.h"

#include <cmath>

#include "Engine/Engine.h"

namespace pf {

using namespace builtin;

namespace {

const QString InputExtentKey = QStringLiteral("inputExtent");

// Each pass sums blocks of Block x Block pixels; the first also weighs each pixel by the part of it
// inside the rectangle. Sums (not means) travel down the passes, so every level stays exact to float
// rounding, and the last pass divides by the area once.
constexpr int Block = 8;

const QString ReduceText = QString::fromUtf8(kernelTexts::Engine::AreaAverage);

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
    // Never destroyed: renders and filters on other threads may still use them while the program exits.
    static const Kernel& covered = *new Kernel(kernelNamed(ReduceText, QStringLiteral("coveredBlockSum")));
    static const Kernel& block = *new Kernel(kernelNamed(ReduceText, QStringLiteral("blockSum")));
    static const Kernel& divide = *new Kernel(kernelNamed(ReduceText, QStringLiteral("divide")));

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
