#include "Platform/Image/RenderContext.h"

#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/SerialQueue.h"
#include "Platform/Image/CpuKernelRenderer.h"
#include "Platform/Image/CpuRendering.h"
#include "Platform/Image/GL/GLDevice.h"
#include "Platform/Image/GL/GLRenderer.h"
#include "Platform/Image/GL/GLThread.h"
#include "Platform/Image/ImageNode.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>
#include <unordered_set>

namespace pf {

// The OpenGL context and its thread are made when a render first needs passes: a context whose
// renders all run on the CPU (pixels in memory, the library paths) never holds one: on a software
// rasterizer a context costs tens of megabytes.
struct RenderContext::Private
{
    Private(const QString& label, RenderContext* owner) : label(label), owner(owner) {}

    // The GL thread, started on first use; false when no context could be made (logged once).
    bool start()
    {
        std::call_once(once, [this] {
            thread = std::make_unique<GLThread>(label);
            if (!thread->isValid()) {
                pf::error(QStringLiteral("Image rendering is unavailable: %1").arg(thread->failureReason()));
                return;
            }
            thread->run([this] { renderer = std::make_unique<GLRenderer>(); });
            started.store(true, std::memory_order_release);
        });
        return started.load(std::memory_order_acquire) && renderer;
    }
    QString failureReason() const { return thread ? thread->failureReason() : QString(); }

    // The recipe's translated kernels on the CPU, tile by tile into `sink` (or `destination`); what the
    // CPU cannot compute is rendered by the owner.
    bool renderOnCpu(const ImageNodePtr& root, const Rect& rect,
                     const std::function<void(int, int, int, int, const float*)>& sink,
                     const CpuKernelRenderer::Destination& destination = {nullptr, 0},
                     CpuKernelRenderer::Report* report = nullptr);
    // Where the passes run on a software rasterizer, the path a recipe takes: the one measured faster
    // for its kind, else the CPU; a large render of a kind not measured yet is measured (on the CPU
    // while it renders, then a part of it in passes).
    enum class Path
    {
        Cpu,
        CpuMeasured,
        Passes
    };
    Path choosePath(const ImageNodePtr& root, const Rect& rect);
    void measurePasses(const ImageNodePtr& root, const Rect& rect, double cpuSeconds,
                       const CpuKernelRenderer::Report& report);

