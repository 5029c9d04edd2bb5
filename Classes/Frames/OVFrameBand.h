#pragma once

#include "Platform/Foundation/Rect.h"
#include "Platform/Foundation/Size.h"
#include "Platform/Image/Bitmap.h"
#include "Platform/Image/Image.h"
#include "Platform/Image/Kernel.h"
#include "Platform/Image/KernelMath.h"
#include "Platform/Image/Vector.h"

#include <QString>
#include <QVariantMap>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

// Where a frame's border lies: its mask's rectangle less an opening, a rectangle in which the mask is
// certainly zero. A frame's mask, texture, shades and inner shadow are worked out over the band only
// and kept as pixels: around a large picture the opening is most of the rectangle, and a render of
// the kept pixels costs a read instead of the whole recipe.
class OVFrameBand
{
public:
    // The opening of the mask that the kernel "drawFrame" lays around `rect` from the part image
    // `part` (corner squares of `corner` part pixels, `scale` destination pixels per part pixel, each
    // side's middle laid `repeats` times): the part's zero pixels around its middle, mapped as the kernel
    // maps them, less a pixel on every side. Empty when the part's middle is not zero or the part cannot
    // be read.
    static pf::Rect partOpening(const pf::Image& part, const pf::Size& corner, double scale,
                                const pf::Vector& repeats, const pf::Rect& rect);
    // `laid`, the output of the kernel "drawFrame" laying `part` around `rect` (corner squares of
    // `corner` part pixels, `scale` destination pixels per part pixel, each side's middle laid `repeats`
    // times), with its pixels worked out on the processor as the kernel works them out: each column's
    // place in the part once for the column and each row's once for the row, where the kernel reads
    // the part through the general sampler at every pixel. `laid` itself when the part cannot be
    // read into memory.
    // Only the pixels `within` (whole pixels; all of `rect` when null) are worked out, all at once when a
    // render first needs them, and kept while the image lives: a band is rendered a strip at a time
    // with an image made for the strip.
    static pf::Image laidOnCpu(const pf::Image& laid, const pf::Image& part, const pf::Size& corner,
                               double scale, const pf::Vector& repeats, const pf::Rect& rect,
                               const pf::Rect& within = pf::Rect::null());

    // Where "drawFrame" reads a part along one axis for a destination `d` from the rectangle's edge (a
    // side `length` long, the part `size` long with corners of `corner`, laid at `scale` with its
    // middle `repeats` times): the kernel's own arithmetic, in single precision as it computes.
    static float partCoord(float d, float length, float size, float corner, float scale, float repeats)
    {
        namespace kl = pf::kl;
        const float c = kl::min(corner * scale, 0.5f * length);
        if (d < c)
            return d / scale;
        if (d > length - c)
            return size - (length - d) / scale;
        const float middle = kl::max(length - 2.0f * c, 0.0001f);
        const float t = (d - c) / middle * repeats;
        const float m = kl::max(size - 2.0f * corner, 0.0f);
        const float copy = floor(t);
        float u = corner + (t - copy) * m;
        if (m >= 1.0f) {
            if (copy >= 1.0f)
                u = kl::max(u, corner + 0.5f);
            if (copy < -floor(-repeats) - 1.0f)
                u = kl::min(u, corner + m - 0.5f);
        }
        return u;
    }
    // The largest whole number not above `x`, as std::floor gives it, without a call to the library
    // where the number fits an int (the readers call it at every pixel).
    static float floor(float x)
    {
        if (!(std::fabs(x) < 4194304.0f))
            return std::floor(x);
        const float whole = float(int(x));
        return whole > x ? whole - 1.0f : whole;
    }

    // A part image's texels in memory, read as the renderer's sampler reads them (bilinearly between
    // texel centres, transparent beyond the part): kept with a transparent margin, so that a read
    // needs no test.
    struct PartTexels
    {
        static constexpr int Margin = 2;
        std::vector<float> values; // RGBA, rows y-up, margin included
        int width = 0, height = 0, stride = 0;
        double originX = 0, originY = 0; // the part's lower-left corner
        // A read at (x, y) in the part's space: the first texel of the two along an axis (margin
        // included) and the weight of the second.
        std::pair<int, float> column(float x) const { return axis(x, originX, width); }
        std::pair<int, float> row(float y) const { return axis(y, originY, height); }
        // The four channels read at (x, y).
        void read(float x, float y, float out[4]) const
        {
            const auto [i, wx] = column(x);
            const auto [j, wy] = row(y);
            const float* p0 = values.data() + (size_t(j) * size_t(stride) + size_t(i)) * 4;
            const float* p1 = p0 + size_t(stride) * 4;
            for (int c = 0; c < 4; ++c) {
                // The kernel language's mix, in its order.
                const float lower = p0[c] * (1.0f - wx) + p0[c + 4] * wx;
                const float upper = p1[c] * (1.0f - wx) + p1[c + 4] * wx;
                out[c] = lower * (1.0f - wy) + upper * wy;
            }
        }

