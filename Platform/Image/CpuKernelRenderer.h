#pragma once

// Renders recipes of kernels translated to C++ (the kernels shipped with the application and the
// engine's own) on the CPU, tile by tile on all cores, instead of through a software rasterizer. Kernels
// it cannot compute are rendered in passes once and read as pixels. Internal to the image engine.

#include "Platform/Foundation/Rect.h"
#include "Platform/Image/ImageNode.h"

#include <functional>
#include <optional>

namespace pf {

class CpuKernelRenderer
{
public:
    CpuKernelRenderer() = delete;

    enum class Use
    {
        OnSoftwareRasterizer, // where the only OpenGL is a software rasterizer (the default)
        Always,
        Never
    };
    static void setUse(Use use);
    static Use use();
    // Told by the GL backend when it starts.
    static void setSoftwareRasterizer(bool software);
    static bool wanted();
    // Whether wanted() is settled: a GL backend has told what its driver is (or the use is forced).
    static bool knowsDriver();

    // Whether the recipe's last kernel has a translation and reads no reduced level (a reduction by more
    // than half, which passes read from mipmaps). What it reads that is not so is rendered in passes.
    static bool canRender(const ImageNode& root);
    // A kernel's output moved, cropped or clamped, read by a copy kernel (as the passes read it), so
    // that it can render here; null when the recipe is not that.
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
    static bool render(const ImageNodePtr& root, const Rect& rect, const Sink& sink,
                       const RenderBoundary& renderBoundary = {});
};

} // namespace pf
