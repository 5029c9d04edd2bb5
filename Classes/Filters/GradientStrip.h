#pragma once

#include "Platform/Image/Gradient.h"
#include "Platform/Image/Image.h"

#include <QVariant>
#include <optional>

// The gradient input of the gradient filters: a gradient value or gradient text, turned into the strip
// of 1024 x 1 pixels the kernels read (location 0 at the left pixel, 1 at the right).
namespace GradientStrip {

inline constexpr int Width = 1024;

// The gradient a value holds: a gradient, or text in the stored gradient form. Nothing for none, for
// anything else and for text that makes no gradient.
std::optional<pf::Gradient> gradientFrom(const QVariant& value);
pf::Image strip(const pf::Gradient& gradient);

// Setting the input to `value`: what the input then holds (the gradient, or none) and, for a gradient,
// its new strip. None, and text that makes no gradient, leave the last strip in use.
struct Input
{
    QVariant stored;
    std::optional<pf::Image> strip;
};
Input input(const QVariant& value);

} // namespace GradientStrip
