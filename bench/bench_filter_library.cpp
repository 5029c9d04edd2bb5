// Times the filter library's heaviest neighbourhood filters on a photo-sized input, beside OpenCV's
// corresponding filters on the same pixels in the same run. Reports only; nothing here asserts a speed.

#include "Classes/Filters/FilterLibrary.h"
#include "Platform/Image/Bitmap.h"
#include "Platform/Image/Filter.h"
#include "Platform/Image/Image.h"
#include "Platform/Image/RenderContext.h"
#include "bench/BenchRun.h"
#include "bench/PhotoBenchSupport.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QImage>
#include <cstring>

#ifdef GLIMORA_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

using namespace pf;

namespace {

using bench::PhotoHeight;
using bench::PhotoWidth;

// The shared portrait scaled up to 6000 x 4000 (a photo's structure: smooth skin, hair, edges), or a
// noisy synthetic picture when the test photos are not there.
const Bitmap& photo()
{
    static const Bitmap bitmap = [] {
        const Bitmap portrait = bench::scaledPicture(QStringLiteral(GLIMORA_TESTDATA_DIR "/portrait-512.png"),
                                                     PhotoWidth, PhotoHeight);
        return portrait.isNull() ? bench::byteNoise(PhotoWidth, PhotoHeight, 1) : portrait;
    }();
    return bitmap;
}

RenderContext& context()
{
    static RenderContext context(QStringLiteral("filter library bench"));
    return context;
}

// The photo's Canny edges, rendered once, as the edge-aware blur's steering image.
const Bitmap& edges()
{
    static const Bitmap bitmap = [] {
        FilterPtr canny = Filter::create(QStringLiteral("GMCannyEdgeDetectFilter"));
        canny->setDefaults();
        canny->setValue(0.09, QStringLiteral("inputEdgeThreshold"));
        canny->setValue(QVariant::fromValue(Image::fromBitmap(photo())), QStringLiteral("inputImage"));
        const Image image = canny->value(OutputImageKey).value<Image>();
        return context()
            .render(image, Rect(0, 0, PhotoWidth, PhotoHeight), Bitmap::Format::RGBA8)
            .value_or(Bitmap());
    }();
    return bitmap;
}

void renderFilter(benchmark::State& state, const FilterPtr& filter)
{
    const Image image = filter->value(OutputImageKey).value<Image>();
    Bitmap out(PhotoWidth, PhotoHeight, Bitmap::Format::RGBA8);
    for (auto _ : state) {
        if (!context().render(image, Rect(0, 0, PhotoWidth, PhotoHeight), out)) {
            state.SkipWithError("render failed");
            return;
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * PhotoWidth * PhotoHeight);
}

void BM_EdgeAwareBlurRadius10(benchmark::State& state)
{
    FilterPtr filter = Filter::create(QStringLiteral("GMEdgeAwareBlurFilter"));
    filter->setDefaults();
    filter->setValue(10.0, QStringLiteral("inputBlurRadius"));
    filter->setValue(QVariant::fromValue(Image::fromBitmap(photo())), QStringLiteral("inputImage"));
    filter->setValue(QVariant::fromValue(Image::fromBitmap(edges())), QStringLiteral("inputEdgeImage"));
    renderFilter(state, filter);
}
BENCHMARK(BM_EdgeAwareBlurRadius10)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_IteratedMedian5Passes(benchmark::State& state)
{
    FilterPtr filter = Filter::create(QStringLiteral("GMBlurIteratedMedianFilter"));
    filter->setValue(5.0, QStringLiteral("inputIntensity"));
    filter->setValue(QVariant::fromValue(Image::fromBitmap(photo())), QStringLiteral("inputImage"));
    renderFilter(state, filter);
}
BENCHMARK(BM_IteratedMedian5Passes)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

#ifdef GLIMORA_HAVE_OPENCV

cv::Mat photoMat(int type)
{
    cv::Mat rgba(PhotoHeight, PhotoWidth, CV_8UC4, const_cast<uint8_t*>(photo().data()));
    if (type == CV_8UC4)
        return rgba.clone();
    cv::Mat rgb;
    cv::cvtColor(rgba, rgb, cv::COLOR_RGBA2RGB);
    return rgb;
}

// The same reach (diameter 21) and spatial sigma (10 / 3) as the edge-aware blur; colour sigma 25 of 255.
void BM_OpenCVBilateralDiameter21(benchmark::State& state)
{
    const cv::Mat source = photoMat(CV_8UC3);
    cv::Mat out;
    for (auto _ : state) {
        cv::bilateralFilter(source, out, 21, 25.0, 10.0 / 3.0);
        benchmark::DoNotOptimize(out.data);
    }
    state.SetItemsProcessed(state.iterations() * PhotoWidth * PhotoHeight);
}
BENCHMARK(BM_OpenCVBilateralDiameter21)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_OpenCVMedianBlur3x3Times5(benchmark::State& state)
{
    const cv::Mat source = photoMat(CV_8UC4);
    cv::Mat a, b;
    for (auto _ : state) {
        cv::medianBlur(source, a, 3);
        for (int pass = 1; pass < 5; ++pass) {
            cv::medianBlur(a, b, 3);
            std::swap(a, b);
        }
        benchmark::DoNotOptimize(a.data);
    }
    state.SetItemsProcessed(state.iterations() * PhotoWidth * PhotoHeight);
}
BENCHMARK(BM_OpenCVMedianBlur3x3Times5)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

#endif

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    FilterLibrary::registerAll();
    return runBenchmarksAsAsked(argc, argv);
}
