// Times every effect of the catalogue composed over a photo, as the preview cache composes a layer:
// the content and composition graphs fed with the photo, the effect's hand-made mask and (for the
// tools that paint their own picture) an additional picture, then rendered to an 8-bit bitmap. At the
// preview size (1024 x 1024) and at 24 megapixels (6000 x 4000). Beside the skin smoothing, OpenCV's
// bilateral filter smooths the same preview photo, as the edge-aware smoothing a user could take
// instead. At 24 megapixels each effect is timed on the path the engine chooses and with every kernel
// in passes, one after the other, through its own mask and through a mask over the whole photo. Reports
// only; nothing here asserts a speed.

#include "Classes/Filters/FilterLibrary.h"
#include "Classes/ToolObjects/BundleReader.h"
#include "Classes/ToolObjects/GMBlueprintCatalog.h"
#include "Classes/ToolObjects/GMBlueprintCheck.h"
#include "Classes/ToolObjects/GMEffectBlueprint.h"
#include "Classes/ToolObjects/GMEffectComposer.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Image/Bitmap.h"
#include "Platform/Image/CpuKernelRenderer.h"
#include "Platform/Image/Image.h"
#include "Platform/Image/RenderContext.h"
#include "bench/PhotoBenchSupport.h"

#include <benchmark/benchmark.h>

#include <QColorSpace>
#include <QGuiApplication>
#include <QImage>
#include <cstring>
#include <map>
#include <opencv2/imgproc.hpp>

using namespace pf;

