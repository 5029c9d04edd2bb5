#pragma once

#include "Platform/Foundation/Size.h"
#include "Platform/Image/Bitmap.h"
#include "Platform/Image/Image.h"

#include <QImage>

// Helpers on Qt images, the application's pictures for display and file I/O. Sizes are in pixels (a
// device pixel ratio is not taken into account). Safe on any thread.
namespace GMImageExtension {

// The image's pixels as a bitmap (8-bit premultiplied RGBA for 8-bit images, float for deeper ones).
pf::Bitmap cgImage(const QImage& image);
// The image as an image recipe (extent at the origin).
pf::Image getCIImage(const QImage& image);
// The target itself when the image has that size; otherwise the image's size times
// min(target width / width, target height / height) (in single precision). (0, 0) for an image without
// area.
pf::Size proportionalSizeForTargetSize(const QImage& image, const pf::Size& target);
// A centred fill: the largest centred part of the image with the target's aspect ratio, drawn over a
// transparent image of the target size (rounded to whole pixels). The image itself at its own size; a
// null image for a null image or a target without area.
QImage imageByScalingProportionallyToSize(const QImage& image, const pf::Size& target);
// The image with 8-bit RGBA pixels (`QImage::Format_RGBA8888_Premultiplied`); pixels of an image
// without alpha get alpha 255.
QImage properBitmapImageRep(const QImage& image);

} // namespace GMImageExtension
