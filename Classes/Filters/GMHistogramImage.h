#pragma once

#include "Platform/Foundation/Rect.h"
#include "Platform/Image/Bitmap.h"
#include "Platform/Image/Image.h"

namespace pf {
class RenderContext;
}

// The histogram of an image's colours, in the image form the histogram filters read.
//
// Layout: Width x Height pixels from the histogram image's lower-left corner, y upward.
// - Rows 0 .. ColorLevels - 1: one pixel per colour bin. Each channel of the straight colour is cut
//   into ColorLevels equal levels (clamped to 0..1); bin (r, g, b) sits at x = r + ColorLevels * b,
//   y = g. The pixel is (sum of the pixels' premultiplied colours, sum of their alphas) / the total
//   alpha of the image: the bin's mean colour premultiplied by its share of the pixels, so that
//   unpremultiplying gives the mean colour and the alphas of all bins add up to 1. Pixels count by
//   their alpha; transparent ones not at all.
// - Row BrightnessRow: BrightnessBins bins of the brightness max(R, G, B) of the straight colour
//   (bin i holds brightness from i / BrightnessBins up to the next bin). The pixel is (the bin's share
//   of the pixels, the cumulative share of bins 0 .. i, 0, 1).
// An image without any opaque pixel gives zeros everywhere but the alpha of the brightness row.
class GMHistogramImage
{
public:
    static constexpr int ColorLevels = 16;
    static constexpr int BrightnessBins = 256;
    static constexpr int Width = ColorLevels * ColorLevels;
    static constexpr int BrightnessRow = ColorLevels;
    static constexpr int Height = BrightnessRow + 1;

    // Renders the image's extent with the context, a strip of rows at a time so that memory stays
    // bounded for photos of any size, and counts its pixels. The histogram image lies at the origin.
    // No image for a null image, one without a finite extent, or when rendering fails.
    static pf::Image histogramOf(const pf::Image& image, pf::RenderContext& context);
    // The histogram of a bitmap's pixels, as a bitmap (RGBAf, rows top-down).
    static pf::Bitmap histogramOf(const pf::Bitmap& pixels);

    // The rectangle of a histogram image that the filters read: Width x Height from its extent's
    // lower-left corner (from the origin when the extent is unbounded); null without an image.
    static pf::Rect layoutRect(const pf::Image& histogram);

private:
    class Counts;
};
