// Times the healing brush's inpainting: a 100-pixel spot on a 6000 x 4000 photo filled at full quality
// (the brush-up) and at preview quality (every step of a stroke), beside OpenCV's Telea inpainting of the
// same spot in the same run. Reports only; nothing here asserts a speed.
//
// Like with like: "whole photo" renders the repaired photo entire, as cv::inpaint returns it, from a
// photo-sized mask as cv::inpaint takes it, and from the mask cut to the spot as the healing brush hands
// it over (the filter works only around the spot either way: it finds the holes of a mask bitmap).
// "Spot" renders only the square around the spot that the stroke changed, which is what the live view
// draws. "New fill" makes the fill anew for every render, as each brush-up does; "corner" heals a spot that
// the photo's corner cuts open (the fill marches into it).

#include "Classes/Filters/FilterLibrary.h"
#include "Classes/Filters/OVInpaintingFilter.h"
#include "Platform/Image/Bitmap.h"
#include "Platform/Image/Image.h"
#include "Platform/Image/RenderContext.h"
#include "bench/BenchRun.h"
#include "bench/PhotoBenchSupport.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QImage>
#include <cmath>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/photo.hpp>

using namespace pf;

namespace {

constexpr int PhotoWidth = 6000;
constexpr int PhotoHeight = 4000;
constexpr double SpotDiameter = 100;
// On the cheek of the portrait scaled to the photo's size; y up.
constexpr double SpotX = 2340, SpotY = 2900;
// In the photo's upper left corner, a fifth of it beyond the photo's edges.
constexpr double CornerX = 20, CornerY = PhotoHeight - 20;

const Bitmap& photo()
{
    static const Bitmap bitmap = [] {
        QImage image(QStringLiteral(GLIMORA_TESTDATA_DIR "/portrait-512.png"));
        if (image.isNull()) {
            image = QImage(64, 64, QImage::Format_RGBA8888_Premultiplied);
            image.fill(QColor(200, 160, 140));
        }
        return bench::scaledBitmap(image, PhotoWidth, PhotoHeight);
    }();
    return bitmap;
}

// White in a spot, black elsewhere; rows top-down as bitmaps store them.
Bitmap maskOfSpotAt(double cx, double cy)
{
    Bitmap mask(PhotoWidth, PhotoHeight, Bitmap::Format::Gray8);
    for (int row = 0; row < PhotoHeight; ++row) {
        const double y = PhotoHeight - row - 0.5;
        if (std::abs(y - cy) > SpotDiameter)
            continue;
        uint8_t* line = mask.mutableRow(row);
        for (int x = 0; x < PhotoWidth; ++x)
            line[x] = std::hypot(x + 0.5 - cx, y - cy) <= SpotDiameter / 2 ? 255 : 0;
    }
    return mask;
}

const Bitmap& spotMask()
{
    static const Bitmap bitmap = maskOfSpotAt(SpotX, SpotY);
    return bitmap;
}

const Bitmap& cornerMask()
{
    static const Bitmap bitmap = maskOfSpotAt(CornerX, CornerY);
    return bitmap;
}

RenderContext& context()
{
    static RenderContext context(QStringLiteral("inpainting bench"));
    return context;
}

// The spot and its border: what one brush step of that size changes (size + 100 around its centre).
Rect spotRect()
{
    const double side = SpotDiameter + 100;
    return Rect(SpotX - side / 2, SpotY - side / 2, side, side);
}

// The mask as a photo-sized picture (as cv::inpaint takes it), or cut to the spot's square, as the healing
// brush hands over the mask of its stroke.
Image inpainted(bool preview, bool maskCutToSpot = false, const Bitmap& spot = spotMask())
{
    OVInpaintingFilter filter;
    filter.setInputImage(Image::fromBitmap(photo()));
    const Image mask = Image::fromBitmap(spot);
    filter.setInputMaskImage(maskCutToSpot ? mask.imageByCroppingToRect(spotRect()) : mask);
    filter.setInputRadius(SpotDiameter);
    filter.setPreviewQuality(preview);
    return filter.outputImage();
}

void render(benchmark::State& state, const Image& image, const Rect& rect)
{
    Bitmap out(int(rect.width()), int(rect.height()), Bitmap::Format::RGBA8);
    // Once before timing: the programs compile and the photo is uploaded on the first render only.
    if (!context().render(image, rect, out)) {
        state.SkipWithError("render failed");
        return;
    }
    for (auto _ : state) {
        if (!context().render(image, rect, out)) {
            state.SkipWithError("render failed");
            return;
        }
        benchmark::DoNotOptimize(out.data());
    }
}

// A new fill for every render, as each brush-up makes one: nothing a render keeps with its recipe (the
// marching fill's pixels) carries over to the next.
void renderNewFills(benchmark::State& state, const Bitmap& spot)
{
    const Rect whole(0, 0, PhotoWidth, PhotoHeight);
    Bitmap out(PhotoWidth, PhotoHeight, Bitmap::Format::RGBA8);
    if (!context().render(inpainted(false, false, spot), whole, out)) {
        state.SkipWithError("render failed");
        return;
    }
    for (auto _ : state) {
        if (!context().render(inpainted(false, false, spot), whole, out)) {
            state.SkipWithError("render failed");
            return;
        }
        benchmark::DoNotOptimize(out.data());
    }
}

// How every figure here is taken: wall time in milliseconds, over at least two seconds of runs.
void overTwoSeconds(benchmark::internal::Benchmark* registered)
{
    registered->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
}

void BM_InpaintingFullQualityWholePhoto(benchmark::State& state)
{
    render(state, inpainted(false), Rect(0, 0, PhotoWidth, PhotoHeight));
}
BENCHMARK(BM_InpaintingFullQualityWholePhoto)->Apply(overTwoSeconds);

void BM_InpaintingFullQualityWholePhotoMaskCutToSpot(benchmark::State& state)
{
    render(state, inpainted(false, true), Rect(0, 0, PhotoWidth, PhotoHeight));
}
BENCHMARK(BM_InpaintingFullQualityWholePhotoMaskCutToSpot)->Apply(overTwoSeconds);

void teleaWholePhoto(benchmark::State& state, const Bitmap& spot)
{
    cv::Mat rgba(PhotoHeight, PhotoWidth, CV_8UC4, const_cast<uint8_t*>(photo().data()));
    cv::Mat source;
    cv::cvtColor(rgba, source, cv::COLOR_RGBA2RGB);
    const cv::Mat mask(PhotoHeight, PhotoWidth, CV_8UC1, const_cast<uint8_t*>(spot.data()));
    cv::Mat out;
    for (auto _ : state) {
        cv::inpaint(source, mask, out, 5, cv::INPAINT_TELEA);
        benchmark::DoNotOptimize(out.data);
    }
}

void BM_OpenCVTeleaWholePhoto(benchmark::State& state)
{
    teleaWholePhoto(state, spotMask());
}
BENCHMARK(BM_OpenCVTeleaWholePhoto)->Apply(overTwoSeconds);

void BM_InpaintingFullQualityNewFillWholePhoto(benchmark::State& state)
{
    renderNewFills(state, spotMask());
}
BENCHMARK(BM_InpaintingFullQualityNewFillWholePhoto)->Apply(overTwoSeconds);

void BM_InpaintingFullQualityNewFillCornerWholePhoto(benchmark::State& state)
{
    renderNewFills(state, cornerMask());
}
BENCHMARK(BM_InpaintingFullQualityNewFillCornerWholePhoto)->Apply(overTwoSeconds);

void BM_OpenCVTeleaCornerWholePhoto(benchmark::State& state)
{
    teleaWholePhoto(state, cornerMask());
}
BENCHMARK(BM_OpenCVTeleaCornerWholePhoto)->Apply(overTwoSeconds);

void BM_InpaintingFullQualitySpot(benchmark::State& state)
{
    render(state, inpainted(false), spotRect());
}
BENCHMARK(BM_InpaintingFullQualitySpot)->Apply(overTwoSeconds);

void BM_InpaintingPreviewSpot(benchmark::State& state)
{
    render(state, inpainted(true), spotRect());
}
BENCHMARK(BM_InpaintingPreviewSpot)->Apply(overTwoSeconds);

void BM_InpaintingPreviewWholePhoto(benchmark::State& state)
{
    render(state, inpainted(true), Rect(0, 0, PhotoWidth, PhotoHeight));
}
BENCHMARK(BM_InpaintingPreviewWholePhoto)->Apply(overTwoSeconds);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    FilterLibrary::registerAll();
    return runBenchmarksAsAsked(argc, argv);
}
