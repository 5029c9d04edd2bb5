#include "Classes/Filters/GMHistogramImage.h"

#include "Platform/Image/RenderContext.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

using namespace pf;

class GMHistogramImage::Counts
{
public:
    void add(const Bitmap& pixels)
    {
        if (pixels.isNull())
            return;
        const bool floats = pixels.format() == Bitmap::Format::RGBAf;
        for (int y = 0; y < pixels.height(); ++y) {
            const float* row = floats ? reinterpret_cast<const float*>(pixels.row(y)) : nullptr;
            for (int x = 0; x < pixels.width(); ++x) {
                std::array<float, 4> c;
                if (row)
                    std::copy(row + 4 * x, row + 4 * x + 4, c.begin());
                else
                    pixels.pixel(x, y, c.data());
                add(c);
            }
        }
    }

    Bitmap bitmap() const
    {
        Bitmap result(Width, Height, Bitmap::Format::RGBAf);
        auto put = [&result](int x, int y, const std::array<double, 4>& value) {
            float* row = reinterpret_cast<float*>(result.mutableRow(Height - 1 - y));
            for (int i = 0; i < 4; ++i)
                row[4 * x + i] = float(value[size_t(i)]);
        };
        const double scale = m_total > 0 ? 1.0 / m_total : 0.0;
        for (int b = 0; b < ColorLevels; ++b) {
            for (int g = 0; g < ColorLevels; ++g) {
                for (int r = 0; r < ColorLevels; ++r) {
                    const std::array<double, 4>& sum = m_colours[size_t(index(r, g, b))];
                    put(r + ColorLevels * b, g,
                        {sum[0] * scale, sum[1] * scale, sum[2] * scale, sum[3] * scale});
                }
            }
        }
        double cumulative = 0;
        for (int i = 0; i < BrightnessBins; ++i) {
            const double share = m_brightness[size_t(i)] * scale;
            cumulative += share;
            put(i, BrightnessRow, {share, std::min(cumulative, 1.0), 0.0, 1.0});
        }
        return result;
    }

private:
    static int index(int r, int g, int b) { return r + ColorLevels * (g + ColorLevels * b); }

    static int level(double value, int levels)
    {
        return std::clamp(int(std::floor(value * levels)), 0, levels - 1);
    }

    void add(const std::array<float, 4>& c)
    {
        const double alpha = std::clamp(double(c[3]), 0.0, 1.0);
        // Not a number, or transparent: nothing to count.
        if (!(alpha > 0))
            return;
        std::array<double, 3> straight;
        for (size_t i = 0; i < 3; ++i) {
            const double v = double(c[i]) / alpha;
            straight[i] = std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.0;
        }
        std::array<double, 4>& bin =
            m_colours[size_t(index(level(straight[0], ColorLevels), level(straight[1], ColorLevels),
                                   level(straight[2], ColorLevels)))];
        for (size_t i = 0; i < 3; ++i)
            bin[i] += straight[i] * alpha;
        bin[3] += alpha;
        const double brightness = std::max({straight[0], straight[1], straight[2]});
        m_brightness[size_t(level(brightness, BrightnessBins))] += alpha;
        m_total += alpha;
    }

    std::vector<std::array<double, 4>> m_colours =
        std::vector<std::array<double, 4>>(size_t(ColorLevels * ColorLevels * ColorLevels), {0, 0, 0, 0});
    std::vector<double> m_brightness = std::vector<double>(size_t(BrightnessBins), 0.0);
    double m_total = 0;
};

Bitmap GMHistogramImage::histogramOf(const Bitmap& pixels)
{
    Counts counts;
    counts.add(pixels);
    return counts.bitmap();
}

Image GMHistogramImage::histogramOf(const Image& image, RenderContext& context)
{
    if (image.isNull())
        return Image();
    const Rect extent = image.extent();
    if (extent.isInfinite())
        return Image();
    Counts counts;
    if (!extent.isEmpty()) {
        const Rect area = extent.integral();
        // About four million pixels (64 MB of float pixels) per strip.
        const double rows = std::max(1.0, std::floor(4194304.0 / area.width()));
        for (double y = area.minY(); y < area.maxY(); y += rows) {
            const Rect strip(area.minX(), y, area.width(), std::min(rows, area.maxY() - y));
            const std::optional<Bitmap> pixels = context.render(image, strip, Bitmap::Format::RGBAf);
            if (!pixels)
                return Image();
            counts.add(*pixels);
        }
    }
    return Image::fromBitmap(counts.bitmap());
}

Rect GMHistogramImage::layoutRect(const Image& histogram)
{
    if (histogram.isNull())
        return Rect::null();
    const Rect extent = histogram.extent();
    if (extent.isNull() || extent.isInfinite())
        return Rect(0, 0, Width, Height);
    return Rect(extent.minX(), extent.minY(), Width, Height);
}
