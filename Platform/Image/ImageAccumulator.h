#pragma once

#include "Platform/Foundation/Rect.h"
#include "Platform/Image/Image.h"
#include "Platform/Image/TileStore.h"

#include <memory>

namespace pf {

class RenderContext;

// A persistent image of a fixed extent (8-bit premultiplied RGBA, or float RGBA where the values must
// keep their precision and range from one stage to the next) that is updated a rectangle at a
// time, as a brush stroke does. image() is a snapshot: recipes made from it keep showing the pixels of
// that moment, however the accumulator changes later. Not thread-safe: use it from one thread.
class ImageAccumulator
{
public:
    // The extent is rounded out to whole pixels. Renders through `context`, or the shared one.
    explicit ImageAccumulator(const Rect& extent, std::shared_ptr<RenderContext> context = nullptr,
                              Bitmap::Format format = Bitmap::Format::RGBA8);

    Rect extent() const { return m_extent; }
    Bitmap::Format format() const { return m_store.format(); }
    Image image() const;

    // Replaces the pixels inside the extent (or inside `dirtyRect`, clipped to the extent) by the
    // image's. The image may read this accumulator's own snapshot. False when rendering failed; the
    // pixels are then unchanged.
    bool setImage(const Image& image);
    bool setImage(const Image& image, const Rect& dirtyRect);
    void clear();

private:
    Rect m_extent;
    TileStore m_store;
    std::shared_ptr<RenderContext> m_context;
};

} // namespace pf
