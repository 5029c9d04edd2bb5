#pragma once

// What the engine and filter benchmarks share: synthetic photographs of noise, the test portrait scaled to
// a photograph's size, the plain eight-thread loop the engine's passes are measured against, and the
// peak memory counter.

#include "Platform/Image/Bitmap.h"
#include "bench/BenchStatistics.h"

#include <benchmark/benchmark.h>

#include <QImage>
#include <random>
#include <thread>
#include <vector>

namespace bench {

// Opaque noise in bytes: every colour channel `low` plus a random number below `span`, seeded so that
// runs compare.
inline pf::Bitmap byteNoise(int width, int height, unsigned seed, unsigned low = 0, unsigned span = 256)
{
    pf::Bitmap bitmap(width, height, pf::Bitmap::Format::RGBA8);
    std::mt19937 random(seed);
    uint8_t* data = bitmap.mutableData();
    for (size_t i = 0; i < bitmap.byteCount(); ++i)
        data[i] = (i % 4 == 3) ? 255 : uint8_t(low + random() % span);
    return bitmap;
}

// Opaque noise over the whole range, in floats or in bytes.
inline pf::Bitmap noise(int width, int height, pf::Bitmap::Format format, unsigned seed)
{
    if (format != pf::Bitmap::Format::RGBAf)
        return byteNoise(width, height, seed);
    pf::Bitmap bitmap(width, height, format);
    std::mt19937 random(seed);
    float* f = reinterpret_cast<float*>(bitmap.mutableData());
    for (size_t i = 0; i < size_t(width) * size_t(height) * 4; ++i)
        f[i] = (i % 4 == 3) ? 1.0f : float(random() % 1000) / 1000.0f;
    return bitmap;
}

// A picture stretched to the size, premultiplied, as the application holds a photo.
inline pf::Bitmap scaledBitmap(const QImage& image, int width, int height)
{
    return pf::Bitmap::fromQImage(image.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                      .convertToFormat(QImage::Format_RGBA8888_Premultiplied));
}

// The picture in the file stretched to the size; a null bitmap when the file cannot be read (the shared
// test photos are not beside every checkout).
inline pf::Bitmap scaledPicture(const QString& path, int width, int height)
{
    const QImage image(path);
    return image.isNull() ? pf::Bitmap() : scaledBitmap(image, width, height);
}

// The size of the photographs the engine benchmarks work on: 24 megapixels, as a camera gives.
constexpr int PhotoWidth = 6000;
constexpr int PhotoHeight = 4000;

// A photograph of noise in floats, made once.
inline const pf::Bitmap& floatNoisePhoto()
{
    static const pf::Bitmap bitmap = noise(PhotoWidth, PhotoHeight, pf::Bitmap::Format::RGBAf, 1);
    return bitmap;
}

// Runs `work(t)` for t in 0..threads-1, each on a thread of its own, and waits for them all.
template <class Work> void inParallel(unsigned threads, const Work& work)
{
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads; ++t)
        workers.emplace_back([&work, t] { work(t); });
    for (auto& w : workers)
        w.join();
}

// Times a gain over every pixel of a float photograph in `threads` threads, into a buffer made once:
// the floor any per-pixel pass of the engine is measured against.
inline void plainLoopGain(benchmark::State& state, const pf::Bitmap& input, unsigned threads)
{
    const size_t pixels = size_t(input.width()) * size_t(input.height());
    std::vector<float> out(pixels * 4);
    for (auto _ : state) {
        const float* src = reinterpret_cast<const float*>(input.data());
        inParallel(threads, [&](unsigned t) {
            for (size_t i = pixels * t / threads; i < pixels * (t + 1) / threads; ++i) {
                for (int c = 0; c < 3; ++c)
                    out[i * 4 + c] = src[i * 4 + c] * 1.1f + 0.01f;
                out[i * 4 + 3] = src[i * 4 + 3];
            }
        });
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * int64_t(pixels));
}

// The process's high-water mark as the "peak_MB" counter that bench_report reads.
inline void reportPeakMemory(benchmark::State& state)
{
    state.counters["peak_MB"] = residentPeakMB();
}

} // namespace bench
