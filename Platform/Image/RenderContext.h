#pragma once

#include "Platform/Foundation/Rect.h"
#include "Platform/Image/Bitmap.h"
#include "Platform/Image/CpuKernelRenderer.h"
#include "Platform/Image/Image.h"

#include <QImage>
#include <QString>
#include <memory>
#include <optional>

namespace pf {

class KernelData;
struct ImageNode;

// Turns image recipes into pixels. Each context owns its own OpenGL ES context on its own thread, so
// contexts used by different threads never wait for each other; one context may be called from any
// thread (calls then take turns). Programs and uploaded source pixels are cached per context.
class RenderContext
{
public:
    explicit RenderContext(const QString& label = QStringLiteral("render"));
    ~RenderContext();
    RenderContext(const RenderContext&) = delete;
    RenderContext& operator=(const RenderContext&) = delete;

    // A context for code that has none of its own (it is shared: prefer your own on busy threads).
    static std::shared_ptr<RenderContext> shared();

    bool isValid() const;

    // What becomes of a new 8-bit result's texture. Usually the bitmap is made into an image and read
    // again, so the texture stays as that source's (AsSource). A result that only leaves the engine (a
    // saved picture) need not hold a texture of its size (Discard).
    enum class Reuse
    {
        AsSource,
        Discard
    };

    // Renders the rectangle (rounded out to whole pixels) of the image. Row 0 of the result is the top
    // of the rectangle. Into a format without alpha the image is composited over black; grey formats
    // take the luminance. Nothing, with a logged reason, when the render fails.
    std::optional<Bitmap> render(const Image& image, const Rect& rect,
                                 Bitmap::Format format = Bitmap::Format::RGBA8,
                                 Reuse reuse = Reuse::AsSource);
    QImage renderToQImage(const Image& image, const Rect& rect, bool floatPixels = false);
    // Renders into an existing bitmap (reused between frames, so no memory is allocated): its size must
    // be the rectangle's, rounded out. False, with a logged reason, when the render fails.
    bool render(const Image& image, const Rect& rect, Bitmap& destination);

    void clearCaches();
    // Tiles are at most 2048 x 2048 pixels; smaller tiles are for tests.
    void setMaximumTileSize(int pixels);

    // Compiles a kernel once to check it (engine use).
    static bool checkKernel(const KernelData& kernel, QString* errorMessage);

    // What this context renders with, as the driver tells: its device's name (empty without a context),
    // the video memory in bytes (0 when the driver does not say) and the number of devices.
    struct Device
    {
        QString name;
        qint64 videoMemory = 0;
        int devices = 0;
    };
    Device device() const;

    // Where the passes run on a software rasterizer, the first large render of a kind of recipe takes the
    // CPU and has both paths measured on a part of it in the background; the next of its kind takes the
    // faster. Waits until the measures asked for are taken (tests, benchmarks).
    static void waitForPathMeasures();

private:
    // `report`: what the CPU render told of its cost (see CpuKernelRenderer::Report).
    static void measureInBackground(const std::shared_ptr<const ImageNode>& root, const Rect& rect,
                                    double cpuSeconds, const CpuKernelRenderer::Report& report);
    // `keep`: the caller hands the bitmap on as a source, so its texture is kept.
    bool render(const Image& image, const Rect& rect, Bitmap& destination, bool keep);

    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace pf
