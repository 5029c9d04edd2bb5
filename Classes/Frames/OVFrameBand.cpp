#include "Classes/Frames/OVFrameBand.h"

#include "Classes/Filters/FrameworkFilterSupport.h"
#include "Platform/Image/CpuRendering.h"
#include "Platform/Image/Filter.h"
#include "Platform/Image/KernelMath.h"
#include "Platform/Image/RenderContext.h"
#include "Platform/Image/RenderStatistics.h"
#include "Platform/Image/Sampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

using pf::Rect;

namespace {

bool finiteArea(const Rect& r)
{
    return !r.isNull() && !r.isInfinite() && std::isfinite(r.width()) && std::isfinite(r.height()) &&
           r.width() > 0 && r.height() > 0;
}

// Counts of covered pixels in every rectangle of a grid, from a summed table.
class CoverageTable
{
public:
    CoverageTable(int width, int height) : m_width(width), m_sums(size_t(width + 1) * size_t(height + 1), 0)
    {}

    void build(const std::vector<uint8_t>& covered, int height)
    {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < m_width; ++x)
                at(x + 1, y + 1) =
                    covered[size_t(y) * size_t(m_width) + size_t(x)] + at(x, y + 1) + at(x + 1, y) - at(x, y);
    }
    // Whether no pixel of columns x0..x1 and rows y0..y1 (inclusive) is covered.
    bool clear(int x0, int y0, int x1, int y1) const
    {
        return at(x1 + 1, y1 + 1) - at(x0, y1 + 1) - at(x1 + 1, y0) + at(x0, y0) == 0;
    }

private:
    long long& at(int x, int y) { return m_sums[size_t(y) * size_t(m_width + 1) + size_t(x)]; }
    long long at(int x, int y) const { return m_sums[size_t(y) * size_t(m_width + 1) + size_t(x)]; }

    int m_width;
    std::vector<long long> m_sums;
};

// Along one axis of length `length`: where the destination reads only the part's clear span [u0, u1]
// (part coordinates: a read anywhere in it touches zero pixels only), as the kernel lays a part of
// `size` pixels with corners of `corner` at `scale` and its middle `repeats` times. Nothing (from > to)
// when the span does not reach across the middle as every copy of it is read.
std::pair<double, double> destinationSpan(double u0, double u1, double size, double corner, double scale,
                                          double repeats, double length)
{
    const double c = std::min(corner * scale, 0.5 * length);
    const double m = std::max(size - 2 * corner, 0.0);
    const double middle = length - 2 * c;
    // A clear span that begins in a corner maps as the corner does.
    const bool startsInCorner = u0 * scale <= c, endsInCorner = (size - u1) * scale <= c;
    if (startsInCorner && endsInCorner)
        return {u0 * scale, length - (size - u1) * scale};
    // A span that begins (or ends) inside the middle: the first copy of the middle reaches it after a
    // while (the last leaves it before its end). Only copies of at least a pixel, and only when the span
    // covers what the joins between copies read (half a pixel in from the middle's ends).
    if (m < 1 || !(middle > 0) || !(repeats >= 1) || u0 > corner + m || u1 < corner ||
        (repeats > 1 && (u0 > corner + 0.5 || u1 < corner + m - 0.5)))
        return {1, 0};
    const double copyLength = middle / repeats;
    const double from = startsInCorner ? u0 * scale : c + (std::max(u0, corner) - corner) / m * copyLength;
    if (endsInCorner)
        return {from, length - (size - u1) * scale};
    const double whole = std::floor(repeats + 1e-9);
    if (repeats - whole <= 1e-9)
        return {from, length - c - (corner + m - std::min(u1, corner + m)) / m * copyLength};
    // A part of a copy last (the count is seldom whole: it follows the side's length): it reads the
    // middle from its start only as far as that share of it, up to the corner.
    const double reach = corner + (repeats - whole) * m;
    const double lastStart = c + whole * copyLength;
    return {from, reach <= u1 ? length - c : lastStart + (u1 - corner) / m * copyLength};
}

} // namespace

