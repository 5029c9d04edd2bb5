#include "Platform/Image/CpuRendering.h"

#include "Platform/Image/ImageNode.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <exception>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

namespace pf {

namespace {

bool isWhole(double v)
{
    return std::isfinite(v) && v == std::floor(v);
}

bool isTranslation(const AffineTransform& t)
{
    return t.a == 1 && t.b == 0 && t.c == 0 && t.d == 1 && isWhole(t.tx) && isWhole(t.ty);
}

bool isDirectFormat(Bitmap::Format format)
{
    return format == Bitmap::Format::RGBA8 || format == Bitmap::Format::RGBAf;
}

// Copies `region` (y up, in the bitmap's pixels) of a bitmap into `out`; outside the bitmap is
// transparent.
void copyRegion(const Bitmap& bitmap, const Rect& region, Bitmap& out)
{
    const int bpp = Bitmap::bytesPerPixel(out.format());
    const int x0 = int(region.minX()), top = bitmap.height() - int(region.maxY());
    const int w = out.width();
    const int from = std::clamp(-x0, 0, w), to = std::clamp(bitmap.width() - x0, 0, w);
    CpuRendering::inBands(out.height(), [&](int begin, int end) {
        for (int row = begin; row < end; ++row) {
            uint8_t* dst = out.mutableRow(row);
            const int source = top + row;
            if (source < 0 || source >= bitmap.height() || from >= to) {
                std::memset(dst, 0, size_t(w) * bpp);
                continue;
            }
            std::memset(dst, 0, size_t(from) * bpp);
            std::memcpy(dst + size_t(from) * bpp, bitmap.row(source) + size_t(x0 + from) * bpp,
                        size_t(to - from) * bpp);
            std::memset(dst + size_t(to) * bpp, 0, size_t(w - to) * bpp);
        }
    });
}

// The source pixels one output pixel covers along an axis, with the part of each that it covers.
struct Span
{
    int first = 0;
    std::vector<float> weights;
};

// Output pixels [origin, origin + count) along an axis where output = source * scale + offset; the
// source has `size` pixels (outside it is transparent).
std::vector<Span> spans(double origin, int count, double scale, double offset, int size)
{
    std::vector<Span> out(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const double u0 = (origin + i - offset) / scale, u1 = (origin + i + 1 - offset) / scale;
        const int first = std::max(0, int(std::floor(u0))), last = std::min(size, int(std::ceil(u1)));
        Span& span = out[size_t(i)];
        span.first = first;
        for (int k = first; k < last; ++k)
            span.weights.push_back(float(std::min(u1, k + 1.0) - std::max(u0, double(k))));
    }
    return out;
}

// Each output pixel the mean of the source area it covers: rows are reduced across, then summed down.
template <typename T>
void reduceByArea(const Bitmap& source, const AffineTransform& t, const Rect& region, Bitmap& out)
{
    const int w = out.width(), h = out.height();
    const std::vector<Span> columns = spans(region.minX(), w, t.a, t.tx, source.width());
    // Rows in the y-up sense; source row k (y up) is bitmap row height - 1 - k.
    const std::vector<Span> rows = spans(region.minY(), h, t.d, t.ty, source.height());
    const float norm = float(t.a * t.d);
    const float unit = std::is_same_v<T, uint8_t> ? 255.0f : 1.0f;
    CpuRendering::inBands(h, [&](int begin, int end) {
        std::vector<float> across(size_t(w) * 4), sum(size_t(w) * 4);
        for (int row = begin; row < end; ++row) {
            const Span& span = rows[size_t(h - 1 - row)];
            std::fill(sum.begin(), sum.end(), 0.0f);
            for (size_t k = 0; k < span.weights.size(); ++k) {
                const T* src =
                    reinterpret_cast<const T*>(source.row(source.height() - 1 - (span.first + int(k))));
                for (int i = 0; i < w; ++i) {
                    const Span& c = columns[size_t(i)];
                    float a[4] = {0, 0, 0, 0};
                    const T* p = src + size_t(c.first) * 4;
                    for (size_t j = 0; j < c.weights.size(); ++j, p += 4)
                        for (int ch = 0; ch < 4; ++ch)
                            a[ch] += c.weights[j] * float(p[ch]);
                    for (int ch = 0; ch < 4; ++ch)
                        across[size_t(i) * 4 + ch] = a[ch];
                }
                const float wy = span.weights[k];
                for (size_t i = 0; i < sum.size(); ++i)
                    sum[i] += wy * across[i];
            }
            T* dst = reinterpret_cast<T*>(out.mutableRow(row));
            for (size_t i = 0; i < sum.size(); ++i) {
                const float v = sum[i] * norm;
                if constexpr (std::is_same_v<T, uint8_t>)
                    dst[i] = uint8_t(std::clamp(v + 0.5f, 0.0f, 255.0f));
                else
                    dst[i] = v / unit;
            }
        }
    });
}

} // namespace

CpuRendering::CpuRendering(const Rect& bounds, Bitmap::Format format, RenderRegion render)
    : m_bounds(bounds), m_format(format), m_render(std::move(render))
{}

bool CpuRendering::render(const Rect& region, Bitmap& out) const
{
    try {
        return renderConverted(region, out);
    } catch (const std::bad_alloc&) {
        return false; // out of memory in a band: the caller reports it
    }
}

bool CpuRendering::renderConverted(const Rect& region, Bitmap& out) const
{
    const Rect own = region.offsetBy(-m_bounds.minX(), -m_bounds.minY());
    if (out.format() == m_format)
        return m_render(own, out);
    Bitmap pixels(out.width(), out.height(), m_format, Bitmap::Fill::Uninitialized);
    if (pixels.isNull() || !m_render(own, pixels))
        return false;
    const Bitmap converted = pixels.converted(out.format());
    if (converted.isNull())
        return false;
    std::memcpy(out.mutableData(), converted.data(), out.byteCount());
    return true;
}

const Bitmap& CpuRendering::whole() const
{
    std::call_once(m_once, [this] {
        const int width = int(m_bounds.width()), height = int(m_bounds.height());
        Bitmap pixels(width, height, m_format, Bitmap::Fill::Uninitialized);
        if (!pixels.isNull() && render(m_bounds, pixels))
            m_whole = pixels;
    });
    return m_whole;
}

Image CpuRendering::attach(const Image& recipe, std::shared_ptr<const CpuRendering> rendering)
{
    if (recipe.isNull() || recipe.node()->kind != ImageNode::Kind::Kernel)
        return recipe;
    auto node = std::make_shared<ImageNode>(*recipe.node());
    node->computed = std::move(rendering);
    return Image(node);
}

std::optional<CpuRendering::Placed> CpuRendering::placedBitmap(const Image& image)
{
    const ImageNode* node = image.node().get();
    Placed placed;
    while (node) {
        switch (node->kind) {
        case ImageNode::Kind::Transform:
            if (!isTranslation(node->transform))
                return std::nullopt;
            placed.x += node->transform.tx;
            placed.y += node->transform.ty;
            node = node->input.get();
            continue;
        case ImageNode::Kind::Crop:
            // A crop that leaves every pixel where it is changes nothing.
            if (!node->rect.contains(node->input->extent))
                return std::nullopt;
            node = node->input.get();
            continue;
        case ImageNode::Kind::Bitmap:
            if (!isDirectFormat(node->bitmap.format()))
                return std::nullopt;
            placed.bitmap = node->bitmap;
            return placed;
        default:
            return std::nullopt;
        }
    }
    return std::nullopt;
}

std::optional<bool> CpuRendering::renderDirectly(const ImageNode& root, const Rect& rect, Bitmap& out)
{
    if (!isDirectFormat(out.format()))
        return std::nullopt;
    const ImageNode* node = &root;
    Rect region = rect;
    for (;;) {
        switch (node->kind) {
        case ImageNode::Kind::Crop:
            if (!node->rect.contains(region))
                return std::nullopt;
            node = node->input.get();
            continue;
        case ImageNode::Kind::Transform: {
            const AffineTransform& t = node->transform;
            if (isTranslation(t)) {
                region = region.offsetBy(-t.tx, -t.ty);
                node = node->input.get();
                continue;
            }
            const ImageNode& input = *node->input;
            const bool reduces = t.b == 0 && t.c == 0 && t.a > 0 && t.d > 0 && t.a <= 0.5 && t.d <= 0.5;
            if (!reduces || input.kind != ImageNode::Kind::Bitmap || input.bitmap.format() != out.format())
                return std::nullopt;
            if (out.format() == Bitmap::Format::RGBA8)
                reduceByArea<uint8_t>(input.bitmap, t, region, out);
            else
                reduceByArea<float>(input.bitmap, t, region, out);
            return true;
        }
        case ImageNode::Kind::Bitmap:
            if (node->bitmap.format() != out.format())
                return std::nullopt;
            copyRegion(node->bitmap, region, out);
            return true;
        case ImageNode::Kind::Kernel:
            if (!node->computed || !node->computed->bounds().contains(region))
                return std::nullopt;
            return node->computed->render(region, out);
        default:
            return std::nullopt;
        }
    }
}

void CpuRendering::inBands(int count, const std::function<void(int begin, int end)>& work, int perCore)
{
    if (count <= 0)
        return;
    // Threads of our own rather than the library's pool: what they write is then seen to happen
    // before the join by every tool that checks threads, not only by the library's own locks.
    const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
    const int bands = std::min(count, cores * std::max(1, perCore));
    if (bands <= 1 || count < 16) {
        work(0, count);
        return;
    }
    std::atomic<int> next{0};
    std::exception_ptr failure;
    std::mutex failureMutex;
    auto run = [&] {
        try {
            for (int band = next++; band < bands; band = next++)
                work(int(int64_t(count) * band / bands), int(int64_t(count) * (band + 1) / bands));
        } catch (...) {
            std::lock_guard lock(failureMutex);
            if (!failure)
                failure = std::current_exception();
            next = bands; // the others stop after their band
        }
    };
    std::vector<std::thread> threads;
    threads.reserve(size_t(std::min(cores, bands)) - 1);
    for (int t = 1; t < std::min(cores, bands); ++t)
        threads.emplace_back(run);
    run();
    for (std::thread& thread : threads)
        thread.join();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace pf
