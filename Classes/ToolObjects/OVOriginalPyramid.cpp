#include "Classes/ToolObjects/OVOriginalPyramid.h"

#include "Platform/Image/CpuRendering.h"
#include "Platform/Image/ImageNode.h"

#include <algorithm>
#include <cmath>
#include <vector>

using namespace pf;

namespace {

// Copies smaller than this on their longer side are not worth making: a render reads them whole anyway.
constexpr int SmallestCopy = 256;

// Averages every `factor` x `factor` box of the source (rows top down) into one pixel; boxes cut by the
// right or bottom edge average the pixels they hold.
void averageFloatBoxes(const Bitmap& source, Bitmap& target, int factor)
{
    const int width = source.width(), height = source.height();
    // Taken once, before the bands (see Bitmap::mutableData).
    uint8_t* const pixels = target.mutableData();
    const size_t stride = target.bytesPerRow();
    CpuRendering::inBands(target.height(), [&](int begin, int end) {
        std::vector<double> sums(size_t(target.width()) * 4);
        std::vector<int> counts(size_t(target.width()));
        for (int row = begin; row < end; ++row) {
            std::fill(sums.begin(), sums.end(), 0.0);
            std::fill(counts.begin(), counts.end(), 0);
            const int last = std::min(height, (row + 1) * factor);
            for (int y = row * factor; y < last; ++y) {
                const auto* line = reinterpret_cast<const float*>(source.row(y));
                for (int x = 0; x < width; ++x) {
                    const size_t box = size_t(x / factor);
                    for (int c = 0; c < 4; ++c)
                        sums[box * 4 + size_t(c)] += double(line[size_t(x) * 4 + size_t(c)]);
                    ++counts[box];
                }
            }
            auto* out = reinterpret_cast<float*>(pixels + stride * size_t(row));
            for (size_t box = 0; box < counts.size(); ++box) {
                for (int c = 0; c < 4; ++c) {
                    const double mean = sums[box * 4 + size_t(c)] / std::max(1, counts[box]);
                    out[box * 4 + size_t(c)] = float(mean);
                }
            }
        }
    });
}

// The same for 8-bit pixels, in whole numbers: a copy is made when a view first needs it (the first
// zoom to a size), so its time is the user's. Sums of at most 64 x 64 bytes fit 32 bits, and the mean
// rounded half up is what rounding the exact quotient gives.
void averageByteBoxes(const Bitmap& source, Bitmap& target, int factor)
{
    const int width = source.width(), height = source.height();
    const int boxes = target.width();
    // Taken once, before the bands (see Bitmap::mutableData).
    uint8_t* const pixels = target.mutableData();
    const size_t stride = target.bytesPerRow();
    CpuRendering::inBands(target.height(), [&](int begin, int end) {
        std::vector<uint32_t> sums(size_t(boxes) * 4);
        for (int row = begin; row < end; ++row) {
            std::fill(sums.begin(), sums.end(), 0u);
            const int first = row * factor, last = std::min(height, first + factor);
            for (int y = first; y < last; ++y) {
                const uint8_t* line = source.row(y);
                for (int box = 0; box < boxes; ++box) {
                    const int x0 = box * factor, x1 = std::min(width, x0 + factor);
                    uint32_t r = 0, g = 0, b = 0, a = 0;
                    for (const uint8_t* p = line + size_t(x0) * 4; p < line + size_t(x1) * 4; p += 4) {
                        r += p[0];
                        g += p[1];
                        b += p[2];
                        a += p[3];
                    }
                    uint32_t* sum = &sums[size_t(box) * 4];
                    sum[0] += r;
                    sum[1] += g;
                    sum[2] += b;
                    sum[3] += a;
                }
            }
            uint8_t* out = pixels + stride * size_t(row);
            for (int box = 0; box < boxes; ++box) {
                const uint32_t count =
                    uint32_t(std::min(width, (box + 1) * factor) - box * factor) * uint32_t(last - first);
                for (size_t c = 0; c < 4; ++c)
                    out[size_t(box) * 4 + c] = uint8_t((2 * sums[size_t(box) * 4 + c] + count) / (2 * count));
            }
        }
    });
}

} // namespace

OVOriginalPyramid::OVOriginalPyramid(const Image& original) : m_original(original)
{
    m_levels[0] = original;
    const ImageNode* node = original.isNull() ? nullptr : original.node().get();
    if (node && node->kind == ImageNode::Kind::Bitmap &&
        (node->bitmap.format() == Bitmap::Format::RGBA8 || node->bitmap.format() == Bitmap::Format::RGBAf))
        m_bitmap = node->bitmap;
}

int OVOriginalPyramid::levelForScale(double scale) const
{
    if (m_bitmap.isNull() || !(scale > 0) || !std::isfinite(scale))
        return 0;
    int level = 0;
    // Each copy keeps at least one of its pixels per output pixel.
    while (level < maximumLevel && std::ldexp(1.0, -(level + 1)) >= scale &&
           std::max(m_bitmap.width(), m_bitmap.height()) >> (level + 1) >= SmallestCopy)
        ++level;
    return level;
}

int OVOriginalPyramid::madeLevels() const
{
    std::lock_guard lock(m_mutex);
    return int(
        std::count_if(m_levels.begin() + 1, m_levels.end(), [](const Image& i) { return !i.isNull(); }));
}

Bitmap OVOriginalPyramid::reduced(int level) const
{
    const int factor = 1 << level;
    const int width = (m_bitmap.width() + factor - 1) / factor;
    const int height = (m_bitmap.height() + factor - 1) / factor;
    Bitmap copy(width, height, m_bitmap.format(), Bitmap::Fill::Uninitialized);
    if (copy.isNull())
        return copy;
    if (m_bitmap.format() == Bitmap::Format::RGBA8)
        averageByteBoxes(m_bitmap, copy, factor);
    else
        averageFloatBoxes(m_bitmap, copy, factor);
    return copy;
}

Image OVOriginalPyramid::imageAtLevel(int level) const
{
    level = std::clamp(level, 0, maximumLevel);
    if (level == 0 || m_bitmap.isNull())
        return m_original;
    Image copy;
    {
        std::lock_guard lock(m_mutex);
        copy = m_levels[size_t(level)];
    }
    if (copy.isNull()) {
        // Made outside the lock: two threads may both make it, and the first one kept wins.
        const Bitmap pixels = reduced(level);
        if (pixels.isNull())
            return m_original; // no memory for a copy: the photo itself serves
        const double factor = std::ldexp(1.0, level);
        // Rows are counted from the top: a copy whose last box was cut short sits that much lower.
        const double drop = m_bitmap.height() - pixels.height() * factor;
        Image placed =
            Image::fromBitmap(pixels)
                .imageByApplyingTransform(AffineTransform::translation(0, drop).scaled(factor, factor))
                .imageByCroppingToRect(Rect(0, 0, m_bitmap.width(), m_bitmap.height()));
        std::lock_guard lock(m_mutex);
        if (m_levels[size_t(level)].isNull())
            m_levels[size_t(level)] = placed;
        copy = m_levels[size_t(level)];
    }
    return copy;
}

Image OVOriginalPyramid::imageByApplyingTransform(const AffineTransform& transform) const
{
    const bool scaleAndMove = transform.b == 0 && transform.c == 0 && transform.a > 0 && transform.d > 0;
    const int level = scaleAndMove ? levelForScale(std::min(transform.a, transform.d)) : 0;
    return imageAtLevel(level).imageByApplyingTransform(transform);
}