std::shared_ptr<const OVFrameBand::PartTexels> OVFrameBand::partTexels(const pf::Image& part)
{
    if (part.isNull())
        return nullptr;
    const Rect extent = part.extent();
    if (!finiteArea(extent) || extent != extent.integral() || extent.width() > 4096 || extent.height() > 4096)
        return nullptr;
    const std::optional<pf::Bitmap> pixels =
        pf::RenderContext::shared()->render(part, extent, pf::Bitmap::Format::RGBAf);
    if (!pixels || pixels->format() != pf::Bitmap::Format::RGBAf)
        return nullptr;
    auto texels = std::make_shared<PartTexels>();
    texels->width = pixels->width();
    texels->height = pixels->height();
    texels->stride = texels->width + 2 * PartTexels::Margin;
    texels->originX = extent.minX();
    texels->originY = extent.minY();
    texels->values.assign(size_t(texels->stride) * size_t(texels->height + 2 * PartTexels::Margin) * 4, 0.0f);
    // Rows y-up, as the kernels count them.
    for (int j = 0; j < texels->height; ++j)
        std::memcpy(texels->values.data() +
                        (size_t(j + PartTexels::Margin) * size_t(texels->stride) + PartTexels::Margin) * 4,
                    pixels->row(texels->height - 1 - j), size_t(texels->width) * 16);
    return texels;
}

pf::Image OVFrameBand::laidOnCpu(const pf::Image& laid, const pf::Image& part, const pf::Size& corner,
                                 double scale, const pf::Vector& repeats, const Rect& rect,
                                 const Rect& within)
{
    if (laid.isNull() || part.isNull() || !pf::RenderStatistics::cpuFiltersEnabled() || !finiteArea(rect) ||
        rect != rect.integral())
        return laid;
    const Rect bounds = within.isNull() ? rect : within.integral().intersected(rect);
    if (!finiteArea(bounds))
        return laid;
    const Rect extent = part.extent();
    const std::shared_ptr<const PartTexels> texels = partTexels(part);
    if (!texels)
        return laid;
    const int stride = texels->stride;
    // The kernel's arguments as it receives them: single precision.
    const float rx = float(rect.minX()), ry = float(rect.minY()), rw = float(rect.width()),
                rh = float(rect.height());
    const float ex = float(extent.minX()), ey = float(extent.minY()), ew = float(extent.width()),
                eh = float(extent.height());
    const float cw = float(corner.width), ch = float(corner.height), s = float(scale);
    const float repeatsX = float(repeats.x()), repeatsY = float(repeats.y());
    const double left = bounds.minX(), bottom = bounds.minY();
    auto render = [=](const Rect& region, pf::Bitmap& out) {
        const int columns = out.width(), rows = out.height();
        const int x0 = int(left + region.minX()), y0 = int(bottom + region.minY());
        std::vector<std::pair<int, float>> across(static_cast<size_t>(columns));
        for (int i = 0; i < columns; ++i) {
            const float d = (float(x0 + i) + 0.5f) - rx;
            across[size_t(i)] = texels->column(ex + partCoord(d, rw, ew, cw, s, repeatsX));
        }
        const float* values = texels->values.data();
        // Taken once, before the bands (see Bitmap::mutableData): `out` may share its pixels.
        uint8_t* const outPixels = out.mutableData();
        const size_t outStride = out.bytesPerRow();
        pf::CpuRendering::inBands(rows, [&](int begin, int end) {
            for (int row = begin; row < end; ++row) {
                const int y = y0 + rows - 1 - row;
                const float d = (float(y) + 0.5f) - ry;
                const auto [down, wy] = texels->row(ey + partCoord(d, rh, eh, ch, s, repeatsY));
                const float* lowRow = values + size_t(down) * size_t(stride) * 4;
                const float* highRow = lowRow + size_t(stride) * 4;
                float* o = reinterpret_cast<float*>(outPixels + outStride * size_t(row));
                for (int i = 0; i < columns; ++i, o += 4) {
                    const auto [index, wx] = across[size_t(i)];
                    const float* p0 = lowRow + size_t(index) * 4;
                    const float* p1 = highRow + size_t(index) * 4;
                    for (int c = 0; c < 4; ++c) {
                        const float lower = pf::kl::mix(p0[c], p0[c + 4], wx);
                        const float upper = pf::kl::mix(p1[c], p1[c + 4], wx);
                        o[c] = pf::kl::mix(lower, upper, wy);
                    }
                }
            }
        });
        return true;
    };
    return pf::CpuRendering::attach(
        laid, std::make_shared<const pf::CpuRendering>(bounds, pf::Bitmap::Format::RGBAf, render));
}

