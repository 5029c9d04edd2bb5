// Times the mask filters on a 2000 x 1500 mask (and the photo-reading ones on the portrait scaled to that
// size), with OpenCV's morphology beside the morphology filters on the same pixels in the same run.
// Reports only; nothing here asserts a speed.

#include "Classes/Filters/FilterLibrary.h"
#include "Platform/Image/Bitmap.h"
#include "Platform/Image/Filter.h"
#include "Platform/Image/Image.h"
#include "Platform/Image/RenderContext.h"
#include "Platform/Image/Vector.h"
#include "bench/BenchRun.h"
#include "bench/PhotoBenchSupport.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QImage>
#include <cmath>
#include <functional>
#include <vector>

#ifdef GLIMORA_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

using namespace pf;

namespace {

constexpr int Width = 2000;
constexpr int Height = 1500;

// A painted mask as a retouch leaves it: a few broad brush strokes with feathered edges (15 pixels),
// covering about a third of the picture, with small holes left unpainted inside them.
const Bitmap& maskBitmap()
{
    static const Bitmap bitmap = [] {
        struct Stroke
        {
            double x1, y1, x2, y2, radius;
        };
        const Stroke strokes[] = {{300, 400, 900, 500, 180},
                                  {1100, 300, 1500, 900, 150},
                                  {600, 1000, 1300, 1100, 200},
                                  {1600, 1200, 1800, 500, 120}};
        const double holes[][3] = {{600, 450, 20}, {1300, 600, 12}, {900, 1050, 25}, {1700, 900, 15}};
        Bitmap mask(Width, Height, Bitmap::Format::RGBA8);
        uint8_t* data = mask.mutableData();
        for (int y = 0; y < Height; ++y) {
            for (int x = 0; x < Width; ++x) {
                double v = 0;
                for (const Stroke& s : strokes) {
                    const double dx = s.x2 - s.x1, dy = s.y2 - s.y1;
                    const double t =
                        std::clamp(((x - s.x1) * dx + (y - s.y1) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
                    const double d = std::hypot(x - s.x1 - t * dx, y - s.y1 - t * dy);
                    v = std::max(v, std::clamp((s.radius - d) / 15.0, 0.0, 1.0));
                }
                for (const auto& h : holes) {
                    if (std::hypot(x - h[0], y - h[1]) < h[2])
                        v = 0;
                }
                uint8_t* p = data + (size_t(y) * Width + x) * 4;
                p[0] = p[1] = p[2] = uint8_t(std::lround(v * 255));
                p[3] = 255;
            }
        }
        return mask;
    }();
    return bitmap;
}

const Bitmap& photoBitmap()
{
    static const Bitmap bitmap = [] {
        const Bitmap portrait =
            bench::scaledPicture(QStringLiteral(GLIMORA_TESTDATA_DIR "/portrait-512.png"), Width, Height);
        return portrait.isNull() ? maskBitmap() : portrait;
    }();
    return bitmap;
}

RenderContext& context()
{
    static RenderContext context(QStringLiteral("mask filter bench"));
    return context;
}

void renderFilter(benchmark::State& state, const FilterPtr& filter)
{
    const Image image = filter->value(OutputImageKey).value<Image>();
    const Rect rect = image.extent().intersected(Rect(0, 0, Width, Height)).integral();
    Bitmap out(int(rect.width()), int(rect.height()), Bitmap::Format::RGBA8);
    for (auto _ : state) {
        if (!context().render(image, rect, out)) {
            state.SkipWithError("render failed");
            return;
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * int64_t(rect.width() * rect.height()));
}

struct Case
{
    const char* filter;
    std::vector<std::pair<const char*, QVariant>> values;
    bool photo = false; // "inputImage" is the photo, not the mask
};

QVariant image(const Bitmap& bitmap)
{
    return QVariant::fromValue(Image::fromBitmap(bitmap));
}

void registerFilters()
{
    const QVariant mask = image(maskBitmap()), photo = image(photoBitmap());
    const QVariant p1 = QVariant::fromValue(Vector(700, 900)), p2 = QVariant::fromValue(Vector(900, 800));
    const std::vector<Case> cases{
        {"GMColorMaskDilateCircleFilter", {}},
        {"GMColorMaskDilateMaxFilter", {}},
        {"GMColorMaskErodeCircleFilter", {}},
        {"GMColorMaskErodeMinFilter", {}},
        {"GMColorMaskFillHolesFilter", {}},
        {"GMDilateCircleFilter", {}},
        {"GMFillHoles22Filter", {}},
        {"GMFillHolesBigFilter", {}},
        {"GMMaskFillHolesAdjustableFilter", {{"inputMode", 4.0}}},
        {"GMColorMaskBorderCutFilter", {{"inputImageEdges", photo}}},
        {"GMColorMaskInvertFilter", {}},
        {"GMColorMaskSkinBasedOnLumErrFilter", {}, true},
        {"GMColorAtPointFilter", {{"inputPoint", QVariant::fromValue(Vector(0.5, 0.7))}}, true},
        {"GMFillFromBorderFilter", {{"inputMask", mask}}, true},
        {"GMFillSkinFilter", {{"inputMask", mask}}, true},
        {"GMMaskBasedOnColorRangeFilter", {{"inputColorImage", photo}}, true},
        {"GMMaskBasedOnHueSmoothFilter", {{"inputColorImage", photo}}, true},
        {"OVGradientSmoother", {{"inputGradient", mask}}, true},
        {"OVImproveSolution", {{"inputMask", mask}, {"inputMode", 0.0}}, true},
        {"GMAutoBrushFilter",
         {{"inputOriginalImage", photo}, {"inputPoint1", p1}, {"inputPoint2", p2}, {"inputSize", 150.0}},
         true},
        {"GMAutoBrushSkinFilter",
         {{"inputEdgeImage", mask}, {"inputPoint1", p1}, {"inputPoint2", p2}, {"inputSize", 300.0}},
         true},
        {"GMAutoBrushHairFilter",
         {{"inputEdgeImage", mask}, {"inputPoint1", p1}, {"inputPoint2", p2}, {"inputSize", 300.0}},
         true},
        {"GMAutoPseudoSegmentationFilter",
         {{"inputBlurredImage", photo}, {"inputPoint1", p1}, {"inputPoint2", p2}, {"inputSize", 150.0}},
         true},
    };
    for (const Case& c : cases) {
        FilterPtr filter = Filter::create(QString::fromLatin1(c.filter));
        if (!filter)
            continue;
        filter->setDefaults();
        filter->setValue(c.photo ? photo : mask, c.filter == QLatin1String("GMInnerCutFilter")
                                                     ? QStringLiteral("inputMaskImage")
                                                     : QStringLiteral("inputImage"));
        for (const auto& [key, value] : c.values)
            filter->setValue(value, QString::fromLatin1(key));
        benchmark::RegisterBenchmark(c.filter,
                                     [filter](benchmark::State& state) { renderFilter(state, filter); })
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->MinTime(1.0);
    }
}

#ifdef GLIMORA_HAVE_OPENCV

cv::Mat maskMat()
{
    cv::Mat rgba(Height, Width, CV_8UC4, const_cast<uint8_t*>(maskBitmap().data()));
    cv::Mat grey;
    cv::cvtColor(rgba, grey, cv::COLOR_RGBA2GRAY);
    return grey;
}

void openCV(benchmark::State& state, const std::function<void(const cv::Mat&, cv::Mat&)>& operation)
{
    const cv::Mat source = maskMat();
    cv::Mat out;
    for (auto _ : state) {
        operation(source, out);
        benchmark::DoNotOptimize(out.data);
    }
    state.SetItemsProcessed(state.iterations() * Width * Height);
}

void registerOpenCV()
{
    const cv::Mat square = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(7, 7));
    const cv::Mat disc = cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(7, 7));
    const cv::Mat closing = cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(45, 45));
    const std::vector<std::pair<const char*, std::function<void(const cv::Mat&, cv::Mat&)>>> peers{
        {"OpenCV dilate 7x7 square", [=](const cv::Mat& s, cv::Mat& o) { cv::dilate(s, o, square); }},
        {"OpenCV erode 7x7 disc", [=](const cv::Mat& s, cv::Mat& o) { cv::erode(s, o, disc); }},
        // Closing with a 45-pixel disc fills holes up to the fill filters' reach.
        {"OpenCV close 45x45 disc",
         [=](const cv::Mat& s, cv::Mat& o) { cv::morphologyEx(s, o, cv::MORPH_CLOSE, closing); }},
    };
    for (const auto& [name, operation] : peers)
        benchmark::RegisterBenchmark(name, [operation](benchmark::State& state) { openCV(state, operation); })
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->MinTime(1.0);
}

#endif

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    FilterLibrary::registerAll();
    registerFilters();
#ifdef GLIMORA_HAVE_OPENCV
    registerOpenCV();
#endif
    return runBenchmarksAsAsked(argc, argv);
}
