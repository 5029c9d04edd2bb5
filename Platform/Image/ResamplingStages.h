#pragma once

#include "Platform/Foundation/Rect.h"
#include "Platform/Image/Image.h"

#include <optional>

namespace pf {

// The passes the blurs are built from. Every pass reads its input texel by texel at pixel centres, so
// inputs must be on the pixel grid (builtin::onPixelGrid). Reduced images live in a space scaled by 1/k
// along the reduced axis, their pixel lattice anchored at 0, so that every tile of a render computes the
// same reduced pixels.
class ResamplingStages
{
public:
    enum class Axis
    {
        X,
        Y
    };

    // A Gaussian blur of standard deviation `sigma` pixels. Above a few pixels the image is reduced with a
    // Gaussian prefilter, blurred small (recursively) and enlarged with a cubic B-spline; the variances
    // of prefilter, small blur and B-spline add up to sigma squared, and what differs from a true
    // Gaussian (the shape of the B-spline, aliasing) stays far below 1/255. `extent` is the output's
    // extent (absent: its whole domain).
    static Image gaussian(const Image& input, double sigma, const std::optional<Rect>& extent = std::nullopt);

    // A Gaussian of `sigma` pixels along one axis, evaluated at every k-th pixel (k = 1: a plain pass).
    // Taps reach `reach` sigmas. `variance`, when given, receives the exact variance of the taps used.
    static Image gaussianAlong(const Image& input, Axis axis, int k, double sigma, double reach,
                               const std::optional<Rect>& extent = std::nullopt, double* variance = nullptr);

    // Enlarges k times along one axis with a cubic B-spline (variance k * k / 3 along that axis).
    static Image enlargeAlong(const Image& input, Axis axis, int k,
                              const std::optional<Rect>& extent = std::nullopt);

    // Reduces k times in both axes with a Gaussian prefilter of `prefilter` k pixels: at 0.6 nothing
    // aliases visibly. `variance` receives the prefilter's variance per axis, in input pixels.
    static Image reduce(const Image& input, int k, double* variance = nullptr, double prefilter = 0.6);
    // Enlarges k times in both axes (the inverse of reduce in size), with the B-spline above.
    static Image enlarge(const Image& input, int k, const std::optional<Rect>& extent = std::nullopt);
};

} // namespace pf