Rect OVFrameBand::partOpening(const pf::Image& part, const pf::Size& corner, double scale,
                              const pf::Vector& repeats, const Rect& rect)
{
    if (part.isNull() || !(scale > 0) || !std::isfinite(scale) || !finiteArea(rect))
        return Rect::null();
    const Rect extent = part.extent();
    // Part images are small; anything else is not worth reading for this.
    if (!finiteArea(extent) || extent.width() > 8192 || extent.height() > 8192)
        return Rect::null();
    const std::optional<pf::Bitmap> grey =
        pf::RenderContext::shared()->render(part, extent.integral(), pf::Bitmap::Format::Gray8);
    if (!grey || grey->isNull())
        return Rect::null();
    const int w = grey->width(), h = grey->height();
    // Covered: a pixel that is not zero. Rows y-up, as the kernel counts them.
    std::vector<uint8_t> covered(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = grey->row(h - 1 - y);
        for (int x = 0; x < w; ++x)
            covered[size_t(y) * size_t(w) + size_t(x)] = row[x] != 0;
    }
    CoverageTable table(w, h);
    table.build(covered, h);

    // Where every copy of the sides' middles is read, the middle must be clear; a middle laid once
    // need only be clear around its centre. Grow that rectangle while a whole column or row beside it
    // is clear.
    const auto middle = [](double c, int size) {
        const double lo = std::min(c, size - c), hi = std::max(c, size - c);
        int first = std::clamp(int(std::floor(lo)), 0, size - 1);
        int last = std::clamp(int(std::ceil(hi)) - 1, 0, size - 1);
        return std::pair{first, std::max(first, last)};
    };
    auto [x0, x1] = middle(corner.width, w);
    auto [y0, y1] = middle(corner.height, h);
    if (!table.clear(x0, y0, x1, y1)) {
        x0 = x1 = w / 2;
        y0 = y1 = h / 2;
        if (!table.clear(x0, y0, x1, y1))
            return Rect::null();
    }
    for (bool grew = true; grew;) {
        grew = false;
        if (x0 > 0 && table.clear(x0 - 1, y0, x0 - 1, y1))
            --x0, grew = true;
        if (x1 < w - 1 && table.clear(x1 + 1, y0, x1 + 1, y1))
            ++x1, grew = true;
        if (y0 > 0 && table.clear(x0, y0 - 1, x1, y0 - 1))
            --y0, grew = true;
        if (y1 < h - 1 && table.clear(x0, y1 + 1, x1, y1 + 1))
            ++y1, grew = true;
    }
    // A read between pixel centres blends the pixels around it: reads from the first clear pixel's
    // centre to the last's touch clear pixels only.
    const auto [left, right] =
        destinationSpan(x0 + 0.5, x1 + 0.5, w, corner.width, scale, repeats.x(), rect.width());
    const auto [bottom, top] =
        destinationSpan(y0 + 0.5, y1 + 0.5, h, corner.height, scale, repeats.y(), rect.height());
    if (left > right || bottom > top)
        return Rect::null();
    // Whole pixels whose centres lie in the span, less one on every side for the kernel's rounding.
    const double px0 = std::ceil(left - 0.5) + 1, px1 = std::floor(right - 0.5);
    const double py0 = std::ceil(bottom - 0.5) + 1, py1 = std::floor(top - 0.5);
    if (px1 <= px0 || py1 <= py0)
        return Rect::null();
    return Rect(rect.minX() + px0, rect.minY() + py0, px1 - px0, py1 - py0);
}

Rect OVFrameBand::lineOpening(const Rect& rect, double width)
{
    if (!finiteArea(rect) || !std::isfinite(width))
        return Rect::null();
    const double inset = std::ceil(std::max(width, 0.0)) + 1;
    return rect.insetBy(inset, inset);
}

