// The built-in filters beside OpenCV on the same input, run one after the other in one process. Each
// pair reports its times; the ratio (ours / OpenCV) is printed at the end. Reports only: nothing here
// asserts a speed.

#include "Platform/Image/Bitmap.h"
#include "Platform/Image/BuiltinFilters.h"
#include "Platform/Image/FaceDetector.h"
#include "Platform/Image/Filter.h"
#include "Platform/Image/Image.h"
#include "Platform/Image/RenderContext.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>
#include <map>
#include <mutex>
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

// Our renders include every pass from the uploaded source to pixels read back into memory. The
// source upload is cached by the context after the first render, as it is for an open photo.
void BM_GaussianBlurSigma20_Ours(benchmark::State& state)
{
    RenderContext context;
    const Image source = Image::fromBitmap(floatPhoto());
    const Image blurred =
        filtered("CIGaussianBlur", {{"inputImage", QVariant::fromValue(source)}, {"inputRadius", 20.0}})
            .imageByCroppingToRect(source.extent());
    Bitmap out(PhotoWidth, PhotoHeight, Bitmap::Format::RGBAf, Bitmap::Fill::Uninitialized);
    context.render(blurred, source.extent(), out);
    timed(state, "gauss.ours", [&] { context.render(blurred, source.extent(), out); });
}
BENCHMARK(BM_GaussianBlurSigma20_Ours)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_GaussianBlurSigma20_OpenCV(benchmark::State& state)
{
    const cv::Mat input = matOf(floatPhoto());
    cv::Mat out;
    timed(state, "gauss.opencv", [&] { cv::GaussianBlur(input, out, cv::Size(0, 0), 20.0); });
}
BENCHMARK(BM_GaussianBlurSigma20_OpenCV)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

void BM_Median3x3Bytes_Ours(benchmark::State& state)
{
    RenderContext context;
    const Image source = Image::fromBitmap(bytePhoto());
    const Image median = filtered("CIMedianFilter", {{"inputImage", QVariant::fromValue(source)}});
    Bitmap out(PhotoWidth, PhotoHeight, Bitmap::Format::RGBA8, Bitmap::Fill::Uninitialized);
    context.render(median, source.extent(), out);
    timed(state, "median.ours", [&] { context.render(median, source.extent(), out); });
}
BENCHMARK(BM_Median3x3Bytes_Ours)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_Median3x3Bytes_OpenCV(benchmark::State& state)
{
    const cv::Mat input = matOf(bytePhoto());
    cv::Mat out;
    timed(state, "median.opencv", [&] { cv::medianBlur(input, out, 3); });
}
BENCHMARK(BM_Median3x3Bytes_OpenCV)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

// Reduction to 1024 pixels wide. Lanczos reads every source pixel anew each time. The affine
// reduction reads a smoothed level of the source texture; the caches are cleared each time so that
// the upload and the levels are counted, as they are for a photo seen for the first time.
const double ReduceScale = double(ReducedWidth) / PhotoWidth;
const Rect ReducedRect(0, 0, ReducedWidth, std::round(PhotoHeight* ReduceScale));

void BM_ReduceTo1024Lanczos_Ours(benchmark::State& state)
{
    RenderContext context;
    const Image source = Image::fromBitmap(floatPhoto());
    const Image reduced = filtered("CILanczosScaleTransform",
                                   {{"inputImage", QVariant::fromValue(source)}, {"inputScale", ReduceScale}})
                              .imageByCroppingToRect(ReducedRect);
    Bitmap out(int(ReducedRect.width()), int(ReducedRect.height()), Bitmap::Format::RGBAf);
    context.render(reduced, ReducedRect, out);
    timed(state, "reduce.lanczos", [&] { context.render(reduced, ReducedRect, out); });
}
BENCHMARK(BM_ReduceTo1024Lanczos_Ours)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_ReduceTo1024Affine_OursUncached(benchmark::State& state)
{
    RenderContext context;
    const Image source = Image::fromBitmap(floatPhoto());
    const Image reduced =
        filtered("CIAffineTransform",
                 {{"inputImage", QVariant::fromValue(source)},
                  {"inputTransform", QVariant::fromValue(AffineTransform::scale(ReduceScale, ReduceScale))}})
            .imageByCroppingToRect(ReducedRect);
    Bitmap out(int(ReducedRect.width()), int(ReducedRect.height()), Bitmap::Format::RGBAf);
    context.render(reduced, ReducedRect, out);
    timed(state, "reduce.affine", [&] {
        context.clearCaches();
        context.render(reduced, ReducedRect, out);
    });
}
BENCHMARK(BM_ReduceTo1024Affine_OursUncached)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// The same with the source's texture and levels kept, as for a photo that is open.
void BM_ReduceTo1024Affine_OursCached(benchmark::State& state)
{
    RenderContext context;
    const Image source = Image::fromBitmap(floatPhoto());
    const Image reduced =
        filtered("CIAffineTransform",
                 {{"inputImage", QVariant::fromValue(source)},
                  {"inputTransform", QVariant::fromValue(AffineTransform::scale(ReduceScale, ReduceScale))}})
            .imageByCroppingToRect(ReducedRect);
    Bitmap out(int(ReducedRect.width()), int(ReducedRect.height()), Bitmap::Format::RGBAf);
    context.render(reduced, ReducedRect, out);
    timed(state, "reduce.affine.cached", [&] { context.render(reduced, ReducedRect, out); });
}
BENCHMARK(BM_ReduceTo1024Affine_OursCached)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

void BM_ReduceTo1024Area_OpenCV(benchmark::State& state)
{
    const cv::Mat input = matOf(floatPhoto());
    cv::Mat out;
    timed(state, "reduce.opencv", [&] {
        cv::resize(input, out, cv::Size(int(ReducedRect.width()), int(ReducedRect.height())), 0, 0,
                   cv::INTER_AREA);
    });
}
BENCHMARK(BM_ReduceTo1024Area_OpenCV)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

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
BENCHMARK(BM_FaceDetection_Ours)
    ->Arg(512)
    ->Arg(4000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

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
BENCHMARK(BM_FaceDetection_OpenCV)
    ->Arg(512)
    ->Arg(4000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

void printRatios()
{
    const auto& t = seconds();
    auto ratio = [&](const char* label, const std::string& ours, const std::string& peer,
                     const char* target) {
        if (!t.count(ours) || !t.count(peer))
            return;
        std::printf("  %-44s %8.1f ms / %8.1f ms = %6.2f   (target %s)\n", label, t.at(ours) * 1e3,
                    t.at(peer) * 1e3, t.at(ours) / t.at(peer), target);
    };
    std::printf("\nOurs / OpenCV:\n");
    ratio("Gaussian blur, sigma 20, 6000 x 4000 float", "gauss.ours", "gauss.opencv", "<= 0.25");
    ratio("3 x 3 median, 6000 x 4000 8-bit", "median.ours", "median.opencv", "<= 2");
    ratio("reduce to 1024 wide, Lanczos vs area", "reduce.lanczos", "reduce.opencv", "<= 2");
    ratio("reduce to 1024 wide, affine (uncached) vs area", "reduce.affine", "reduce.opencv", "<= 2");
    ratio("reduce to 1024 wide, affine (cached) vs area", "reduce.affine.cached", "reduce.opencv", "<= 2");
    ratio("face detection, 512 px portrait", "face.ours.512", "face.opencv.512", "report");
    ratio("face detection, 6000 x 4000 upscale", "face.ours.4000", "face.opencv.4000", "report");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    registerBuiltinFilters();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printRatios();
    return 0;
}
