#pragma once

#include "Platform/Foundation/Rect.h"
#include "Platform/UI/AttributedString.h"

class QPainter;

// Measuring, centring and truncating text. Main thread only (text layout).
namespace AttributedStringORVExtension {

// The size the text uses when laid out (wrapping at words, no hyphenation) in a box of this size:
// lines that do not fit the height are not laid out, and the empty line after a final line break does
// not count. Zero for empty text.
pf::Size sizeForWidth(const pf::AttributedString& text, double width, double height);
// The width of sizeForWidth() with a width without limit.
double widthForHeight(const pf::AttributedString& text, double height);
// The height of the lines the text breaks into at this width (ascent, descent and leading of each),
// rounded up; at least one line, also for empty text.
double heightForWidth(const pf::AttributedString& text, double width);
// Draws the text in the rectangle, its lines centred vertically.
void drawCenteredVerticallyInRect(const pf::AttributedString& text, QPainter& painter, const pf::Rect& rect);

// The text when its width on one line fits `width`; otherwise the longest beginning of it followed by
// one ellipsis ("…", in the attributes of the last character kept) that fits, at most all but its last
// two characters. When not even one character fits, the ellipsis alone (which may still be too wide).
pf::AttributedString truncatedStringWithWidth(const pf::AttributedString& text, int width);

} // namespace AttributedStringORVExtension