Rect OVFrameBand::curvedOpening(const Rect& rect, double width, int kind)
{
    if (!finiteArea(rect) || !std::isfinite(width))
        return Rect::null();
    const double a = std::max(rect.width() / 2 - width, 0.5);
    const double cx = rect.midX();
    const double margin = 2;
    Rect inside;
    if (kind == 1) {
        // The largest rectangle in an ellipse has its corners on the diagonals.
        const double b = std::max(rect.height() / 2 - width, 0.5);
        inside = Rect(cx - a / std::sqrt(2.0), rect.midY() - b / std::sqrt(2.0), a * std::sqrt(2.0),
                      b * std::sqrt(2.0));
    } else {
        // The straight part below the round top, raised into the top where that gains area.
        const double bottom = rect.minY() + width, top = rect.maxY() - width;
        const double rise = std::max(std::min(a, rect.height() / 2 - width), 0.5);
        const double spring = top - rise;
        const double radius = (a * a + rise * rise) / (2 * rise);
        const double centre = top - radius;
        double best = 0;
        for (int step = 0; step <= 16; ++step) {
            const double y = spring + rise * step / 16.0;
            const double half = std::sqrt(std::max(radius * radius - (y - centre) * (y - centre), 0.0));
            const double w = std::min(half, a);
            if (2 * w * (y - bottom) > best) {
                best = 2 * w * (y - bottom);
                inside = Rect(cx - w, bottom, 2 * w, y - bottom);
            }
        }
    }
    // Whole pixels, a margin clear of the smoothed edge.
    const double x0 = std::ceil(inside.minX() + margin), y0 = std::ceil(inside.minY() + margin);
    const double x1 = std::floor(inside.maxX() - margin), y1 = std::floor(inside.maxY() - margin);
    return x1 > x0 && y1 > y0 ? Rect(x0, y0, x1 - x0, y1 - y0) : Rect::null();
}

std::vector<Rect> OVFrameBand::partsAround(const Rect& extent, const Rect& hole)
{
    if (!finiteArea(extent))
        return {};
    // Whole pixels, so that the strips and the hole meet the bitmap's pixels.
    const Rect whole = extent.integral();
    // The hole shrinks to the whole pixels inside it: what it leaves out is rendered.
    Rect inner = Rect::null();
    if (finiteArea(hole)) {
        const double x0 = std::ceil(hole.minX()), y0 = std::ceil(hole.minY());
        const double x1 = std::floor(hole.maxX()), y1 = std::floor(hole.maxY());
        if (x1 > x0 && y1 > y0)
            inner = Rect(x0, y0, x1 - x0, y1 - y0).intersected(whole);
    }
    return strips(whole, inner);
}

std::vector<Rect> OVFrameBand::strips(const Rect& rect, const Rect& hole)
{
    const Rect inside = hole.isNull() ? Rect::null() : hole.intersected(rect);
    if (inside.isEmpty())
        return {rect};
    std::vector<Rect> parts;
    const auto add = [&](const Rect& r) {
        if (r.width() > 0 && r.height() > 0)
            parts.push_back(r);
    };
    add(Rect(rect.minX(), rect.minY(), rect.width(), inside.minY() - rect.minY()));
    add(Rect(rect.minX(), inside.maxY(), rect.width(), rect.maxY() - inside.maxY()));
    add(Rect(rect.minX(), inside.minY(), inside.minX() - rect.minX(), inside.height()));
    add(Rect(inside.maxX(), inside.minY(), rect.maxX() - inside.maxX(), inside.height()));
    return parts;
}

pf::Image OVFrameBand::pixels(const pf::Image& image, const Rect& extent, const Rect& hole,
                              pf::Bitmap::Format format, uint8_t fill, pf::Bitmap* kept)
{
    if (image.isNull())
        return pf::Image();
    return pixels([&image](const Rect&) { return image; }, extent, hole, format, fill, kept);
}

pf::Image OVFrameBand::pixels(const RecipeForPart& recipeFor, const Rect& extent, const Rect& hole,
                              pf::Bitmap::Format format, uint8_t fill, pf::Bitmap* kept)
{
    if (!finiteArea(extent))
        return pf::Image();
    return pixelsIn(recipeFor, extent.integral(), partsAround(extent, hole), format, fill, kept);
}

pf::Image OVFrameBand::pixelsIn(const pf::Image& image, const Rect& extent, const std::vector<Rect>& parts,
                                pf::Bitmap::Format format, uint8_t fill, pf::Bitmap* kept)
{
    if (image.isNull())
        return pf::Image();
    return pixelsIn([&image](const Rect&) { return image; }, extent, parts, format, fill, kept);
}

