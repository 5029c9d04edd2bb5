// Times the image engine on photo-sized work. Reports only; nothing here asserts a speed.
// Peak memory is the process's high-water mark: it is honest only for a benchmark run in a process of
// its own, as bench_report runs them.

#include "Bench/Bench.h"
#include "Platform/Image/Bitmap.h"
#include "Platform/Image/BuiltinFilters.h"
#include "Platform/Image/CpuKernelRenderer.h"
#include "Platform/Image/Filter.h"
#include "Platform/Image/Image.h"
#include "Platform/Image/ImageFile.h"
#include "Platform/Image/Kernel.h"
#include "Platform/Image/RenderContext.h"
#include "Platform/Image/RenderStatistics.h"
#include "Platform/Image/Vector.h"
#include "bench/BenchRun.h"
#include "bench/EngineSwitches.h"
#include "bench/PhotoBenchSupport.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <random>
#include <vector>

using namespace pf;

namespace {

using bench::floatNoisePhoto;
using bench::PhotoHeight;
using bench::PhotoWidth;

const Bitmap& bytePhoto()
{
    static const Bitmap bitmap = bench::noise(PhotoWidth, PhotoHeight, Bitmap::Format::RGBA8, 1);
    return bitmap;
}

Kernel makeKernel(const char* text)
{
    auto kernels = Kernel::kernelsWithString(QString::fromUtf8(text));
    return kernels.empty() ? Kernel() : kernels.front();
}

const Kernel& gainKernel()
{
    static const Kernel k = makeKernel(kernelTexts::Bench::BenchGain);
    return k;
}

Image blur(const Image& input, double radius)
{
    static const Kernel k = makeKernel(kernelTexts::Bench::BenchBlur);
    ApplyOptions options;
    options.definition = input.definition().extent();
    options.regionOfInterest = [radius](int, const Rect& r) { return r.insetBy(-radius, 0); };
    return k.apply({QVariant::fromValue(input), radius}, options);
}

Image gain(const Image& input, double g)
{
    ApplyOptions options;
    options.definition = input.definition().extent();
    return gainKernel().apply({QVariant::fromValue(input), g}, options);
}

// The same arithmetic as the gain kernel in eight threads, from the same floats into the same floats.
void BM_PlainLoopGain(benchmark::State& state)
{
    bench::plainLoopGain(state, floatNoisePhoto(), 8);
}
BENCHMARK(BM_PlainLoopGain)->Unit(benchmark::kMillisecond)->UseRealTime();

// What the gain kernel cannot beat: the same bytes copied from the same floats, in eight threads.
void BM_MemoryCopy(benchmark::State& state)
{
    const Bitmap& input = floatNoisePhoto();
    std::vector<float> out(size_t(PhotoWidth) * PhotoHeight * 4);
    const unsigned threads = 8;
    for (auto _ : state) {
        const size_t bytes = input.byteCount();
        bench::inParallel(threads, [&](unsigned t) {
            const size_t from = bytes * t / threads / 16 * 16, to = bytes * (t + 1) / threads / 16 * 16;
            std::memcpy(reinterpret_cast<uint8_t*>(out.data()) + from, input.data() + from, to - from);
        });
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_MemoryCopy)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_KernelGain(benchmark::State& state, Bitmap::Format format)
{
    RenderContext context;
    const Image image = gain(Image::fromBitmap(floatNoisePhoto()), 1.1);
    // Into a buffer made once, as the plain loop does; the first render uploads and compiles.
    Bitmap out(PhotoWidth, PhotoHeight, format);
    context.render(image, image.extent(), out);
    for (auto _ : state) {
        context.render(image, image.extent(), out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * PhotoWidth * PhotoHeight);
}
BENCHMARK_CAPTURE(BM_KernelGain, float, Bitmap::Format::RGBAf)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_KernelGain, bytes, Bitmap::Format::RGBA8)->Unit(benchmark::kMillisecond)->UseRealTime();

// A chain of curves on the CPU, each raising every channel to an exponent of its own: `exponents` of them
// take turns at every pixel (the last of them repeated where there are fewer than six), as fused colour
// stages do.
void BM_KernelCurvesOnCpu(benchmark::State& state)
{
    const int exponents = int(state.range(0));
    const float all[] = {2.2f, 1.0f / 2.4f, 1.3f, 0.8f, 1.6f, 0.6f};
    float e[6];
    for (int i = 0; i < 6; ++i)
        e[i] = all[std::min(i, exponents - 1)];
    static const Kernel k = makeKernel(kernelTexts::Bench::BenchCurves);
    CpuKernelRenderer::setUse(CpuKernelRenderer::Use::Always);
    RenderContext context;
    ApplyOptions options;
    const Image source = Image::fromBitmap(floatNoisePhoto());
    options.definition = source.extent();
    const Image image = k.apply({QVariant::fromValue(source), QVariant::fromValue(Vector(e[0], e[1], e[2])),
                                 QVariant::fromValue(Vector(e[3], e[4], e[5]))},
                                options);
    Bitmap out(PhotoWidth, PhotoHeight, Bitmap::Format::RGBA8);
    context.render(image, image.extent(), out);
    for (auto _ : state) {
        context.render(image, image.extent(), out);
        benchmark::DoNotOptimize(out.data());
    }
    CpuKernelRenderer::setUse(CpuKernelRenderer::Use::OnSoftwareRasterizer);
    state.SetItemsProcessed(state.iterations() * PhotoWidth * PhotoHeight);
}
BENCHMARK(BM_KernelCurvesOnCpu)->Arg(4)->Arg(5)->Arg(6)->Unit(benchmark::kMillisecond)->UseRealTime();

// As a slider makes it: a new recipe for every render, with a new value.
void BM_KernelGainFresh(benchmark::State& state)
{
    RenderContext context;
    const Image source = Image::fromBitmap(floatNoisePhoto());
    Bitmap out(PhotoWidth, PhotoHeight, Bitmap::Format::RGBAf);
    context.render(gain(source, 1.1), source.extent(), out);
    int step = 0;
    for (auto _ : state) {
        const Image image = gain(source, 1.0 + 0.01 * (step++ % 20));
        context.render(image, image.extent(), out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * PhotoWidth * PhotoHeight);
}
BENCHMARK(BM_KernelGainFresh)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TenNodeRecipeTiled(benchmark::State& state)
{
    RenderContext context;
    Image image = Image::fromBitmap(bytePhoto());
    for (int i = 0; i < 3; ++i)
        image = gain(blur(image, 2), 1.0 + i * 0.01);
    image = image.imageByCroppingToRect(Rect(0, 0, PhotoWidth, PhotoHeight))
                .imageByCompositingOverImage(Image::fromBitmap(bytePhoto()));
    for (auto _ : state) {
        auto out = context.render(image, Rect(0, 0, PhotoWidth, PhotoHeight), Bitmap::Format::RGBA8);
        benchmark::DoNotOptimize(out);
    }
    bench::reportPeakMemory(state);
}
BENCHMARK(BM_TenNodeRecipeTiled)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The photo fitted into 1024 x 1024 is 1024 x 683: that is what is rendered.
void BM_FiveNodeRecipeInteractive(benchmark::State& state)
{
    RenderContext context;
    const Image source = Image::fromBitmap(bytePhoto());
    const double scale = 1024.0 / PhotoWidth;
    Image image = source.imageByApplyingTransform(AffineTransform::scale(scale, scale));
    image = gain(blur(gain(image, 1.05), 3), 0.98).imageByCompositingOverImage(image);
    const Rect fitted(0, 0, 1024, std::round(PhotoHeight * scale));
    Bitmap out(int(fitted.width()), int(fitted.height()), Bitmap::Format::RGBA8);
    context.render(image, fitted, out);
    for (auto _ : state) {
        context.render(image, fitted, out);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_FiveNodeRecipeInteractive)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CompileKernelText(benchmark::State& state)
{
    int serial = 0;
    for (auto _ : state) {
        // A new text each time, so the text cache does not answer.
        const QString text = QStringLiteral("kernel vec4 k%1(sampler s, float a) {\n"
                                            "  vec4 c = sample(s, samplerCoord(s));\n"
                                            "  return vec4(pow(c.rgb, vec3(a)), c.a); }")
                                 .arg(serial++);
        auto kernels = Kernel::kernelsWithString(text);
        benchmark::DoNotOptimize(kernels);
    }
}
BENCHMARK(BM_CompileKernelText)->Unit(benchmark::kMillisecond);

// Decoding a 6000 x 4000 JPEG, blurring it (sigma 20) and holding the result in memory: the peak memory
// of the whole, each side in a process of its own. The peer blurs with the pyramid of the Gaussian
// benchmarks (bench_builtin_filters), which matches ours in accuracy.
QString testPhotoPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/photo-6000x4000.jpg");
}

// A photo-like picture: smooth gradients and fine noise, as a camera gives.
bool writeTestPhoto(const QString& path)
{
    QImage image(PhotoWidth, PhotoHeight, QImage::Format_RGB888);
    std::mt19937 random(5);
    std::uniform_int_distribution<int> noise(-12, 12);
    for (int y = 0; y < PhotoHeight; ++y) {
        uchar* row = image.scanLine(y);
        for (int x = 0; x < PhotoWidth; ++x) {
            const int base[3] = {x * 255 / PhotoWidth, y * 255 / PhotoHeight,
                                 int(128 + 100 * std::sin(x * 0.002) * std::cos(y * 0.003))};
            for (int c = 0; c < 3; ++c)
                row[x * 3 + c] = uchar(std::clamp(base[c] + noise(random), 0, 255));
        }
    }
    return image.save(path, "jpeg", 90);
}

void BM_DecodeBlurResult_Ours(benchmark::State& state)
{
    RenderContext context;
    for (auto _ : state) {
        const Image photo = Image::fromFile(testPhotoPath());
        FilterPtr blur = Filter::create(QStringLiteral("CIGaussianBlur"));
        blur->setValue(QVariant::fromValue(photo), QStringLiteral("inputImage"));
        blur->setValue(20.0, QStringLiteral("inputRadius"));
        const Image result = blur->outputImage().imageByCroppingToRect(photo.extent());
        auto out = context.render(result, photo.extent(), Bitmap::Format::RGBA8);
        benchmark::DoNotOptimize(out);
    }
    bench::reportPeakMemory(state);
}
BENCHMARK(BM_DecodeBlurResult_Ours)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void BM_DecodeBlurResult_OpenCV(benchmark::State& state)
{
    for (auto _ : state) {
        const cv::Mat photo = cv::imread(testPhotoPath().toStdString(), cv::IMREAD_COLOR);
        cv::Mat a, b, c, out;
        cv::pyrDown(photo, a);
        cv::pyrDown(a, b);
        cv::pyrDown(b, c);
        cv::GaussianBlur(c, c, cv::Size(0, 0), std::sqrt((20.0 * 20.0 - 42.0) / 64.0));
        cv::pyrUp(c, b, b.size());
        cv::pyrUp(b, a, a.size());
        cv::pyrUp(a, out, photo.size());
        benchmark::DoNotOptimize(out.data);
    }
    bench::reportPeakMemory(state);
}
BENCHMARK(BM_DecodeBlurResult_OpenCV)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "--write-test-photo") == 0)
        return writeTestPhoto(testPhotoPath()) ? 0 : 1;
    // Made in a process of its own, so that making it counts in no benchmark's memory.
    if (!QFileInfo::exists(testPhotoPath()))
        QProcess::execute(QCoreApplication::applicationFilePath(), {QStringLiteral("--write-test-photo")});
    registerBuiltinFilters();
    bench::applyEngineSwitches();
    return runBenchmarksAsAsked(argc, argv);
}
