#pragma once

#include "Platform/Image/Color.h"
#include "Platform/Image/PaintColor.h"

#include <QString>
#include <optional>

// The toolkit's colour text, read into and written from the interface's colour type (pf::PaintColor).
//
// Colour text is one to four numbers separated by "/" (or, when there is no "/", by single blanks):
// one number is a grey, two a grey and its alpha, three red, green and blue, four with alpha; from five
// numbers on, the first three are taken, opaque. Splitting is literal, so two blanks in a row hold an
// empty number (0) between them. Each number is read as far as it goes ("0.5px" is 0.5), anything else
// is 0, always with a decimal point whatever the locale. Components are not clamped. When red comes out
// exactly 0 (which every text not starting with a number does), the whole text is first tried as the
// name of an image of the application: if there is one, the colour is a pattern tiling it.
class OVColor
{
public:
    OVColor() = delete;

    // A calibrated RGB colour, or a pattern. Never fails: a text that is neither numbers nor an image
    // name gives opaque black.
    static pf::PaintColor colorFromDescription(const QString& text);
    // The numbers of colour text alone, never looked up as an image.
    static pf::Color componentsFromDescription(const QString& text);
    // Red, green, blue and alpha in the calibrated RGB space as "%f %f %f %f"; all four 0 for a colour
    // without components (a pattern). Reading it back gives the same components, to six decimals.
    static QString descriptionForNSColor(const pf::PaintColor& color);
    // An opaque calibrated RGB colour from hue, saturation and value, each 0 to 1.
    static pf::PaintColor colorFromHsv(double hue, double saturation, double value);
    // The pattern of the grey noise tile "NoiseFull.png", made once; nothing (with a warning, and looked
    // for again next time) when the tile is not among the resources.
    static std::optional<pf::PaintColor> noiseColor();
};
