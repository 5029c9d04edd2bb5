#pragma once

#include "Platform/Image/Gradient.h"

#include <QString>
#include <optional>

// Gradients as one line of text, the form settings files, property lists and interface attributes store
// them in: five numbers per stop, location first, then red, green, blue and alpha, all joined by single
// blanks. Numbers are written with "%f" in the C locale and read the same way, whatever the user's
// locale.
namespace GradientORVExtension {

// "0.000000 0.000000 0.000000 0.000000 1.000000 1.000000 1.000000 1.000000 1.000000 1.000000" for black
// to white; the empty text for a gradient without stops.
QString stringRepresentation(const pf::Gradient& gradient);

// Reads the full form, and two short forms: fewer than five items are one colour in colour text (a
// uniform gradient), exactly eight items two colours of four items each (start and end). Items are
// what lies between single blanks, so two blanks in a row hold an empty item. Another count that is
// not a multiple of five is warned about and only its complete groups are read. Locations are taken as
// they stand (neither sorted nor clamped); an item that is no number reads as 0. Nothing when fewer
// than two stops result, since a gradient needs two colours.
std::optional<pf::Gradient> gradientWithString(const QString& text);

} // namespace GradientORVExtension
