#pragma once

#include "Platform/Image/Bitmap.h"
#include "Platform/Image/Filter.h"
#include "Platform/Image/Image.h"
#include "Platform/Image/RenderContext.h"

#include <QThread>

#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

namespace filtertest {

// The image moved by (x, y).
inline pf::Image at(const pf::Image& image, double x, double y)
{
    return image.imageByApplyingTransform(pf::AffineTransform::translation(x, y));
}

// How many of `count` threads, started together, found `check` true.
inline int threadsThatHold(int count, const std::function<bool()>& check)
{
    std::atomic<int> good{0};
    std::vector<QThread*> threads;
    for (int i = 0; i < count; ++i)
        threads.push_back(QThread::create([&] {
            if (check())
                ++good;
        }));
    for (QThread* t : threads)
        t->start();
    for (QThread* t : threads) {
        t->wait();
        delete t;
    }
    return good.load();
}

// A float RGBA image whose pixel (x, y), y counted upward, is f(x, y).
template <typename F> pf::Image floatImage(int width, int height, F f)
{
    pf::Bitmap bitmap(width, height, pf::Bitmap::Format::RGBAf);
    for (int y = 0; y < height; ++y) {
        float* row = reinterpret_cast<float*>(bitmap.mutableRow(height - 1 - y));
        for (int x = 0; x < width; ++x) {
            const std::array<float, 4> c = f(x, y);
            std::memcpy(row + x * 4, c.data(), 16);
        }
    }
    return pf::Image::fromBitmap(bitmap);
}

// An asymmetric picture: red grows with x, green with y.
inline pf::Image marker(int width, int height)
{
    return floatImage(width, height, [&](int x, int y) {
        return std::array<float, 4>{(x + 0.5f) / float(width), (y + 0.5f) / float(height), 0.25f, 1.0f};
    });
}

inline pf::Image randomImage(int width, int height, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    return floatImage(width, height, [&](int, int) {
        const float a = unit(random);
        return std::array<float, 4>{unit(random) * a, unit(random) * a, unit(random) * a, a};
    });
}

inline pf::RenderContext& context()
{
    static pf::RenderContext context(QStringLiteral("filter tests"));
    return context;
}

struct Pixels
{
    pf::Bitmap bitmap;
    pf::Rect rect;
    // The pixel whose lower-left corner is (x, y) in working coordinates.
    std::array<float, 4> at(int x, int y) const
    {
        std::array<float, 4> c{};
        bitmap.pixel(x - int(rect.minX()), int(rect.maxY()) - 1 - y, c.data());
        return c;
    }
};

inline Pixels render(const pf::Image& image, const pf::Rect& rect)
{
    auto bitmap = context().render(image, rect, pf::Bitmap::Format::RGBAf);
    return {bitmap ? *bitmap : pf::Bitmap(), rect};
}

inline pf::Image output(const pf::FilterPtr& filter)
{
    return filter->value(pf::OutputImageKey).value<pf::Image>();
}

// The largest difference between a render with small tiles and one without.
inline float tiledDifference(const pf::Image& image, const pf::Rect& rect)
{
    static pf::RenderContext tiled(QStringLiteral("tiled filter tests"));
    tiled.setMaximumTileSize(37);
    auto a = context().render(image, rect, pf::Bitmap::Format::RGBAf);
    auto b = tiled.render(image, rect, pf::Bitmap::Format::RGBAf);
    if (!a || !b)
        return 1e9f;
    const float* p = reinterpret_cast<const float*>(a->data());
    const float* q = reinterpret_cast<const float*>(b->data());
    float worst = 0;
    for (size_t i = 0; i < a->byteCount() / 4; ++i)
        worst = std::max(worst, std::abs(p[i] - q[i]));
    return worst;
}

} // namespace filtertest