pf::Image OVFrameBand::pixelsIn(const RecipeForPart& recipeFor, const Rect& extent,
                                const std::vector<Rect>& parts, pf::Bitmap::Format format, uint8_t fill,
                                pf::Bitmap* kept)
{
    if (!finiteArea(extent))
        return pf::Image();
    const Rect whole = extent.integral();
    // One plain bitmap: the renderer reads those straight, where shared tiles would cost it a pass.
    pf::Bitmap all(int(whole.width()), int(whole.height()), format,
                   fill ? pf::Bitmap::Fill::Uninitialized : pf::Bitmap::Fill::Zero);
    if (all.isNull())
        return pf::Image();
    if (fill)
        std::memset(all.mutableData(), fill, all.byteCount());
    const int bytes = pf::Bitmap::bytesPerPixel(format);
    for (const Rect& part : parts) {
        const Rect strip = part.integral().intersected(whole);
        if (!finiteArea(strip))
            continue;
        const pf::Image image = recipeFor(strip);
        if (image.isNull())
            return pf::Image();
        const std::optional<pf::Bitmap> rendered =
            pf::RenderContext::shared()->render(image, strip, format, pf::RenderContext::Reuse::Discard);
        if (!rendered || rendered->format() != format)
            return pf::Image();
        // Rows top-down in both.
        const int left = int(strip.minX() - whole.minX()), top = int(whole.maxY() - strip.maxY());
        for (int row = 0; row < rendered->height(); ++row)
            std::memcpy(all.mutableRow(top + row) + size_t(left) * size_t(bytes), rendered->row(row),
                        rendered->bytesPerRow());
    }
    if (kept)
        *kept = all;
    const pf::Image pixels = pf::Image::fromBitmap(all);
    if (whole.minX() == 0 && whole.minY() == 0)
        return pixels;
    return pixels.imageByApplyingTransform(pf::AffineTransform::translation(whole.minX(), whole.minY()));
}

pf::Bitmap OVFrameBand::shrunk(const pf::Bitmap& grey, int factor)
{
    if (grey.isNull() || grey.format() != pf::Bitmap::Format::Gray8 || factor < 1)
        return pf::Bitmap();
    const int w = (grey.width() + factor - 1) / factor, h = (grey.height() + factor - 1) / factor;
    pf::Bitmap small(w, h, pf::Bitmap::Format::Gray8, pf::Bitmap::Fill::Uninitialized);
    if (small.isNull())
        return small;
    std::vector<uint32_t> sums(size_t(w), 0);
    for (int y = 0; y < h; ++y) {
        std::fill(sums.begin(), sums.end(), 0u);
        const int top = y * factor, bottom = std::min(top + factor, grey.height());
        for (int row = top; row < bottom; ++row) {
            const uint8_t* source = grey.row(row);
            for (int x = 0; x < grey.width(); ++x)
                sums[size_t(x / factor)] += source[x];
        }
        uint8_t* out = small.mutableRow(y);
        for (int x = 0; x < w; ++x) {
            const int columns = std::min(factor, grey.width() - x * factor);
            const uint32_t count = uint32_t(columns) * uint32_t(bottom - top);
            out[x] = uint8_t((sums[size_t(x)] + count / 2) / count);
        }
    }
    return small;
}

std::vector<std::pair<QString, QVariantMap>> OVFrameBand::sizeInputs()
{
    using pf::FilterAttribute::Default;
    using pf::FilterAttribute::SliderMax;
    using pf::FilterAttribute::SliderMin;
    return {{QStringLiteral("inputWidth"), {{Default, 0.0}, {SliderMin, 0.0}, {SliderMax, 0.2}}},
            {QStringLiteral("inputTextureScale"), {{Default, 1.0}, {SliderMin, 0.1}, {SliderMax, 1.9}}},
            {QStringLiteral("inputShadowWidth"), {{Default, 0.0}}}};
}

double OVFrameBand::shadowRadius(double width, const Rect& picture)
{
    return width * std::min(picture.width(), picture.height());
}

pf::Image OVFrameBand::shadowFactor(const pf::Kernel& factorKernel, const pf::Image& shadow)
{
    return FrameworkFilterSupport::applyOver(factorKernel, {QVariant::fromValue(pf::Sampler(shadow))},
                                             shadow);
}

pf::Image OVFrameBand::keptShadow(const pf::Image& factor, const Rect& extent, const Rect& clear)
{
    const pf::Image kept = pixels(factor, extent, clear, pf::Bitmap::Format::Gray8, 255);
    return kept.isNull() ? factor : kept;
}

pf::Image OVFrameBand::shadowed(const pf::Kernel& multiplyKernel, const pf::Image& picture,
                                const pf::Image& shadow)
{
    if (shadow.isNull())
        return picture;
    return FrameworkFilterSupport::applyOver(
        multiplyKernel, {QVariant::fromValue(pf::Sampler(picture)), QVariant::fromValue(pf::Sampler(shadow))},
        picture);
}
