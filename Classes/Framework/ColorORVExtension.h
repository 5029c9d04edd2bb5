#pragma once

#include "Platform/Image/Color.h"

// Conversions of colours to and from hue-saturation-value and hue-saturation-lightness triples. Hue is
// a fraction of the full circle (0 <= hue < 1); saturation, value and lightness are fractions 0..1;
// red, green and blue are the colour's components as stored (alpha is ignored).
namespace ORVExtension {

struct HSV
{
    double hue = 0, saturation = 0, value = 0;
};

struct HSL
{
    double hue = 0, saturation = 0, lightness = 0;
};

// A grey (red = green = blue) has hue 0.
HSV hsv(const pf::Color& color);
HSL hsl(const pf::Color& color);

// Opaque colours. Any hue is taken modulo 1 first (1.0 and -0.25 are the hues 0 and 0.75); a
// saturation of 0 ignores the hue.
pf::Color colorForHSV(const HSV& triple);
pf::Color colorForHSL(const HSL& triple);

} // namespace ORVExtension
