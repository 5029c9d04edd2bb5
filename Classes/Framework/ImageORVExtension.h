#pragma once

#include "Platform/Image/Bitmap.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/Image.h"

#include <QImage>
#include <optional>

// Turning image recipes into pixels, and averaging their colour. Bitmap results are 8-bit premultiplied
// RGBA (`pf::Bitmap::Format::RGBA8`) of the image's extent, its width and height truncated to whole
// pixels; a null bitmap when the image is null, has no area or is infinite (the last is logged). They
// render with the engine's shared context unless said otherwise. Everything here may run on any thread.
namespace ORVExtension {

pf::Bitmap newCGImage(const pf::Image& image);
// newCGImage as a QImage (RGBA8888, premultiplied).
QImage nsImage(const pf::Image& image);
// Rendered with the helpers' own context (see createContext).
pf::Bitmap newCGImageUnrendered(const pf::Image& image);
// Replaces the helpers' own render context by a new one (renders under way finish on the old one).
void createContext();
// The image moved to start at the origin, rendered.
pf::Bitmap newCGImageViaNSImage(const pf::Image& image);
// A copy backed by pixels at the same extent, with nothing of the recipe behind it; null when the image
// cannot be rendered.
pf::Image fixedImage(const pf::Image& image);
// The average of the extent (premultiplied, through an 8-bit pixel), divided by max(0.001, alpha):
// straight colour with the average alpha. Nothing for an image that cannot be rendered.
std::optional<pf::Color> averageColor(const pf::Image& image);

} // namespace ORVExtension