    private:
        static std::pair<int, float> axis(float point, double origin, int size)
        {
            const float t = origin == 0 ? point : float(double(point) - origin);
            const float c = t - 0.5f;
            const float f = OVFrameBand::floor(c);
            return {int(std::clamp(f, -float(Margin), float(size))) + Margin, c - f};
        }
    };
    // Null when the part cannot be read into memory (too large, or no pixels).
    static std::shared_ptr<const PartTexels> partTexels(const pf::Image& part);

    // The opening of the kernel "lineBorder": more than `width` pixels inside the rectangle's edges.
    static pf::Rect lineOpening(const pf::Rect& rect, double width);
    // A large rectangle inside the curved opening `kind` (1 an oval, 2 an arch, as the kernel
    // "cutOpening" cuts them around `rect` with a band `width` pixels wide), a pixel clear of its edge.
    static pf::Rect curvedOpening(const pf::Rect& rect, double width, int kind);

    // `rect` less `hole` (clipped to it), as at most four rectangles: the whole of `rect` when the hole
    // is empty.
    static std::vector<pf::Rect> strips(const pf::Rect& rect, const pf::Rect& hole);
    // The whole pixels of `extent` outside the whole pixels inside `hole`: what pixels() renders.
    static std::vector<pf::Rect> partsAround(const pf::Rect& extent, const pf::Rect& hole);

    // The pixels of `image` inside `extent` but outside `hole` (rendered in `format`); every byte in the
    // hole is `fill`. An image of those pixels at the extent's place, null when a render fails; `kept`
    // receives the bitmap.
    static pf::Image pixels(const pf::Image& image, const pf::Rect& extent, const pf::Rect& hole,
                            pf::Bitmap::Format format, uint8_t fill = 0, pf::Bitmap* kept = nullptr);

    // The recipe to render over a part (a strip) of the extent.
    using RecipeForPart = std::function<pf::Image(const pf::Rect& part)>;
    // The same with a recipe made for each strip.
    static pf::Image pixels(const RecipeForPart& recipeFor, const pf::Rect& extent, const pf::Rect& hole,
                            pf::Bitmap::Format format, uint8_t fill = 0, pf::Bitmap* kept = nullptr);

    // The same over the rectangles `parts` only (whole pixels inside `extent`), every byte elsewhere
    // `fill`.
    static pf::Image pixelsIn(const pf::Image& image, const pf::Rect& extent,
                              const std::vector<pf::Rect>& parts, pf::Bitmap::Format format, uint8_t fill = 0,
                              pf::Bitmap* kept = nullptr);
    static pf::Image pixelsIn(const RecipeForPart& recipeFor, const pf::Rect& extent,
                              const std::vector<pf::Rect>& parts, pf::Bitmap::Format format, uint8_t fill = 0,
                              pf::Bitmap* kept = nullptr);

    // A grey bitmap made `factor` times smaller, each pixel the mean of the block it stands for.
    static pf::Bitmap shrunk(const pf::Bitmap& grey, int factor);

    // The inputs that size a band and its inner shadow ("inputWidth", "inputTextureScale",
    // "inputShadowWidth"), with their attributes, in the order the framing filters declare them.
    static std::vector<std::pair<QString, QVariantMap>> sizeInputs();

    // The blur radius of an inner shadow `width` wide (a share of the picture's shorter side).
    static double shadowRadius(double width, const pf::Rect& picture);
    // The grey factor an inner shadow multiplies the picture by, made by the frame kernel `factorKernel`
    // from `shadow` (the inverted blur of the frame's mask).
    static pf::Image shadowFactor(const pf::Kernel& factorKernel, const pf::Image& shadow);
    // The shadow factor kept as grey pixels over `extent`, 1 (the picture as it is) inside `clear`; the
    // factor itself where those pixels cannot be kept (a picture too large for a bitmap).
    static pf::Image keptShadow(const pf::Image& factor, const pf::Rect& extent, const pf::Rect& clear);
    // The picture darkened by a kept shadow factor through the frame kernel `multiplyKernel`; without
    // a shadow the picture as it is.
    static pf::Image shadowed(const pf::Kernel& multiplyKernel, const pf::Image& picture,
                              const pf::Image& shadow);
};
