#pragma once

#include "Platform/Image/PaintColor.h"

#include <QString>

// Colour text of styles and shadow descriptions, read through OVColor once it is built.
namespace OVStyleColor {

pf::PaintColor fromText(const QString& text);

} // namespace OVStyleColor
