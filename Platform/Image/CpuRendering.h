#pragma once

// Pixels that a built-in filter computes on the CPU with a well-kept library instead of in passes,
// where its input is a bitmap already in memory. Internal to the image engine.

#include "Platform/Foundation/Rect.h"
#include "Platform/Image/Bitmap.h"
#include "Platform/Image/Image.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace pf {

struct ImageNode;

class CpuRendering
{
public:
    // Fills `out` (the region's size, in `format`) with the pixels of `region`, a rectangle of whole
    // pixels inside (0, 0, width, height), y up, counted from the lower-left corner of `bounds`.
    // False when memory runs out.
    using RenderRegion = std::function<bool(const Rect& region, Bitmap& out)>;

    // `bounds`: whole pixels, where the pixels lie in the image's space. `bytesToo`: the render can
    // make 8-bit pixels itself (a median of 8-bit values is the 8-bit rounding of the float median),
    // so a caller asking for them gets them without a float rendering in between.
    CpuRendering(const Rect& bounds, Bitmap::Format format, RenderRegion render, bool bytesToo = false);

    Rect bounds() const { return m_bounds; }
    Bitmap::Format format() const { return m_format; }

    // A region inside bounds() into `out`, in any colour format (converted when it is not this one's).
    bool render(const Rect& region, Bitmap& out) const;
    // Every pixel, computed on first use and kept (passes read it as a source); null when memory ran out.
    const Bitmap& whole() const;

    // The recipe, its pixels to be computed by `rendering` instead of by its last kernel's pass. The
    // recipe must be a kernel's output; its pixels outside the rendering's bounds are transparent.
    static Image attach(const Image& recipe, std::shared_ptr<const CpuRendering> rendering);

    // A bitmap that an image shows pixel for pixel, and where: the image is the bitmap moved by whole
    // pixels, perhaps cropped. Nothing for any other recipe.
    struct Placed
    {
        Bitmap bitmap;
        double x = 0, y = 0; // where the bitmap's lower-left corner lies
    };
    static std::optional<Placed> placedBitmap(const Image& image);

    // Renders `rect` of a recipe straight into `out` when the recipe needs no passes: a bitmap or CPU
    // pixels moved by whole pixels and cropped, or a bitmap reduced by at least half (averaged over the
    // area each pixel covers). Nothing when the recipe is not of that kind, so that passes render it.
    static std::optional<bool> renderDirectly(const ImageNode& root, const Rect& rect, Bitmap& out);

    // Renders a rectangle of an image for a CPU filter, from inside another render as well: each
    // render in progress holds a context of its own, so that a filter of a filter never waits for the
    // context it is called from. Nothing, with the reason logged, when the render fails.
    static std::optional<Bitmap> renderInput(const Image& image, const Rect& rect, Bitmap::Format format);
    // The same into a bitmap of the rectangle's size, reused from call to call (no memory allocated).
    static bool renderInput(const Image& image, const Rect& rect, Bitmap& out);

    // `n` floats as bytes (0 to 1 as 0 to 255, rounded; NaN as 0), sixteen at a time where the
    // processor has SSE2: how a render on the CPU writes 8-bit pixels.
    static void floatsToBytes(const float* src, uint8_t* dst, int n);

    // Runs `work(begin, end)` over [0, count) in bands on all cores, `perCore` bands for each (more
    // share the work better on a busy machine, fewer repeat less of the work at band edges).
    static void inBands(int count, const std::function<void(int begin, int end)>& work, int perCore = 4);
    // Whether the calling thread is working a band: bands it asks for run on it alone, in one piece.
    static bool onBandThread();

    // While it lives, the bands this thread asks for are work nobody waits for (a stroke being stored):
    // they run a round at a time, and only while no other job waits for the cores.
    class BackgroundScope
    {
    public:
        BackgroundScope();
        ~BackgroundScope();
        BackgroundScope(const BackgroundScope&) = delete;
        BackgroundScope& operator=(const BackgroundScope&) = delete;
    };

private:
    bool renderConverted(const Rect& region, Bitmap& out) const;

    Rect m_bounds;
    Bitmap::Format m_format;
    RenderRegion m_render;
    bool m_bytesToo = false;
    enum class WholeState
    {
        NotYet,
        Computing,
        Done
    };
    mutable std::mutex m_wholeMutex;
    mutable std::condition_variable m_wholeDone;
    mutable WholeState m_wholeState = WholeState::NotYet;
    // How many callers someone waits for wait for the thread computing whole() (see there).
    mutable std::shared_ptr<std::atomic<int>> m_computer;
    mutable Bitmap m_whole;
};

} // namespace pf
