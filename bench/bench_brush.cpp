// Painting a mask: one brush step (a 60-pixel brush moving 10 pixels) on 6000 x 4000 and 1000 x 750
// canvases, for the draw brush and the smart brush, beside OpenCV drawing the same soft segment into an
// 8-bit mask on the CPU; the click of the iris brush; and the brush-up of a 2000-pixel stroke, building
// the stroke's container alone and together with storing it in the layer's mask. Reports only: nothing
// here asserts a speed.

#include "Classes/Filters/FilterLibrary.h"
#include "Classes/ToolObjects/OVBrushFramework/GMBrushHandler.h"
#include "Classes/ToolObjects/OVBrushFramework/OVBrushPathImage.h"
#include "Classes/ToolObjects/OVBrushFramework/OVIrisMaskBrush.h"
#include "Classes/ToolObjects/OVBrushFramework/OVMaskBrush.h"
#include "Platform/Foundation/FileSystem.h"
#include "Platform/Image/Bitmap.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/RenderContext.h"
#include "bench/BenchRun.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cmath>
#include <map>
#include <opencv2/imgproc.hpp>

using namespace pf;

namespace {

constexpr double BrushSize = 60;
constexpr double StepLength = 10;
const QString Portrait = QStringLiteral(GLIMORA_TESTDATA_DIR "/portrait-512.png");

// The portrait scaled up to the canvas and rendered, as the stack below a layer is when it is painted on.
Image photo(int width, int height)
{
    static std::map<std::pair<int, int>, Image> photos;
    auto& image = photos[{width, height}];
    if (image.isNull()) {
        const Image portrait = Image::fromFile(Portrait);
        const Image scaled = portrait.imageByApplyingTransform(
            AffineTransform::scale(width / portrait.extent().width(), height / portrait.extent().height()));
        auto bitmap =
            RenderContext::shared()->render(scaled, Rect(0, 0, width, height), Bitmap::Format::RGBA8);
        image = bitmap ? Image::fromBitmap(*bitmap) : Image();
    }
    return image;
}

// A stored mask: a float grey bitmap, 0.2 everywhere.
Image storedMask(int width, int height)
{
    Bitmap bitmap(width, height, Bitmap::Format::Grayf);
    float* p = reinterpret_cast<float*>(bitmap.mutableData());
    std::fill(p, p + size_t(width) * height, 0.2f);
    return Image::fromBitmap(bitmap);
}

OVBrush brush(qint32 type)
{
    OVBrush b;
    b.type = type;
    b.size = BrushSize;
    b.smoothness = 0.4;
    b.pressure = 0.8;
    b.kernelName = QStringLiteral("skinBrush");
    return b;
}

// The step positions: back and forth along a line through the canvas's middle, 10 pixels at a time.
Point stepPoint(int64_t step, int width)
{
    const int64_t span = int64_t((width * 0.6) / StepLength);
    const int64_t i = step % (2 * span);
    const double x = width * 0.2 + StepLength * double(i < span ? i : 2 * span - i);
    return Point(x / width, 0.5);
}

void BM_BrushStep(benchmark::State& state)
{
    const int width = int(state.range(0)), height = int(state.range(1));
    const qint32 type = qint32(state.range(2));
    OVMaskBrush maskBrush;
    maskBrush.setStartImage(storedMask(width, height));
    maskBrush.setBackgroundImage(photo(width, height));
    maskBrush.brushDownAtPoint(brush(type), stepPoint(0, width));
    // The first steps upload the canvas and compile the kernel; what is measured is the steady state.
    int64_t step = 0;
    for (; step < 4; ++step)
        maskBrush.processPoint(stepPoint(step, width));
    for (auto _ : state) {
        maskBrush.processPoint(stepPoint(step++, width));
        benchmark::DoNotOptimize(maskBrush.dirtyRect());
    }
    state.SetLabel(type == OVBrush::SmartBrush ? "smart brush" : "draw brush");
}

// Brush-down and the first dot, which also bring the stroke's sources to the renderer.
void BM_FirstStep(benchmark::State& state)
{
    const int width = int(state.range(0)), height = int(state.range(1));
    const Image start = storedMask(width, height), background = photo(width, height);
    for (auto _ : state) {
        OVMaskBrush maskBrush;
        maskBrush.setStartImage(start);
        maskBrush.setBackgroundImage(background);
        maskBrush.brushDownAtPoint(brush(OVBrush::Draw), stepPoint(0, width));
        maskBrush.processPoint(stepPoint(0, width));
        benchmark::DoNotOptimize(maskBrush.dirtyRect());
    }
}

// The same segment on the CPU with OpenCV: an anti-aliased round line of the brush's width into the
// 8-bit mask, its soft edge made by blurring the step rectangle.
void BM_OpenCVSegment(benchmark::State& state)
{
    const int width = int(state.range(0)), height = int(state.range(1));
    cv::Mat mask(height, width, CV_8UC1, cv::Scalar(51));
    int64_t step = 0;
    for (auto _ : state) {
        const Point a = stepPoint(step, width), b = stepPoint(step + 1, width);
        ++step;
        const cv::Point p1(int(a.x * width), height / 2), p2(int(b.x * width), height / 2);
        const int side = int(BrushSize) + 100;
        const cv::Rect roi = cv::Rect(std::min(p1.x, p2.x) - side / 2, height / 2 - side / 2,
                                      std::abs(p2.x - p1.x) + side, side) &
                             cv::Rect(0, 0, width, height);
        cv::Mat stroke(roi.size(), CV_8UC1, cv::Scalar(0));
        cv::line(stroke, p1 - roi.tl(), p2 - roi.tl(), cv::Scalar(204), int(BrushSize * 0.6), cv::LINE_AA);
        cv::GaussianBlur(stroke, stroke, cv::Size(0, 0), BrushSize * 0.4 / 3);
        cv::Mat target = mask(roi);
        cv::max(target, stroke, target);
        benchmark::DoNotOptimize(mask.data);
    }
    state.SetLabel("OpenCV line + blur");
}

// A 2000-pixel stroke (200 steps of 10 pixels) on a 6000 x 4000 mask, then its brush-up: building the
// container only (recipes), or building it and storing it in the layer's mask, which renders the whole
// new mask once.
void BM_BrushUp(benchmark::State& state)
{
    const bool store = state.range(0) != 0;
    constexpr int width = 6000, height = 4000;
    auto first = std::make_shared<OVContentContainer>();
    first->imageContainer()->setImage(storedMask(width, height));
    OVBrushPathImage path(Size(width, height), first);
    for (auto _ : state) {
        state.PauseTiming();
        GMBrushHandler handler;
        handler.setBackgroundImage(photo(width, height));
        handler.setStartMaskImage(path.contentContainer()->imageContainer()->image());
        handler.brushDownAtPoint(brush(OVBrush::Draw), Point(0.3, 0.3), 0);
        std::vector<Point> points;
        for (int i = 0; i <= 200; ++i)
            points.emplace_back((1800 + i * StepLength) / width, 0.3);
        handler.processPoints(points);
        state.ResumeTiming();
        const OVContentContainerPtr stroke = handler.brushUp();
        if (store)
            path.addContentContainerWithRect(stroke, Rect(0, 0, 1, 1));
        benchmark::DoNotOptimize(stroke.get());
    }
    state.SetLabel(store ? "brush-up and store" : "brush-up");
}

// A click of the iris brush on an eye of the portrait scaled to the canvas: finding the iris in the
// pixels around the click (the photo's bitmap is made at brush-down, outside the measure) and setting
// up its mask; a brush of 120 pixels, so that the search reaches 96 pixels out.
void BM_IrisClick(benchmark::State& state)
{
    const int width = int(state.range(0)), height = int(state.range(1));
    const double scale = width / 512.0;
    OVIrisMaskBrush click;
    click.setStartImage(storedMask(width, height));
    click.setBackgroundImage(photo(width, height));
    click.setBrushSize(120);
    OVBrush b = brush(OVBrush::Click);
    b.size = 120;
    const Point eye(204.0 * scale / width, 1 - 99.5 * (height / 512.0) / height);
    click.brushDownAtPoint(b, eye);
    for (auto _ : state) {
        click.processPoint(eye);
        benchmark::DoNotOptimize(click.image());
    }
    state.SetLabel("iris click");
}

} // namespace

BENCHMARK(BM_IrisClick)->Args({512, 512})->Args({1000, 750})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BrushStep)
    ->Args({6000, 4000, OVBrush::Draw})
    ->Args({1000, 750, OVBrush::Draw})
    ->Args({6000, 4000, OVBrush::SmartBrush})
    ->Args({1000, 750, OVBrush::SmartBrush})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstStep)->Args({6000, 4000})->Args({1000, 750})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenCVSegment)->Args({6000, 4000})->Args({1000, 750})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BrushUp)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir workingArea;
    FileSystem::setApplicationSupportDirectoryForTesting(workingArea.path());
    FilterLibrary::registerAll();
    runBenchmarksAsAsked(argc, argv);
    OVBrushPathImage::waitForPendingWrites();
    return 0;
}
