#pragma once

#include "Platform/Foundation/Size.h"
#include "Platform/Image/Bitmap.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/Image.h"

#include <QString>

// Image recipes cut short by rendering them, and constant and transparent images. Bitmaps are as in
// ImageORVExtension.h (8-bit premultiplied RGBA of the extent). Everything here may run on any thread.
namespace GMCIImageExtensions {

// The image rendered into pixels that start at the origin (unlike ORVExtension::fixedImage, which keeps
// the extent's origin); null when it cannot be rendered.
pf::Image shortenRecipe(const pf::Image& image);
// Renders the image, writes it as PNG to "image.png" in the folder `name` of the working area's "cache"
// folder and returns the image read back from that file. `name` must be a single file name. When the
// file cannot be written the rendered pixels are returned from memory (with a warning); null when the
// image cannot be rendered.
pf::Image forceCalculation(const pf::Image& image, const QString& name);
// forceCalculation into a folder with a new random name.
pf::Image forceCalculation(const pf::Image& image);
pf::Bitmap newCGImageNew(const pf::Image& image);

// The colour over (0, 0, width, height).
pf::Image imageWithConstantColor(const pf::Color& color, const pf::Size& size);
// A fully transparent image of (0, 0, width, height), from "GMAlphaBackgroundFilter".
pf::Image imageWithTransparentColorOfSize(const pf::Size& size);
// The image scaled about the origin so that its extent has the size (through "CIAffineTransform"); null,
// with a warning, for an image whose extent is empty or infinite.
pf::Image CIImageWithSize(const pf::Image& image, const pf::Size& size);

} // namespace GMCIImageExtensions