namespace {

RenderContext& context()
{
    static RenderContext context(QStringLiteral("effects bench"));
    return context;
}

GMBlueprintCatalog& catalog()
{
    static GMBlueprintCatalog* c = [] {
        auto* made = new GMBlueprintCatalog;
        BundleReader::loadAllPluginsInPhotoToolCatalog(*made, Bundle::main());
        return made;
    }();
    return *c;
}

// A picture scaled to the size, as a bitmap in memory (the photo as the application holds it).
Image scaledPicture(const QString& path, int width, int height)
{
    QImage picture(path);
    if (picture.isNull())
        return Image();
    picture.setColorSpace(QColorSpace());
    return Image::fromBitmap(bench::scaledBitmap(picture, width, height));
}

const Image& photo(int width, int height)
{
    static std::map<std::pair<int, int>, Image> photos;
    auto it = photos.find({width, height});
    if (it == photos.end())
        it = photos
                 .emplace(
                     std::pair{width, height},
                     scaledPicture(QStringLiteral(GLIMORA_TESTDATA_DIR "/portrait-512.png"), width, height))
                 .first;
    return it->second;
}

// The paths a recipe can take where the only OpenGL is a software rasterizer: the one the engine
// chooses, and every kernel in passes.
enum class Path
{
    Chosen,
    Passes
};

// Sets the path for the life of a benchmark.
struct PathScope
{
    explicit PathScope(Path path)
    {
        CpuKernelRenderer::setUse(path == Path::Passes ? CpuKernelRenderer::Use::Never
                                                       : CpuKernelRenderer::Use::OnSoftwareRasterizer);
    }
    ~PathScope() { CpuKernelRenderer::setUse(CpuKernelRenderer::Use::OnSoftwareRasterizer); }
};

// The mask an effect is composed through: the one made for it, where it was painted, or one over the
// whole photo, where the effect computes every pixel.
enum class Mask
{
    Painted,
    WholePhoto
};

// A white picture of the same kind as the painted masks (8-bit, as read from their files).
Image wholePhotoMask(int width, int height)
{
    Bitmap white(width, height, Bitmap::Format::RGBA8, Bitmap::Fill::Uninitialized);
    std::memset(white.mutableData(), 0xff, white.byteCount());
    return Image::fromBitmap(white);
}

void composeEffect(benchmark::State& state, const QString& name, int width, int height,
                   Path path = Path::Chosen, Mask masked = Mask::Painted)
{
    const PathScope scope(path);
    const auto effect = catalog().effectBlueprintWithName(name);
    const Image& picture = photo(width, height);
    Image mask = scaledPicture(QStringLiteral(GLIMORA_EFFECT_MASKS "/") + name + QStringLiteral(".png"),
                               width, height);
    if (masked == Mask::WholePhoto && !mask.isNull())
        mask = wholePhotoMask(width, height);
    if (!effect || picture.isNull() || mask.isNull()) {
        state.SkipWithError("the effect, the photo or the mask is missing");
        return;
    }
    const Rect extent(0, 0, width, height);
    const Image additional = GMBlueprintCheck::standInAdditionalImage(*effect, extent);
    Bitmap out(width, height, Bitmap::Format::RGBA8);
    // Programs compile on first use; that is not what a stroke's update costs. Nor is the first render
    // of a kind of recipe, which takes the CPU while both paths are measured in the background: the
    // next takes the faster, once the measure is in (until then it would be timed against the measure
    // using the same cores).
    context().render(GMEffectComposer::composedImage(*effect, picture, mask, additional), extent, out);
    RenderContext::waitForPathMeasures();
    const double cpu = bench::processCpuSeconds();
    for (auto _ : state) {
        const Image composed = GMEffectComposer::composedImage(*effect, picture, mask, additional);
        if (!context().render(composed, extent, out)) {
            state.SkipWithError("render failed");
            return;
        }
        benchmark::DoNotOptimize(out.data());
    }
    // The CPU time of every thread of the process (the rasterizer's included): on a busy machine it
    // says more about the work than the time it took.
    state.counters["cpu_ms"] = (bench::processCpuSeconds() - cpu) * 1e3 / double(state.iterations());
    state.SetItemsProcessed(state.iterations() * qint64(width) * height);
}

void openCVBilateral(benchmark::State& state)
{
    QImage picture(QStringLiteral(GLIMORA_TESTDATA_DIR "/portrait-512.png"));
    const QImage scaled = picture.scaled(1024, 1024, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                              .convertToFormat(QImage::Format_RGB888);
    const cv::Mat source(scaled.height(), scaled.width(), CV_8UC3, const_cast<uchar*>(scaled.constBits()),
                         size_t(scaled.bytesPerLine()));
    cv::Mat result;
    for (auto _ : state) {
        // A window as wide as the smoothing's base (1% of the width, three sigmas each side).
        cv::bilateralFilter(source, result, 61, 25, 10);
        benchmark::DoNotOptimize(result.data);
    }
    state.SetItemsProcessed(state.iterations() * 1024 * 1024);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("PF_RESOURCES_DIR"))
        qputenv("PF_RESOURCES_DIR", GLIMORA_RESOURCES);
    QGuiApplication app(argc, argv);
    FilterLibrary::registerAll();
    QStringList names = catalog().effectBlueprintNames();
    names.sort();
    for (const QString& name : names)
        benchmark::RegisterBenchmark(
            ("Preview1024/" + name).toStdString().c_str(),
            [name](benchmark::State& state) { composeEffect(state, name, 1024, 1024); })
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    benchmark::RegisterBenchmark("Preview1024/OpenCVBilateral", openCVBilateral)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    // At 24 megapixels both ways, side by side: the path chosen for the device and all in passes, each
    // through the effect's own mask and through a mask over the whole photo, which spares the CPU no
    // tile.
    const auto at24MP = [](const QString& group, const QString& name, Path path, Mask mask) {
        benchmark::RegisterBenchmark((group + u'/' + name).toStdString().c_str(),
                                     [name, path, mask](benchmark::State& state) {
                                         composeEffect(state, name, 6000, 4000, path, mask);
                                     })
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(1);
    };
    for (const QString& name : names) {
        at24MP(QStringLiteral("Photo24MP"), name, Path::Chosen, Mask::Painted);
        at24MP(QStringLiteral("Photo24MPPasses"), name, Path::Passes, Mask::Painted);
    }
    for (const QString& name : names) {
        at24MP(QStringLiteral("Photo24MPWholeMask"), name, Path::Chosen, Mask::WholePhoto);
        at24MP(QStringLiteral("Photo24MPWholeMaskPasses"), name, Path::Passes, Mask::WholePhoto);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
