#pragma once

#include "Platform/Image/Bitmap.h"

#include <QString>
#include <array>
#include <optional>
#include <vector>

namespace pf {

// Draws textured quadrilaterals in space off screen with depth, stencil and premultiplied blending,
// and reads the result back: the small rasteriser behind the scene renderers. It knows nothing of
// sprites or images; callers hand it bitmaps, corners and a projection.
//
// Every render makes a context of its own (sharing nothing with any other), its buffers and its
// textures, and lets all of them go before it returns, whatever happened. It runs on a thread of its
// own while the caller waits, so the caller's thread never has a context made current on it. Renders
// from different threads run side by side.
class SceneRasterizer
{
public:
    // Which EGL display the context is made on: the engine's default one (graphics hardware where
    // there is some), or the device that reports itself as the software renderer.
    enum class Device
    {
        Default,
        Software
    };

    // A quadrilateral in eye space (the eye at the origin looking down -z), its corners in the order
    // lower left, upper left, upper right, lower right of its texture, which is mapped onto it whole.
    struct Quad
    {
        int texture = -1; // index into Scene::textures
        std::array<std::array<double, 3>, 4> corners{};
    };

    struct Scene
    {
        int width = 0;
        int height = 0;
        // Column-major 4 x 4, applied to column vectors (x, y, z, 1) of eye space.
        std::array<float, 16> projection{};
        // Premultiplied RGBA8 bitmaps, rows from the top down.
        std::vector<Bitmap> textures;
        std::optional<Quad> background;
        std::vector<Quad> sprites;
    };

    // Why a render gave no picture; each maps to one line of the caller's log.
    enum class Failure
    {
        None,
        Context,          // no context could be made or made current
        ColorFramebuffer, // incomplete with the colour buffer attached
        DepthFramebuffer, // incomplete once the depth-and-stencil buffer is attached
        Step,             // OpenGL reported an error after the step named in `step`
        ReadBuffer,       // the read-back buffer could not be had (or the size is unusable)
        FlippedBuffer,    // the buffer for the upright rows could not be allocated
    };

    struct Result
    {
        std::optional<Bitmap> pixels; // RGBA8, opaque, rows from the top down
        Failure failure = Failure::None;
        QString step;
    };

    // Alpha above this counts as opaque.
    static constexpr float OpaqueThreshold = 0.9999f;

    // Clears to opaque white, draws the background with everything it has, then the sprites' opaque
    // parts with depth, then each sprite's translucent parts over exactly the places where it is the
    // nearest surface, in the order given.
    static Result render(const Scene& scene, Device device);

    // The perspective matrix of a viewing frustum (column-major, as `Scene::projection`).
    static std::array<float, 16> frustum(double left, double right, double bottom, double top, double near,
                                         double far);

    // Test hook: every render until cleared (empty) fails at that point, with a real OpenGL error
    // raised just before the check of the named step, or, for "context", "color framebuffer", "depth
    // framebuffer", "read buffer" and "flipped buffer", the failure of that kind.
    static void setForcedFailureForTesting(const QString& step);
};

} // namespace pf