    QString label;
    RenderContext* owner;
    std::once_flag once;
    std::atomic<bool> started{false};
    std::unique_ptr<GLThread> thread;
    std::unique_ptr<GLRenderer> renderer; // lives and dies on the GL thread
};

namespace {

float luminance(const float* p)
{
    return 0.2126f * p[0] + 0.7152f * p[1] + 0.0722f * p[2];
}

// Writes a tile of premultiplied RGBA floats (rows top-down) into a bitmap at (x, top): colour formats
// as they are, grey formats as the luminance of the colour over black.
void writeTile(Bitmap::Format format, uint8_t* base, size_t rowBytes, int x, int top, int w, int h,
               const float* rgba)
{
    for (int row = 0; row < h; ++row) {
        uint8_t* dst = base + rowBytes * size_t(top + row);
        const float* src = rgba + size_t(row) * size_t(w) * 4;
        if (format == Bitmap::Format::RGBAf) {
            std::memcpy(dst + size_t(x) * 16, src, size_t(w) * 16);
            continue;
        }
        if (format == Bitmap::Format::RGBA8) {
            CpuRendering::floatsToBytes(src, dst + size_t(x) * 4, w * 4);
            continue;
        }
        for (int i = 0; i < w; ++i) {
            const float v = luminance(src + size_t(i) * 4);
            if (format == Bitmap::Format::Grayf) {
                std::memcpy(dst + (size_t(x) + size_t(i)) * 4, &v, 4);
            } else if (format == Bitmap::Format::Gray8) {
                CpuRendering::floatsToBytes(&v, dst + size_t(x) + size_t(i), 1);
            } else {
                const uint16_t word = !(v > 0.0f) ? 0 : v >= 1.0f ? 65535 : uint16_t(v * 65535.0f + 0.5f);
                std::memcpy(dst + (size_t(x) + size_t(i)) * 2, &word, 2);
            }
        }
    }
}

} // namespace

bool RenderContext::Private::renderOnCpu(const ImageNodePtr& root, const Rect& rect,
                                         const std::function<void(int, int, int, int, const float*)>& sink,
                                         const CpuKernelRenderer::Destination& destination,
                                         CpuKernelRenderer::Report* report)
{
    return CpuKernelRenderer::render(
        root, rect, sink,
        [this](const ImageNodePtr& node, const Rect& part) {
            return owner->render(Image(node), part, Bitmap::Format::RGBAf);
        },
        destination, report);
}

namespace {

// The kinds of recipe being measured, and where: a context and a queue of their own, so that neither
// the render that asked nor any other waits for the passes' programs to compile. The render that asked
// took the CPU; the next of its kind takes the faster path.
struct Measuring
{
    std::mutex mutex;
    std::unordered_set<quint64> kinds;
    SerialQueue queue{QStringLiteral("path measuring")};
    RenderContext context{QStringLiteral("path measuring")};
};

Measuring& measuring()
{
    static auto* m = new Measuring; // never destroyed: a GL context must not be torn down at exit
    return *m;
}

bool beingMeasured(quint64 key)
{
    Measuring& m = measuring();
    std::lock_guard lock(m.mutex);
    return m.kinds.count(key) > 0;
}

} // namespace

void RenderContext::measureInBackground(const ImageNodePtr& root, const Rect& rect, double cpuSeconds,
                                        const CpuKernelRenderer::Report& report)
{
    const quint64 key = CpuKernelRenderer::signature(root);
    Measuring& m = measuring();
    {
        std::lock_guard lock(m.mutex);
        if (!m.kinds.insert(key).second)
            return;
    }
    m.queue.async([root, rect, cpuSeconds, report, key] {
        // Nobody waits for it: the cores go to renders somebody waits for first.
        const CpuRendering::BackgroundScope background;
        Measuring& m = measuring();
        m.context.d->measurePasses(root, rect, cpuSeconds, report);
        std::lock_guard lock(m.mutex);
        m.kinds.erase(key);
    });
}

void RenderContext::waitForPathMeasures()
{
    measuring().queue.waitUntilEmpty();
}

RenderContext::Private::Path RenderContext::Private::choosePath(const ImageNodePtr& root, const Rect& rect)
{
    // Forced (tests, benchmarks): nothing to weigh.
    if (CpuKernelRenderer::use() != CpuKernelRenderer::Use::OnSoftwareRasterizer)
        return Path::Cpu;
    const quint64 key = CpuKernelRenderer::signature(root);
    if (auto costs = CpuKernelRenderer::measuredCosts(key)) {
        // The CPU spares tiles where a blend's mask is 0, the passes do not: the CPU's cost is this
        // render's, by the share of it the masks spare. Sparing only lowers it, so the masks are scanned
        // only where the whole cost would lose (not for every render of a kind the CPU wins anyway).
        if (costs->followsMasks && !CpuKernelRenderer::prefersCpu(*costs))
            costs->cpu *= 1.0 - CpuKernelRenderer::maskedShare(root, rect);
        return CpuKernelRenderer::prefersCpu(*costs) ? Path::Cpu : Path::Passes;
    }
    if (beingMeasured(key))
        return Path::Cpu;
    // A small render takes the CPU unmeasured: the passes' programs would cost more to compile than a
    // choice could win. A large one (a saved picture, a whole stack) is worth a look at both ways.
    constexpr double MeasuredArea = 2048.0 * 2048.0;
    return rect.width() * rect.height() >= MeasuredArea ? Path::CpuMeasured : Path::Cpu;
}

void RenderContext::Private::measurePasses(const ImageNodePtr& root, const Rect& rect, double cpuSeconds,
                                           const CpuKernelRenderer::Report& report)
{
    // A square from the middle of the render, rendered three times each way: the first compiles the
    // programs and uploads the sources (and touches the CPU's memory), the faster of the others is the
    // cost. Both ways read a square whose pixels stay in the caches, so neither is flattered: the CPU's
    // whole render would be slower per pixel than the passes' square for a kernel that only moves
    // memory. The CPU's cost is never above what the whole render took. The recipe's CPU pixels (a
    // large blur's pyramid) were made by that render and are kept with the recipe, so the square's
    // renders find them made: what they took, spread over the render's pixels, is added to the
    // square's cost, as every render of a recipe built anew pays it (without it a recipe around a
    // large blur looked cheaper on the CPU than it was).
    // A render that computed some blend's background alone (its mask 0 there) costs what its mask makes
    // it cost, which a square from the middle does not tell (an unpainted middle would look almost
    // free), and recipes of its kind have other masks: its own time, as if no tile were spared (the
    // spared tiles taken as free, at most ten times), is the CPU's cost, and each render of the kind
    // takes off the share of it that its own masks spare (see choosePath).
    const double made = report.madeSeconds * 1e6 / (rect.width() * rect.height());
    const int width = int(std::min(1024.0, rect.width())), height = int(std::min(1024.0, rect.height()));
    const double pixels = double(width) * height;
    CpuKernelRenderer::PathCosts costs;
    costs.cpu = cpuSeconds * 1e6 / (rect.width() * rect.height());
    costs.followsMasks = report.maskedShare > 0;
    if (costs.followsMasks)
        costs.cpu /= std::max(0.1, 1.0 - report.maskedShare);
    costs.passes = std::numeric_limits<double>::infinity();
    Bitmap scratch(width, height, Bitmap::Format::RGBAf);
    if (!scratch.isNull() && start()) {
        const Rect sample(std::floor(rect.midX() - width / 2), std::floor(rect.midY() - height / 2), width,
                          height);
        GLRenderer::Target target;
        target.kind = GLRenderer::Target::Kind::Floats;
        target.data = scratch.mutableData();
        target.bytesPerRow = scratch.bytesPerRow();
        const CpuKernelRenderer::Destination destination{reinterpret_cast<float*>(scratch.mutableData()),
                                                         scratch.bytesPerRow() / sizeof(float)};
        const auto fastest = [&](const std::function<bool()>& once) {
            double best = std::numeric_limits<double>::infinity();
            for (int run = 0; run < 3; ++run) {
                const auto begin = std::chrono::steady_clock::now();
                if (!once())
                    return std::numeric_limits<double>::infinity();
                if (run > 0)
                    best = std::min(
                        best,
                        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());
            }
            return best * 1e6 / pixels;
        };
        if (!costs.followsMasks)
            costs.cpu = std::min(costs.cpu, made + fastest([&] {
                                                return renderOnCpu(
                                                    root, sample, [](int, int, int, int, const float*) {},
                                                    destination);
                                            }));
        costs.passes = fastest([&] {
            bool ok = false;
            QString error;
            thread->run([&] { ok = renderer->render(root, sample, target, &error); });
            return ok;
        });
    }
    CpuKernelRenderer::recordCosts(CpuKernelRenderer::signature(root), costs);
}

RenderContext::RenderContext(const QString& label) : d(std::make_unique<Private>(label, this)) {}

RenderContext::~RenderContext()
{
    if (d->thread && d->thread->isValid())
        d->thread->run([this] { d->renderer.reset(); });
}

std::shared_ptr<RenderContext> RenderContext::shared()
{
    // Never destroyed: tearing a GL context down while the process exits races the driver's own exit.
    static auto* context =
        new std::shared_ptr<RenderContext>(std::make_shared<RenderContext>(QStringLiteral("shared render")));
    return *context;
}

bool RenderContext::isValid() const
{
    return d->start();
}

std::optional<Bitmap> RenderContext::render(const Image& image, const Rect& requested, Bitmap::Format format,
                                            Reuse reuse)
{
    if (requested.isNull() || requested.isInfinite() || requested.isEmpty() ||
        !std::isfinite(requested.width()) || !std::isfinite(requested.height())) {
        pf::warning(QStringLiteral("Cannot render the rectangle %1 x %2: it must be finite and not empty")
                        .arg(requested.width())
                        .arg(requested.height()));
        return std::nullopt;
    }
    const Rect rect = requested.integral();
    // A bitmap that the rectangle shows exactly, pixel for pixel: its own pixels, shared (a bitmap
    // copies them only when one of its holders writes).
    if (const auto placed = CpuRendering::placedBitmap(image);
        placed && placed->bitmap.format() == format && placed->x == rect.minX() && placed->y == rect.minY() &&
        placed->bitmap.width() == int(rect.width()) && placed->bitmap.height() == int(rect.height()))
        return placed->bitmap;
    Bitmap out(static_cast<int>(rect.width()), static_cast<int>(rect.height()), format,
               Bitmap::Fill::Uninitialized);
    if (out.isNull())
        return std::nullopt;
    if (!image.isNull()) {
        if (const auto direct = CpuRendering::renderDirectly(*image.node(), rect, out)) {
            if (!*direct) {
                pf::error(QStringLiteral("Rendering an image failed: out of memory"));
                return std::nullopt;
            }
            return out;
        }
        // New memory costs the kernel a cleared page at its first write: touched here on all cores, not
        // by the one thread that reads the pixels back.
        uint8_t* pixels = out.mutableData();
        const size_t rowBytes = out.bytesPerRow();
        CpuRendering::inBands(out.height(), [&](int begin, int end) {
            std::memset(pixels + rowBytes * size_t(begin), 0, rowBytes * size_t(end - begin));
        });
    }
    // A new bitmap is usually made into an image and read again: its texture is worth keeping.
    if (!render(image, rect, out, format == Bitmap::Format::RGBA8 && reuse == Reuse::AsSource))
        return std::nullopt;
    return out;
}

bool RenderContext::render(const Image& image, const Rect& requested, Bitmap& out)
{
    return render(image, requested, out, false);
}

bool RenderContext::render(const Image& image, const Rect& requested, Bitmap& out, bool keep)
{
    if (image.isNull()) {
        pf::warning(QStringLiteral("Nothing to render: no image"));
        return false;
    }
    if (requested.isNull() || requested.isInfinite() || requested.isEmpty() ||
        !std::isfinite(requested.width()) || !std::isfinite(requested.height())) {
        pf::warning(QStringLiteral("Cannot render the rectangle %1 x %2: it must be finite and not empty")
                        .arg(requested.width())
                        .arg(requested.height()));
        return false;
    }
    const Rect rect = requested.integral();
    if (out.isNull() || out.width() != static_cast<int>(rect.width()) ||
        out.height() != static_cast<int>(rect.height())) {
        pf::warning(QStringLiteral("Cannot render %1 x %2 pixels into a bitmap of %3 x %4")
                        .arg(rect.width())
                        .arg(rect.height())
                        .arg(out.width())
                        .arg(out.height()));
        return false;
    }
    // Pixels already in memory, or computed on the CPU, need no passes.
    if (const auto direct = CpuRendering::renderDirectly(*image.node(), rect, out)) {
        if (!*direct)
            pf::error(QStringLiteral("Rendering an image failed: out of memory"));
        return *direct;
    }
    const Bitmap::Format format = out.format();
    // Translated kernels run on the CPU where the driver is a software rasterizer: until a context has
    // started and told what it is, this one starts. Passes need it anyway (a boundary starts it too).
    if (!CpuKernelRenderer::knowsDriver())
        d->start();
    // Translated kernels on the CPU, where the only OpenGL is a software rasterizer; the parts of the
    // recipe they cannot compute are rendered here in passes, once each.
    ImageNodePtr cpuRoot;
    if (CpuKernelRenderer::wanted()) {
        // A crop that holds the whole rectangle cuts nothing from it: its input is rendered instead,
        // without a copy of every pixel (a scene cut to its own size).
        ImageNodePtr root = image.node();
        while (root->kind == ImageNode::Kind::Crop && root->input && root->rect.contains(rect))
            root = root->input;
        cpuRoot = CpuKernelRenderer::canRender(*root) ? root : CpuKernelRenderer::readByCopy(root);
    }
    const Private::Path path = cpuRoot && CpuKernelRenderer::canRender(*cpuRoot)
                                   ? d->choosePath(cpuRoot, rect)
                                   : Private::Path::Passes;
    if (path != Private::Path::Passes) {
        const auto begin = std::chrono::steady_clock::now();
        CpuKernelRenderer::Report report;
        uint8_t* pixels = out.mutableData();
        const size_t bytesPerRow = out.bytesPerRow();
        // Floats are written where they belong by the last kernel itself.
        CpuKernelRenderer::Destination destination{nullptr, 0};
        if (format == Bitmap::Format::RGBAf && bytesPerRow % sizeof(float) == 0) {
            destination.rows = reinterpret_cast<float*>(pixels);
            destination.floatsPerRow = bytesPerRow / sizeof(float);
        }
        if (d->renderOnCpu(
                cpuRoot, rect,
                [&](int x, int top, int w, int h, const float* rgba) {
                    writeTile(format, pixels, bytesPerRow, x, top, w, h, rgba);
                },
                destination, &report)) {
            if (path == Private::Path::CpuMeasured)
                measureInBackground(
                    cpuRoot, rect,
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count(), report);
            return true;
        }
    }
    if (!d->start()) {
        pf::error(QStringLiteral("Image rendering is unavailable: %1").arg(d->failureReason()));
        return false;
    }
    uint8_t* base = out.mutableData();
    const size_t rowBytes = out.bytesPerRow();

    GLRenderer::Target target;
    if (format == Bitmap::Format::RGBA8 || format == Bitmap::Format::RGBAf) {
        target.kind = format == Bitmap::Format::RGBA8 ? GLRenderer::Target::Kind::Bytes
                                                      : GLRenderer::Target::Kind::Floats;
        target.data = base;
        target.bytesPerRow = rowBytes;
        if (keep)
            target.resident = out; // after mutableData(): the texture belongs to these very pixels
    } else {
        // Grey: the luminance of the colour over black.
        target.sink = [&](int x, int top, int w, int h, const float* rgba) {
            writeTile(format, base, rowBytes, x, top, w, h, rgba);
        };
    }

    bool ok = false;
    QString error;
    d->thread->run([&] { ok = d->renderer->render(image.node(), rect, target, &error); });
    if (!ok)
        pf::error(QStringLiteral("Rendering an image failed: %1").arg(error));
    return ok;
}

QImage RenderContext::renderToQImage(const Image& image, const Rect& rect, bool floatPixels)
{
    auto bitmap = render(image, rect, floatPixels ? Bitmap::Format::RGBAf : Bitmap::Format::RGBA8);
    return bitmap ? bitmap->toQImage() : QImage();
}

void RenderContext::clearCaches()
{
    // A context that never started holds nothing.
    if (d->started.load(std::memory_order_acquire) && d->renderer)
        d->thread->run([this] { d->renderer->clearCaches(); });
}

void RenderContext::setMaximumTileSize(int pixels)
{
    if (d->start())
        d->thread->run([this, pixels] { d->renderer->setMaximumTileSize(pixels); });
}

RenderContext::Device RenderContext::device() const
{
    Device device;
    if (!d->start())
        return device;
    d->thread->run([&device] {
        const GLDevice current = GLDevice::describeCurrent();
        device = Device{current.name, current.videoMemory, current.devices};
    });
    return device;
}

bool RenderContext::checkKernel(const KernelData& kernel, QString* errorMessage)
{
    // Kernels are checked on a context of their own so that checking never waits for a long render.
    static RenderContext* compiler = new RenderContext(QStringLiteral("kernel compiler"));
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    if (!compiler->d->start()) {
        if (errorMessage)
            *errorMessage = QStringLiteral("no OpenGL ES context: %1").arg(compiler->d->failureReason());
        return false;
    }
    bool ok = false;
    compiler->d->thread->run([&] { ok = compiler->d->renderer->compile(kernel, errorMessage); });
    return ok;
}

} // namespace pf
