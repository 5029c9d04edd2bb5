#pragma once

#include "Platform/Foundation/Rect.h"
#include "Platform/Image/Image.h"

// Resizing, cropping and placing images by normalised rectangles: r = (rx, ry, rw, rh) gives x, y, width
// and height as fractions 0..1 of an image's extent (y up, origin at the bottom left). Sizes W x H are in
// pixels and are rounded down. A null image gives a null image; an image of infinite extent gives a null
// image and a warning. The results are recipes: nothing is rendered here.

// The part r of the image scaled to floor(W) x floor(H), with the extent (0, 0, floor(W), floor(H)).
// A part without area gives an empty image and a warning; a size below one pixel an empty image.
pf::Image cropAndScaleImage(const pf::Image& image, const pf::Rect& r, double width, double height);
// The same part and size, resampled with the Lanczos filter.
pf::Image lanczosCropAndScaleImage(const pf::Image& image, const pf::Rect& r, double width, double height);
// The whole image scaled to floor(W) x floor(H) with the Lanczos filter, edges clamped and cropped to
// (0, 0, floor(W), floor(H)). At its own size the image itself comes back, with the warning
// "No transform necc.".
pf::Image scaleImageToSizeLanczos(const pf::Image& image, double width, double height);
// As scaleImageToSizeLanczos, scaled with the affine transform.
pf::Image scaleImageToSizeAffine(const pf::Image& image, double width, double height);
// The whole image scaled into the part r of a transparent W x H image.
pf::Image placeImageOnTransparent(const pf::Image& image, const pf::Rect& r, double width, double height);
// The whole image scaled into the part r of the background (r taken of the background's extent).
pf::Image placeImageOnBackground(const pf::Image& image, const pf::Image& background, const pf::Rect& r);

// The image where it is defined inside `definition`, transparent elsewhere, with `extent` as its extent:
// a picture of a whole frame whose pixels exist only in a part of it, so that renders and stores of it
// need only that part. A null image gives a null image.
pf::Image framedImage(const pf::Image& image, const pf::Rect& definition, const pf::Rect& extent);
// A transparent picture with `extent` as its extent and nothing defined in it.
pf::Image transparentFrame(const pf::Rect& extent);

double minDouble(double a, double b);
double maxDouble(double a, double b);
