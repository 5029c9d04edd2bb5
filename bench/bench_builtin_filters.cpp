// The built-in filters beside OpenCV on the same input, run one after the other in one process. Each
// pair reports its times; the ratio (ours / OpenCV) is printed at the end. Reports only: nothing here
// asserts a speed.

#include "Bench/Bench.h"
#include "Platform/Image/Bitmap.h"
#include "Platform/Image/BuiltinFilters.h"
#include "Platform/Image/CpuKernelRenderer.h"
#include "Platform/Image/FaceDetector.h"
#include "Platform/Image/Filter.h"
#include "Platform/Image/Image.h"
#include "Platform/Image/Kernel.h"
#include "Platform/Image/RenderContext.h"
#include "Platform/Image/RenderStatistics.h"
#include "bench/BenchRun.h"
#include "bench/EngineSwitches.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>
#include <map>
#include <mutex>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/objdetect.hpp>
#include <random>
#include <string>

using namespace pf;

namespace {

constexpr int PhotoWidth = 6000;
constexpr int PhotoHeight = 4000;
constexpr int ReducedWidth = 1024;
const QString Portrait = QStringLiteral(GLIMORA_TESTDATA_DIR "/portrait-512.png");

// A photo-like input: smooth gradients with noise on top, opaque.
Bitmap photo(Bitmap::Format format)
{
    Bitmap bitmap(PhotoWidth, PhotoHeight, format);
    std::mt19937 random(1);
    std::uniform_real_distribution<float> noise(-0.1f, 0.1f);
    for (int y = 0; y < PhotoHeight; ++y) {
        uint8_t* row = bitmap.mutableRow(y);
        for (int x = 0; x < PhotoWidth; ++x) {
            const float base[3] = {float(x) / PhotoWidth, float(y) / PhotoHeight, 0.5f};
            for (int c = 0; c < 4; ++c) {
                const float v = c == 3 ? 1.0f : std::clamp(base[c] + noise(random), 0.0f, 1.0f);
                if (format == Bitmap::Format::RGBAf)
                    reinterpret_cast<float*>(row)[x * 4 + c] = v;
                else
                    row[x * 4 + c] = uint8_t(v * 255.0f + 0.5f);
            }
        }
    }
    return bitmap;
}

const Bitmap& floatPhoto()
{
    static const Bitmap bitmap = photo(Bitmap::Format::RGBAf);
    return bitmap;
}

const Bitmap& bytePhoto()
{
    static const Bitmap bitmap = photo(Bitmap::Format::RGBA8);
    return bitmap;
}

cv::Mat matOf(const Bitmap& bitmap)
{
    const int type = bitmap.format() == Bitmap::Format::RGBAf ? CV_32FC4 : CV_8UC4;
    return cv::Mat(bitmap.height(), bitmap.width(), type, const_cast<uint8_t*>(bitmap.data()),
                   bitmap.bytesPerRow());
}

Image filtered(const QString& name, const QVariantMap& inputs)
{
    FilterPtr filter = Filter::create(name);
    filter->setDefaults();
    for (auto it = inputs.begin(); it != inputs.end(); ++it)
        filter->setValue(*it, it.key());
    return filter->outputImage();
}

// Mean seconds per iteration of each benchmark, for the ratios.
std::map<std::string, double>& seconds()
{
    static std::map<std::string, double> times;
    return times;
}

void record(benchmark::State& state, const std::string& key, double total)
{
    if (state.iterations() > 0)
        seconds()[key] = total / double(state.iterations());
}

template <typename F> void timed(benchmark::State& state, const std::string& key, F work)
{
    double total = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        work();
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    record(state, key, total);
}

// Our renders include every pass from the uploaded source to pixels read back into memory, and a recipe
// made anew each time (as a changed setting makes one). "Warm": programs compiled and the source
// uploaded by a first render, as for a photo that is open.
template <typename Make>
void renderWarm(benchmark::State& state, const std::string& key, Make make, const Bitmap& source,
                Bitmap::Format format)
{
    RenderContext context;
    const Image input = Image::fromBitmap(source);
    const Rect extent = input.extent();
    Bitmap out(source.width(), source.height(), format, Bitmap::Fill::Uninitialized);
    context.render(make(input).imageByCroppingToRect(extent), extent, out);
    timed(state, key, [&] { context.render(make(input).imageByCroppingToRect(extent), extent, out); });
}

// The peer of the large Gaussian: a pyramid whose variances add up to sigma squared. Each pyrDown and
// pyrUp filters with [1 4 6 4 1] / 16 (variance 1 in the finer level's pixels): three levels down
// and up make 2 (1 + 4 + 16) = 42 input pixels squared; the blur at the coarsest level adds the rest.
void pyramidGaussian(const cv::Mat& input, cv::Mat& out, double sigma)
{
    cv::Mat a, b, c;
    cv::pyrDown(input, a);
    cv::pyrDown(a, b);
    cv::pyrDown(b, c);
    cv::GaussianBlur(c, c, cv::Size(0, 0), std::sqrt((sigma * sigma - 42.0) / 64.0));
    cv::pyrUp(c, b, b.size());
    cv::pyrUp(b, a, a.size());
    cv::pyrUp(a, out, input.size());
}

Image gaussianOf(const Image& input)
{
    return filtered("CIGaussianBlur", {{"inputImage", QVariant::fromValue(input)}, {"inputRadius", 20.0}});
}

void BM_GaussianSigma20_Ours(benchmark::State& state, bool floats)
{
    renderWarm(state, floats ? "gauss.float.ours" : "gauss.bytes.ours", gaussianOf,
               floats ? floatPhoto() : bytePhoto(), floats ? Bitmap::Format::RGBAf : Bitmap::Format::RGBA8);
}
BENCHMARK_CAPTURE(BM_GaussianSigma20_Ours, bytes, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_GaussianSigma20_Ours, float, true)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GaussianSigma20_OpenCVPyramid(benchmark::State& state, bool floats)
{
    const cv::Mat input = matOf(floats ? floatPhoto() : bytePhoto());
    cv::Mat out;
    timed(state, floats ? "gauss.float.opencv" : "gauss.bytes.opencv",
          [&] { pyramidGaussian(input, out, 20.0); });
}
BENCHMARK_CAPTURE(BM_GaussianSigma20_OpenCVPyramid, bytes, false)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_GaussianSigma20_OpenCVPyramid, float, true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The exact Gaussian, for scale: far slower than either of the above.
void BM_GaussianSigma20_OpenCVExact(benchmark::State& state)
{
    const cv::Mat input = matOf(floatPhoto());
    cv::Mat out;
    timed(state, "gauss.float.exact", [&] { cv::GaussianBlur(input, out, cv::Size(0, 0), 20.0); });
}
BENCHMARK(BM_GaussianSigma20_OpenCVExact)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void BM_Median3x3Bytes_Ours(benchmark::State& state)
{
    renderWarm(
        state, "median.ours",
        [](const Image& input) {
            return filtered("CIMedianFilter", {{"inputImage", QVariant::fromValue(input)}});
        },
        bytePhoto(), Bitmap::Format::RGBA8);
}
BENCHMARK(BM_Median3x3Bytes_Ours)->Unit(benchmark::kMillisecond)->UseRealTime();

// The median of a kernel's output, as effects take it (a gain, then the median), into 8-bit pixels.
void BM_Median3x3OfKernel_Ours(benchmark::State& state)
{
    static const Kernel gain =
        Kernel::kernelsWithString(QString::fromUtf8(kernelTexts::Bench::BenchPlainGain)).front();
    renderWarm(
        state, "median.kernel.ours",
        [](const Image& input) {
            ApplyOptions options;
            options.definition = input.extent();
            const Image brighter = gain.apply({QVariant::fromValue(input), 1.05}, options);
            return filtered("CIMedianFilter", {{"inputImage", QVariant::fromValue(brighter)}});
        },
        bytePhoto(), Bitmap::Format::RGBA8);
}
BENCHMARK(BM_Median3x3OfKernel_Ours)->Unit(benchmark::kMillisecond)->UseRealTime();

// cv::medianBlur in eight bands on all cores, each band reading one row beyond its edges.
void BM_Median3x3Bytes_OpenCVBands(benchmark::State& state)
{
    const cv::Mat input = matOf(bytePhoto());
    cv::Mat out(input.size(), input.type());
    timed(state, "median.opencv", [&] {
        cv::parallel_for_(
            cv::Range(0, 8),
            [&](const cv::Range& bands) {
                for (int band = bands.start; band < bands.end; ++band) {
                    const int y0 = input.rows * band / 8, y1 = input.rows * (band + 1) / 8;
                    const int a = std::max(0, y0 - 1), z = std::min(input.rows, y1 + 1);
                    cv::Mat part;
                    cv::medianBlur(input.rowRange(a, z), part, 3);
                    part.rowRange(y0 - a, y1 - a).copyTo(out.rowRange(y0, y1));
                }
            },
            8);
    });
}
BENCHMARK(BM_Median3x3Bytes_OpenCVBands)->Unit(benchmark::kMillisecond)->UseRealTime();

// Reduction to 1024 pixels wide of a photo just decoded (8-bit): ours with empty caches, so that
// the upload and whatever reduced levels it makes are counted. The cached figure is for scale only.
const double ReduceScale = double(ReducedWidth) / PhotoWidth;
const Rect ReducedRect(0, 0, ReducedWidth, std::round(PhotoHeight* ReduceScale));

Image reducedOf(const Image& source)
{
    return filtered(
               "CIAffineTransform",
               {{"inputImage", QVariant::fromValue(source)},
                {"inputTransform", QVariant::fromValue(AffineTransform::scale(ReduceScale, ReduceScale))}})
        .imageByCroppingToRect(ReducedRect);
}

void BM_ReduceTo1024_OursUncached(benchmark::State& state)
{
    RenderContext context;
    Bitmap out(int(ReducedRect.width()), int(ReducedRect.height()), Bitmap::Format::RGBA8);
    context.render(reducedOf(Image::fromBitmap(bytePhoto())), ReducedRect, out);
    timed(state, "reduce.ours", [&] {
        context.clearCaches();
        context.render(reducedOf(Image::fromBitmap(bytePhoto())), ReducedRect, out);
    });
}
BENCHMARK(BM_ReduceTo1024_OursUncached)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReduceTo1024_OursCached(benchmark::State& state)
{
    RenderContext context;
    const Image reduced = reducedOf(Image::fromBitmap(bytePhoto()));
    Bitmap out(int(ReducedRect.width()), int(ReducedRect.height()), Bitmap::Format::RGBA8);
    context.render(reduced, ReducedRect, out);
    timed(state, "reduce.ours.cached", [&] { context.render(reduced, ReducedRect, out); });
}
BENCHMARK(BM_ReduceTo1024_OursCached)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReduceTo1024Lanczos_Ours(benchmark::State& state)
{
    RenderContext context;
    const Image source = Image::fromBitmap(bytePhoto());
    auto lanczos = [&] {
        return filtered("CILanczosScaleTransform",
                        {{"inputImage", QVariant::fromValue(source)}, {"inputScale", ReduceScale}})
            .imageByCroppingToRect(ReducedRect);
    };
    Bitmap out(int(ReducedRect.width()), int(ReducedRect.height()), Bitmap::Format::RGBA8);
    context.render(lanczos(), ReducedRect, out);
    timed(state, "reduce.lanczos", [&] { context.render(lanczos(), ReducedRect, out); });
}
BENCHMARK(BM_ReduceTo1024Lanczos_Ours)->Unit(benchmark::kMillisecond)->UseRealTime();

// The photo reduced to 1024 pixels across by OpenCV, with the given interpolation.
void reduceWithOpenCV(benchmark::State& state, const char* name, int interpolation)
{
    const cv::Mat input = matOf(bytePhoto());
    cv::Mat out;
    timed(state, name, [&] {
        cv::resize(input, out, cv::Size(int(ReducedRect.width()), int(ReducedRect.height())), 0, 0,
                   interpolation);
    });
}

void BM_ReduceTo1024Area_OpenCV(benchmark::State& state)
{
    reduceWithOpenCV(state, "reduce.opencv", cv::INTER_AREA);
}
BENCHMARK(BM_ReduceTo1024Area_OpenCV)->Unit(benchmark::kMillisecond)->UseRealTime();

// The like of ours: OpenCV's own Lanczos, on all cores into an 8-bit bitmap of the same size. Its kernel
// keeps eight taps along each axis whatever the reduction (and aliases); ours widens with the reduction
// so that nothing aliases: 37 taps along each axis at this one.
void BM_ReduceTo1024Lanczos_OpenCV(benchmark::State& state)
{
    reduceWithOpenCV(state, "reduce.opencv.lanczos", cv::INTER_LANCZOS4);
}
BENCHMARK(BM_ReduceTo1024Lanczos_OpenCV)->Unit(benchmark::kMillisecond)->UseRealTime();

// Face detection: ours includes rendering the grey working copy; the OpenCV column is the bare
// frontal-face cascade on a grey image reduced the same way (no eyes or mouth).
// The portrait as pixels: as it is, or enlarged to 4000 pixels high in the middle of a 6000 x 4000
// frame whose sides repeat its edges.
Image portraitAt(int height)
{
    const Image portrait = Image::fromFile(Portrait);
    if (height == 512)
        return portrait;
    const double k = height / 512.0;
    const Image framed =
        portrait.imageByApplyingTransform(AffineTransform::scale(k, k))
            .imageByClampingToExtent()
            .imageByApplyingTransform(AffineTransform::translation((height * 1.5 - height) / 2, 0));
    const Rect frame(0, 0, height * 1.5, height);
    const auto bitmap = RenderContext::shared()->render(framed, frame);
    return bitmap ? Image::fromBitmap(*bitmap) : Image();
}

// Both sides alike: the portrait as it is and enlarged, five detections of each.
void faceDetectionRuns(benchmark::internal::Benchmark* registered)
{
    registered->Arg(512)->Arg(4000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
}

void BM_FaceDetection_Ours(benchmark::State& state)
{
    if (!QFileInfo::exists(Portrait)) {
        state.SkipWithError("the shared test photos are not beside this checkout");
        return;
    }
    const int size = int(state.range(0));
    RenderContext context;
    const FaceDetector detector;
    const Image image = portraitAt(size);
    size_t found = 0;
    timed(state, "face.ours." + std::to_string(size),
          [&] { found = detector.features(image, &context).size(); });
    state.counters["faces"] = double(found);
}
BENCHMARK(BM_FaceDetection_Ours)->Apply(faceDetectionRuns);

void BM_FaceDetection_OpenCV(benchmark::State& state)
{
    if (!QFileInfo::exists(Portrait)) {
        state.SkipWithError("the shared test photos are not beside this checkout");
        return;
    }
    const int size = int(state.range(0));
    cv::CascadeClassifier cascade;
    for (const QString& folder : FaceDetector::defaultCascadeFolders())
        if (cascade.load((folder + "/haarcascade_frontalface_alt2.xml").toStdString()))
            break;
    const Image image = portraitAt(size);
    const auto bitmap = RenderContext::shared()->render(image, image.extent());
    const cv::Mat rgba = matOf(*bitmap);
    size_t found = 0;
    timed(state, "face.opencv." + std::to_string(size), [&] {
        cv::Mat grey, small, equalized;
        cv::cvtColor(rgba, grey, cv::COLOR_RGBA2GRAY);
        const double s = std::min(1.0, double(FaceDetector::WorkingSize) / std::max(grey.cols, grey.rows));
        cv::resize(grey, small, cv::Size(), s, s, cv::INTER_AREA);
        cv::equalizeHist(small, equalized);
        std::vector<cv::Rect> faces;
        cascade.detectMultiScale(equalized, faces, 1.08, 5);
        found = faces.size();
    });
    state.counters["faces"] = double(found);
}
BENCHMARK(BM_FaceDetection_OpenCV)->Apply(faceDetectionRuns);

// Means of this run, for a quick look; bench_report gives the medians of repeated runs.
void printRatios()
{
    const auto& t = seconds();
    auto ratio = [&](const char* label, const std::string& ours, const std::string& peer) {
        if (!t.count(ours) || !t.count(peer))
            return;
        std::printf("  %-44s %8.1f ms / %8.1f ms = %6.2f\n", label, t.at(ours) * 1e3, t.at(peer) * 1e3,
                    t.at(ours) / t.at(peer));
    };
    std::printf("\nOurs / OpenCV (means of this run):\n");
    ratio("Gaussian sigma 20, 8-bit, vs pyramid", "gauss.bytes.ours", "gauss.bytes.opencv");
    ratio("Gaussian sigma 20, float, vs pyramid", "gauss.float.ours", "gauss.float.opencv");
    ratio("3 x 3 median, 8-bit, vs 8 bands", "median.ours", "median.opencv");
    ratio("3 x 3 median of a kernel, vs 8 bands", "median.kernel.ours", "median.opencv");
    ratio("reduce to 1024, uncached, vs area", "reduce.ours", "reduce.opencv");
    ratio("reduce to 1024, cached, vs area", "reduce.ours.cached", "reduce.opencv");
    ratio("reduce to 1024, Lanczos, vs Lanczos", "reduce.lanczos", "reduce.opencv.lanczos");
    ratio("face detection, 512 px portrait", "face.ours.512", "face.opencv.512");
    ratio("face detection, 6000 x 4000 upscale", "face.ours.4000", "face.opencv.4000");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    registerBuiltinFilters();
    bench::applyEngineSwitches();
    runBenchmarksAsAsked(argc, argv);
    printRatios();
    return 0;
}
