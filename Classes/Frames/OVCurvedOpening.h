#pragma once

#include "Classes/Frames/OVFrameBand.h"
#include "Platform/Foundation/Rect.h"
#include "Platform/Foundation/Size.h"
#include "Platform/Image/Bitmap.h"
#include "Platform/Image/Image.h"
#include "Platform/Image/Vector.h"

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

// A frame's curved opening, an oval or an arch cut out of the band around a rectangle, and what the
// frame filter's kernels "cutOpening" and "drawFrameAlong" work out from it, worked out on the
// processor with the kernels' own single-precision arithmetic: the outline's nearest point to a pixel
// (of an oval, a few steps along its parameter) is found once for the pixels of all four quarters it
// stands for and kept, where the kernels find it again at every pixel of the mask and of each shade.
// Only the band is worked out: rows in bands, each less the part of the opening all of its rows hold,
// and pixels deep inside the opening (which the mask hides) are left transparent. Shared by the
// renders of a frame, read from several threads.
class OVCurvedOpening
{
public:
    enum Kind : int
    {
        Oval = 1,
        Arch = 2,
    };

    // Null for another kind, or a rectangle that is not whole pixels or not finite; `width` is the
    // band's width in pixels.
    static std::shared_ptr<const OVCurvedOpening> make(const pf::Rect& rect, double width, int kind);

    pf::Rect rect() const { return m_rect; }
    // Whole pixels of the rectangle covering every pixel that is not deep inside the opening: its rows
    // in bands, each less the part of the opening that all of them hold.
    std::vector<pf::Rect> bandParts() const;
    // Whether the pixel (x, y), counted from the rectangle's lower left, lies two pixels or more
    // inside the opening: the mask is zero there and the frame hidden.
    bool isDeepInside(int x, int y) const;
    // Row y's run of such pixels, [from, to) from the rectangle's left edge (empty outside it).
    std::pair<int, int> deepRun(int y) const;

    // `recipe`, the kernel "cutOpening" over a plain band (the whole rectangle covered), with its
    // pixels `within` (whole pixels; all of the rectangle when null) worked out on the processor.
    pf::Image cutOnCpu(const pf::Image& recipe, const pf::Rect& within) const;
    // The same mask as grey 8-bit pixels of the whole rectangle (rows top-down), all of it worked out
    // at once on every core: placed at the rectangle, and the bitmap in `kept`. Null when memory
    // runs out.
    pf::Image maskPixels(pf::Bitmap* kept) const;
    // `recipe`, the kernel "drawFrameAlong" laying `part` along the opening (corner squares of
    // `corner` part pixels, `scale` destination pixels per part pixel, each side's middle `repeats`
    // times), with its pixels `within` worked out on the processor; transparent deep inside the
    // opening. `recipe` itself when the part cannot be read into memory.
    // `together`: the other parts of the same frame laid along it with the same corners, scale and
    // repeats. The first of them whose strip is worked out lays all of them in the same pass over the
    // places they are read at, and keeps their pixels until their own render takes them: one pass
    // over the places instead of one a shade.
    pf::Image laidAlongOnCpu(const pf::Image& recipe, const pf::Image& part, const pf::Size& corner,
                             double scale, const pf::Vector& repeats, const pf::Rect& within,
                             const std::vector<pf::Image>& together = {}) const;

    // Lets go of the places the last strip's shades were read at and of the pixels laid for parts
    // whose render has not taken them (a strip's worth of memory), once the frame is drawn.
    void releaseReads() const;

    // The kernels' "openingNearest" and "openingDistance" at a point relative to the rectangle's lower
    // left: the outline's nearest point, its outward normal there, and how far the point lies outside
    // (negative inside).
    struct Nearest
    {
        float x = 0, y = 0, normalX = 0, normalY = 0, outside = 0;
    };
    Nearest nearestAt(int x, int y) const;

    OVCurvedOpening(const pf::Rect& rect, double width, int kind);

private:
    struct OvalTable;
    const OvalTable& ovalTable() const;
    // Where a part laid along the opening is read at every pixel of `bounds`: shades of the same
    // size, corners and repeats (a frame's usually are) read their texels at the same places.
    struct PartReads;
    struct PartLayout
    {
        float ex = 0, ey = 0, ew = 0, eh = 0, cornerX = 0, cornerY = 0, scale = 1, repeatsX = 0, repeatsY = 0;
        int texelsWidth = 0, texelsHeight = 0, stride = 0;
        bool operator==(const PartLayout&) const = default;
    };
    // The places kept for the strip, else worked out now. Where they are worked out now and `shade` is
    // given, each band of rows is handed to it as soon as its places are in (the first shade of a strip
    // is laid in the same bands, while the places are still in the cache), and `shaded` says so.
    using ShadeRows = std::function<void(const PartReads& reads, int begin, int end)>;
    std::shared_ptr<const PartReads> readsFor(const pf::Rect& bounds, const PartLayout& layout,
                                              const std::shared_ptr<const OVFrameBand::PartTexels>& texels,
                                              const ShadeRows& shade = {}, bool* shaded = nullptr) const;
    // Each row's run of pixels deep inside the opening, [from, to) from the rectangle's left edge.
    const std::vector<std::pair<int, int>>& deepRuns() const;
    bool isDeepInsideByShape(int x, int y) const;
    // `point`: the quarter's nearest point and normal (see OvalTable); `inside`: whether (px, py) lies
    // inside the opening.
    Nearest ovalNearest(float px, float py, const float* point, bool inside) const;
    Nearest archNearest(float px, float py) const;
    bool isDeepOutside(int x, int y) const;
    float coverageAt(int x, int y) const;

    pf::Rect m_rect;
    int m_width = 0, m_height = 0;
    int m_kind = Oval;
    // The kernels' values, in single precision.
    float m_band = 0;
    float m_sizeX = 0, m_sizeY = 0;
    float m_cx = 0, m_cy = 0, m_ax = 0, m_ay = 0;
    float m_spring = 0, m_radius = 0, m_centreY = 0;
    mutable std::once_flag m_tableMade;
    mutable std::unique_ptr<OvalTable> m_table;
    mutable std::once_flag m_runsMade;
    mutable std::vector<std::pair<int, int>> m_runs;
    mutable std::mutex m_fieldMutex;
    mutable std::shared_ptr<const PartReads> m_reads;
    // Pixels of a strip laid for a part together with another's, until the part's own render takes
    // them: by the part's recipe node, with the strip and the layout they were laid for.
    struct LaidAhead
    {
        const void* part = nullptr;
        pf::Rect bounds;
        PartLayout layout;
        pf::Bitmap pixels;
    };
    mutable std::vector<LaidAhead> m_laidAhead;
};
