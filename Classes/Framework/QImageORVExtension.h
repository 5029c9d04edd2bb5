#pragma once

#include "Platform/Image/Bitmap.h"
#include "Platform/Image/Image.h"

#include <QImage>

// The same conversions as GMImageExtension, under the names one part of the program uses.
namespace ORVExtension {

pf::Bitmap cgImage(const QImage& image);
pf::Image ciImage(const QImage& image);

} // namespace ORVExtension
