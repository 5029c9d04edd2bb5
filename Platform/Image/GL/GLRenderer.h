#pragma once

#include "Platform/Foundation/Rect.h"
#include "Platform/Image/ImageNode.h"

#include <QString>
#include <functional>
#include <memory>

namespace pf {

class KernelData;

// Evaluates image recipes with OpenGL ES on the calling thread's current context (a GLThread's).
// Large rectangles are rendered in tiles of at most 2048 x 2048 pixels; each tile computes every
// intermediate only over the region that tile needs of it, so a tiled render equals an untiled one.
// Compiled programs and uploaded source pixels are cached with a bounded size.
class GLRenderer
{
public:
    // Receives each finished tile: its offset from the rendered rectangle's top-left corner (in rows
    // counted downward), its size, and premultiplied RGBA floats, rows from the top down.
    using TileSink = std::function<void(int x, int row, int width, int height, const float* rgba)>;

    // Where pixels go: straight into top-down rows of 8-bit or float RGBA, or tile by tile to a sink.
    struct Target
    {
        enum class Kind
        {
            Bytes,
            Floats,
            Sink
        } kind = Kind::Sink;
        uint8_t* data = nullptr;
        size_t bytesPerRow = 0;
        TileSink sink;
        // Bytes: the bitmap that receives the pixels (`data` its rows), when the caller hands it on as
        // a source. The render then keeps its result as that bitmap's texture, so that reading the
        // bitmap later costs no upload.
        Bitmap resident;
    };

    GLRenderer();
    ~GLRenderer();
    GLRenderer(const GLRenderer&) = delete;
    GLRenderer& operator=(const GLRenderer&) = delete;

    // `rect` must be integral and finite. False, with the reason, when the render failed.
    bool render(const ImageNodePtr& root, const Rect& rect, const Target& target, QString* errorMessage);

    // Compiles the kernel's program once to check it; the compiler's message on failure.
    bool compile(const KernelData& kernel, QString* errorMessage);

    void clearCaches();
    void setMaximumTileSize(int pixels);
    size_t cachedSourceBytes() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace pf
