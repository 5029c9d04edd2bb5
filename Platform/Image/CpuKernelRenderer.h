#pragma once

// Renders recipes whose kernels were all translated to C++ (the kernels shipped with the application)
// on the CPU, tile by tile on all cores, instead of through a software rasterizer. Internal to the
// image engine.

#include "Platform/Foundation/Rect.h"
#include "Platform/Image/ImageNode.h"

#include <functional>

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

    // Whether every kernel of the recipe has a translation, its sources are in memory and nothing in it
    // reads a reduced level (a reduction by more than half, which passes read from mipmaps).
    static bool canRender(const ImageNode& root);

    // Tiles of `rect` (integral, finite) go to `sink` as GLRenderer's tiles do: offset from the
    // rectangle's top-left corner, rows top-down, premultiplied RGBA floats. Tiles may arrive from
    // several threads at once. False when the recipe turns out not to be renderable here (an unbounded
    // intermediate) or memory ran out; the caller then renders it another way.
    using Sink = std::function<void(int x, int row, int width, int height, const float* rgba)>;
    static bool render(const ImageNodePtr& root, const Rect& rect, const Sink& sink);
};

} // namespace pf
