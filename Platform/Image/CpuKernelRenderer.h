#pragma once

// Renders recipes of kernels translated to C++ (the kernels shipped with the application and the
// engine's own) on the CPU, tile by tile on all cores, instead of through a software rasterizer. Kernels
// it cannot compute are rendered in passes once and read as pixels. Internal to the image engine.

#include "Platform/Foundation/Rect.h"
#include "Platform/Image/ImageNode.h"

#include <QtGlobal>
#include <functional>
#include <optional>

namespace pf {

class CpuKernelRenderer
{
public:
    CpuKernelRenderer() = delete;

    enum class Use
    {
        // Where the only OpenGL is a software rasterizer, for the recipes it computes faster than the
        // rasterizer does (the default); never on a graphics card.
        OnSoftwareRasterizer,
        Always,
        Never
    };
    static void setUse(Use use);
    static Use use();
    // Told by the GL backend when it starts.
    static void setSoftwareRasterizer(bool software);
    // What draws the passes, as the driver says; tests may pretend it is either (nothing: the driver's
    // word again).
    enum class Device
    {
        GraphicsCard,
        SoftwareRasterizer
    };
    static void setDeviceForTesting(std::optional<Device> device);
    // Whether recipes may render here: the use is forced, or the passes run on a software rasterizer.
    static bool wanted();
    // Whether wanted() is settled: a GL backend has told what its driver is (or the use is forced).
    static bool knowsDriver();

    // A key that two recipes share when they run the same kernels the same way, whatever their sizes and
    // values: a render's cost per pixel on either path is much the same for all of them.
    static quint64 signature(const ImageNodePtr& root);
    // What a recipe of a signature was measured to cost on each path, in seconds per million pixels.
    struct PathCosts
    {
        double cpu = 0;
        double passes = 0;
        // Whether the CPU's cost follows the masks of the recipe's blends: `cpu` is then the cost where
        // no tile is spared (see maskedShare), and a render's own share of spared tiles is taken off.
        bool followsMasks = false;
    };
    static std::optional<PathCosts> measuredCosts(quint64 signature);
    static void recordCosts(quint64 signature, const PathCosts& costs);
    // Whether costs so measured favour the CPU. The passes are measured on a part of the render, whose
    // pixels stay in the caches, the CPU on the whole: they must be clearly cheaper to be taken.
    static bool prefersCpu(const PathCosts& costs) { return costs.passes >= 0.9 * costs.cpu; }

    // Whether the recipe's last kernel has a translation and reads no reduced level (a reduction by more
    // than half, which passes read from mipmaps). What it reads that is not so is rendered in passes.
    static bool canRender(const ImageNode& root);
    // A kernel's output or a bitmap moved, cropped or clamped, read by a copy kernel (as the passes read
    // it), so that it can render here; null when the recipe is not that.
    static ImageNodePtr readByCopy(const ImageNodePtr& root);
    // Whether a render of the recipe (read by a copy where it must be) runs wholly here: no part of it
    // in passes and no CPU pixels to make first. Such renders need no GL context and may run on any
    // thread, several at once.
    static bool rendersAlone(const ImageNodePtr& root);

    // Tiles of `rect` (integral, finite) go to `sink`, a run of rows at a time, as GLRenderer's tiles do:
    // offset from the rectangle's top-left corner, rows top-down, premultiplied RGBA floats. Tiles may arrive
    // from several threads at once. False when the recipe turns out not to be renderable here (an unbounded
    // intermediate) or memory ran out; the caller then renders it another way.
    // `renderBoundary` renders a part of a kernel the CPU cannot compute (in passes), as RGBA floats of
    // the rectangle's size, rows top-down; each is asked for once per render, before the tiles start.
    using Sink = std::function<void(int x, int row, int width, int height, const float* rgba)>;
    using RenderBoundary = std::function<std::optional<Bitmap>(const ImageNodePtr& node, const Rect& rect)>;
    // Where the caller wants floats: the last kernel writes its rows straight there (rows top-down,
    // `floatsPerRow` apart, the rectangle's top-left pixel first), and `sink` is not called.
    struct Destination
    {
        float* rows;
        size_t floatsPerRow;
    };
    // What a render tells of its cost, for choosing the path (where asked for).
    struct Report
    {
        // How long the recipe's CPU pixels (a large blur's pyramid) took to make: they are kept with the
        // recipe, so a render of the same recipe again does not pay them, where a recipe built anew (a
        // new stroke, a slider moved) does.
        double madeSeconds = 0;
        // The share of the render's pixels in tiles that computed a blend as its background alone, its
        // mask 0 there: the render's cost then depends on where the mask is, and a part of the render
        // tells little of the whole.
        double maskedShare = 0;
    };
    // The share of a render's pixels in tiles (of the largest size) where a blend of the recipe
    // computes its background alone: 0 for a recipe without such blends or masks that cover every tile.
    static double maskedShare(const ImageNodePtr& root, const Rect& rect);
    static bool render(const ImageNodePtr& root, const Rect& rect, const Sink& sink,
                       const RenderBoundary& renderBoundary = {},
                       const Destination& destination = Destination{nullptr, 0}, Report* report = nullptr);
};

} // namespace pf
