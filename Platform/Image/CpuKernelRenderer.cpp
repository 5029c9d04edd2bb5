#include "Platform/Image/CpuKernelRenderer.h"

#include "Platform/Image/BlendWithMaskFilter.h"
#include "Platform/Image/BuiltinFilterSupport.h"
#include "Platform/Image/CpuRendering.h"
#include "Platform/Image/KernelData.h"
#include "Platform/Image/KernelMath.h"
#include "Platform/Image/PixelRects.h"
#include "Platform/Image/RenderStatistics.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <mutex>
#include <new>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#include <xmmintrin.h>
#endif

#include "Engine/Engine.h"

namespace pf {

namespace {

std::atomic<CpuKernelRenderer::Use> chosenUse{CpuKernelRenderer::Use::OnSoftwareRasterizer};
std::atomic<bool> softwareRasterizer{false};
std::atomic<bool> driverKnown{false};
// A device a test pretends to have: 0 none, 1 a graphics card, 2 a software rasterizer.
std::atomic<int> pretendedDevice{0};

using PixelRects::areaOf;
using PixelRects::isFinite;
using PixelRects::pixelsCentredIn;
using PixelRects::project;
using PixelRects::roundOut;

struct Stage
{
    AffineTransform map;
    bool identity = true;
    bool crop = true;
    Rect rect;
    float edges[4] = {0, 0, 0, 0}; // crop: x0, y0, x1, y1; clamp: the edge pixels' centres
};

// How one sampler of a kernel reads its image: the recipe's transforms, crops and clamps between the
// two, then the terminal's pixels.
struct Chain
{
    enum class Terminal
    {
        Zero,
        Constant,
        Bitmap, // a bitmap in memory, read where it lies
        Buffer, // pixels this tile computed (a kernel, a tile store, CPU pixels)
        Fused,  // a kernel computed at the very pixel being computed
    } terminal = Terminal::Zero;
    const ImageNode* node = nullptr; // Bitmap, Buffer, Fused
    int target = -1;                 // Buffer, Fused: the node's index
    // Bitmap: the pixels read. CPU pixels read where they lie (see readInPlace) have theirs only once a
    // render has made them (null until then: `rendering` tells whose they are).
    const Bitmap* bitmap = nullptr;
    const CpuRendering* rendering = nullptr;
    std::vector<Stage> stages;
    AffineTransform finalMap;
    AffineTransform workingToSampler;
    Rect samplerExtent;
    kl::vec4 constant;
    bool nearest = false;
    double scale = 1.0;
    int argument = -1; // the kernel's parameter this sampler is
    // Every point of working space reads the terminal's pixel a whole number of pixels away (crops and
    // clamps aside, which rows check): the reads of a row are then a row of the terminal's pixels.
    bool aligned = false;
    int dx = 0, dy = 0;
    double sx = 0, sy = 0; // working space -> the stages' space
};

struct Node
{
    const ImageNode* node = nullptr;
    ImageNodePtr owner;
    bool kernel = false; // else a source materialised per tile (a tile store, CPU pixels, a boundary)
    // A kernel the CPU cannot compute (no translation, or it reads a reduced level): it and what it
    // reads are rendered in passes once, before the tiles start, and the tiles read those pixels.
    bool boundary = false;
    bool fused = false; // computed inside the one kernel that reads it
    int parent = -1;    // fused: the reader, and through which of its samplers
    int parentSampler = -1;
    std::vector<Chain> chains; // per sampler parameter
    Rect area;                 // pixels centred in the node's domain and extent
};

struct Graph
{
    std::vector<Node> nodes; // inputs before the kernels that read them; the root last
    std::unordered_map<const ImageNode*, int> index;
    std::unordered_map<const ImageNode*, int> readers;
    std::unordered_map<const ImageNode*, bool> computable;
    // Per boundary node: its pixels over the region every tile needs of them.
    std::unordered_map<int, std::pair<Bitmap, Rect>> boundaries;
    bool separate = false; // every kernel its own node (see render: the tiles' size)
};

// Pixels a render made before its tiles started (a part rendered in passes, an intermediate computed
// once: see computeShared), kept while it runs. The renders it makes meanwhile on its thread (of such an
// intermediate) read them where they cover what those need, instead of making them again.
struct Made
{
    const ImageNode* node = nullptr;
    Bitmap pixels; // RGBA floats over `area`, rows top-down
    Rect area;
};
thread_local std::vector<Made> madeBefore;

// CPU pixels (a frame's texture and shades over a strip, a healing fill) are made whole before the
// tiles start. Read on the pixel grid, they are read as a bitmap where they lie: every tile copying
// its part of each layer first (and each kernel then reading the copy) cost a layer stack as much
// memory traffic as its blends. Pixels of another format, or that reach beyond where the recipe has
// any (which reads there must see transparent), are still copied into each tile.
void readInPlace(Chain& chain)
{
    const ImageNode* node = chain.node;
    if (chain.terminal != Chain::Terminal::Buffer || !node || !node->computed ||
        node->computed->format() != Bitmap::Format::RGBAf)
        return;
    const Rect bounds = node->computed->bounds();
    const Rect area = pixelsCentredIn(areaOf(*node));
    if (bounds.isNull() || bounds.isEmpty() || area.isNull() || !area.contains(bounds) ||
        bounds != bounds.integral() || std::abs(bounds.minX()) > 1e9 || std::abs(bounds.minY()) > 1e9)
        return;
    chain.terminal = Chain::Terminal::Bitmap;
    chain.rendering = node->computed.get();
    chain.bitmap = nullptr;
    chain.finalMap =
        chain.finalMap.concatenated(AffineTransform::translation(-bounds.minX(), -bounds.minY()));
    chain.dx -= int(bounds.minX());
    chain.dy -= int(bounds.minY());
}

bool walk(const SamplerBinding& binding, Chain& chain, ImageNodePtr* terminal)
{
    chain.nearest = binding.nearest;
    chain.workingToSampler = binding.matrix.inverted();
    ImageNodePtr node = binding.image;
    chain.samplerExtent = node ? node->extent : Rect::null();
    if (!binding.matrix.isInvertible() || !node)
        return true;
    AffineTransform map;
    bool identity = true;
    auto push = [&](bool crop, const Rect& rect) {
        Stage stage;
        stage.map = map;
        stage.identity = identity;
        stage.crop = crop;
        stage.rect = rect;
        if (crop) {
            stage.edges[0] = float(rect.minX());
            stage.edges[1] = float(rect.minY());
            stage.edges[2] = float(rect.maxX());
            stage.edges[3] = float(rect.maxY());
        } else {
            const double x0 = rect.minX() + 0.5, x1 = rect.maxX() - 0.5;
            const double y0 = rect.minY() + 0.5, y1 = rect.maxY() - 0.5;
            stage.edges[0] = float(x0 <= x1 ? x0 : rect.midX());
            stage.edges[2] = float(x0 <= x1 ? x1 : rect.midX());
            stage.edges[1] = float(y0 <= y1 ? y0 : rect.midY());
            stage.edges[3] = float(y0 <= y1 ? y1 : rect.midY());
        }
        chain.stages.push_back(stage);
        map = AffineTransform();
        identity = true;
    };
    if (binding.clamp && !node->extent.isInfinite()) {
        if (node->extent.isEmpty())
            return true;
        push(false, node->extent);
    }
    for (;;) {
        switch (node->kind) {
        case ImageNode::Kind::Empty:
            return true;
        case ImageNode::Kind::Transform:
            if (!node->transform.isInvertible())
                return true;
            map = map.concatenated(node->transform.inverted());
            identity = identity && node->transform.isIdentity();
            node = node->input;
            continue;
        case ImageNode::Kind::Crop:
        case ImageNode::Kind::Clamp:
            if (node->rect.isEmpty() && !node->rect.isInfinite())
                return true;
            if (!node->rect.isInfinite())
                push(node->kind == ImageNode::Kind::Crop, node->rect);
            node = node->input;
            continue;
        case ImageNode::Kind::Constant:
            chain.terminal = Chain::Terminal::Constant;
            chain.constant = kl::vec4(node->color[0], node->color[1], node->color[2], node->color[3]);
            break;
        case ImageNode::Kind::Bitmap:
            chain.terminal = node->computed ? Chain::Terminal::Buffer : Chain::Terminal::Bitmap;
            if (!node->computed)
                chain.bitmap = &node->bitmap;
            *terminal = node;
            break;
        case ImageNode::Kind::Tiles:
        case ImageNode::Kind::Kernel:
            chain.terminal = Chain::Terminal::Buffer;
            *terminal = node;
            break;
        }
        break;
    }
    chain.finalMap = map;
    chain.node = terminal->get();
    AffineTransform whole = chain.workingToSampler;
    for (const Stage& stage : chain.stages)
        whole = whole.concatenated(stage.map);
    whole = whole.concatenated(chain.finalMap);
    chain.scale = std::max(std::hypot(whole.a, whole.b), std::hypot(whole.c, whole.d));
    const AffineTransform& w = chain.workingToSampler;
    bool straight = w.a == 1 && w.b == 0 && w.c == 0 && w.d == 1;
    for (const Stage& stage : chain.stages)
        straight = straight && stage.identity;
    if (straight && whole.a == 1 && whole.b == 0 && whole.c == 0 && whole.d == 1 &&
        whole.tx == std::floor(whole.tx) && whole.ty == std::floor(whole.ty) && std::abs(whole.tx) < 1e9 &&
        std::abs(whole.ty) < 1e9) {
        chain.aligned = true;
        chain.dx = int(whole.tx);
        chain.dy = int(whole.ty);
        chain.sx = w.tx;
        chain.sy = w.ty;
        readInPlace(chain);
    }
    return true;
}

// Whether a kernel node can be computed here: it has a translation, and none of its samplers reads a
// strong reduction (passes read those from mipmap levels). Other kernels become boundaries.
bool computable(const ImageNode& node, std::unordered_map<const ImageNode*, bool>& seen)
{
    if (node.kind != ImageNode::Kind::Kernel || node.computed)
        return false;
    auto found = seen.find(&node);
    if (found != seen.end())
        return found->second;
    bool ok = node.kernel && node.kernel->cpu;
    for (size_t a = 0; ok && a < node.arguments.size(); ++a) {
        const auto* binding = std::get_if<SamplerBinding>(&node.arguments[a]);
        if (!binding)
            continue;
        Chain chain;
        ImageNodePtr terminal;
        walk(*binding, chain, &terminal);
        ok = !(chain.scale > 2.0);
    }
    seen.emplace(&node, ok);
    return ok;
}

void countReaders(const ImageNodePtr& node, Graph& graph)
{
    if (!computable(*node, graph.computable))
        return;
    for (const KernelArgumentValue& argument : node->arguments) {
        const auto* binding = std::get_if<SamplerBinding>(&argument);
        if (!binding)
            continue;
        Chain chain;
        ImageNodePtr terminal;
        walk(*binding, chain, &terminal);
        if (terminal && graph.readers[terminal.get()]++ == 0)
            countReaders(terminal, graph);
    }
}

int addNode(const ImageNodePtr& node, Graph& graph, int parent, int parentSampler);

bool fusable(Graph& graph, const ImageNode& reader, size_t argument, const Chain& chain,
             const ImageNodePtr& terminal)
{
    if (graph.separate || !RenderStatistics::fusionEnabled() || chain.terminal != Chain::Terminal::Buffer ||
        !terminal || !computable(*terminal, graph.computable))
        return false;
    const auto count = graph.readers.find(terminal.get());
    if (count == graph.readers.end() || count->second != 1)
        return false;
    if (!chain.stages.empty() || !chain.finalMap.isIdentity() || !chain.workingToSampler.isIdentity())
        return false;
    return argument < reader.kernel->readOnlyHere.size() && reader.kernel->readOnlyHere[argument];
}

int addNode(const ImageNodePtr& node, Graph& graph, int parent, int parentSampler)
{
    if (parent == -1) {
        auto found = graph.index.find(node.get());
        if (found != graph.index.end())
            return found->second;
    }
    Node entry;
    entry.node = node.get();
    entry.owner = node;
    entry.kernel = computable(*node, graph.computable);
    entry.boundary = node->kind == ImageNode::Kind::Kernel && !node->computed && !entry.kernel;
    entry.fused = parent != -1;
    entry.parent = parent;
    entry.parentSampler = parentSampler;
    entry.area = pixelsCentredIn(areaOf(*node));
    if (entry.kernel) {
        // Inputs first: they come before this node in the list.
        for (size_t a = 0; a < node->arguments.size(); ++a) {
            const auto* binding = std::get_if<SamplerBinding>(&node->arguments[a]);
            if (!binding)
                continue;
            Chain chain;
            ImageNodePtr terminal;
            walk(*binding, chain, &terminal);
            chain.argument = int(a);
            entry.chains.push_back(chain);
        }
        size_t sampler = 0;
        for (size_t a = 0; a < node->arguments.size(); ++a) {
            const auto* binding = std::get_if<SamplerBinding>(&node->arguments[a]);
            if (!binding)
                continue;
            Chain& chain = entry.chains[sampler];
            ImageNodePtr terminal;
            Chain fresh;
            walk(*binding, fresh, &terminal);
            if (chain.terminal == Chain::Terminal::Buffer && terminal) {
                if (fusable(graph, *node, a, chain, terminal)) {
                    chain.terminal = Chain::Terminal::Fused;
                    // The reader's index is not known yet: it is set once this node has its place.
                    chain.target = addNode(terminal, graph, -2, int(sampler));
                } else {
                    chain.target = addNode(terminal, graph, -1, -1);
                }
            }
            ++sampler;
        }
    }
    graph.nodes.push_back(std::move(entry));
    const int index = int(graph.nodes.size()) - 1;
    for (const Chain& chain : graph.nodes[size_t(index)].chains)
        if (chain.terminal == Chain::Terminal::Fused)
            graph.nodes[size_t(chain.target)].parent = index;
    if (parent == -1)
        graph.index.emplace(node.get(), index);
    return index;
}

// Leaves the floats of a resized vector as they are: pixels about to be written whole need no zeros
// first.
template <class T> struct UninitialisedAllocator : std::allocator<T>
{
    template <class U> struct rebind
    {
        using other = UninitialisedAllocator<U>;
    };
    UninitialisedAllocator() = default;
    template <class U> UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
    template <class U> void construct(U* p) noexcept { ::new (static_cast<void*>(p)) U; }
    template <class U, class... Args> void construct(U* p, Args&&... args)
    {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

// A tile's pixels of one node: RGBA floats over `rect`, rows upward from its bottom. Kept from tile to
// tile (emptied, not freed), so that a render allocates its intermediates once per thread.
struct Pixels
{
    Rect rect = Rect::null();
    int x0 = 0, y0 = 0, width = 0, height = 0;
    std::vector<float, UninitialisedAllocator<float>> values;
};

// What a worker keeps from one render for the next (up to KeptBytes): renders in quick succession (the
// bands of a filter's input, frames) then allocate nothing and touch no new pages. A render nested in
// another on the same thread finds it taken and allocates its own.
// The last kernel's rows go to the sink in parts of at most this many floats (64 KB).
constexpr int ChunkFloats = 16384;

struct ThreadScratch
{
    static constexpr size_t KeptBytes = size_t(32) << 20;
    std::vector<Pixels> pixels;
    std::vector<float> topDown;
};
thread_local ThreadScratch threadScratch;

struct Tile;

// What a sampler reads from, for the read functions.
struct Reader
{
    const Chain* chain = nullptr;
    const Pixels* pixels = nullptr; // Buffer
    const Bitmap* bitmap = nullptr; // Bitmap
    Tile* tile = nullptr;           // Fused
    int member = -1;                // Fused
};

struct Tile
{
    const Graph* graph = nullptr;
    std::vector<Rect> required;
    std::vector<Rect> rects;
    std::vector<Pixels> pixels;
    // Per node: its samplers' readers and the arguments handed to its translated kernel.
    std::vector<std::vector<Reader>> readers;
    std::vector<std::vector<kl::Sampler>> samplers;
    std::vector<std::vector<const kl::Sampler*>> samplerPointers;
    std::vector<std::vector<const float*>> values;
    // Rows of fused kernels, and rows of sources converted to floats, per node (and sampler).
    std::vector<std::vector<float>> fusedRows;
    std::vector<std::vector<std::vector<float>>> sourceRows;
    // Per node and sampler: where a sampler read along the axes reads each column (see scaledRow).
    std::vector<std::vector<struct ColumnReads>> columnReads;
    std::vector<const float*> rowPointers;
    std::vector<kl::vec4> rowExtents;
    // Intermediates computed a row at a time (see streamRow): per node, the samplers that load from its
    // pixels, pointed at each new row.
    bool inRows = false;
    std::vector<std::vector<kl::Sampler*>> rowPlanes;
    // Per node: a blend with a mask whose mask is 0 over all of this tile computes its background only
    // (see plan); its picture, and what only the picture reads, is not computed here.
    std::vector<char> maskedOut;
};

// Where the reads of one run of a row land along x, for a sampler read through scales, moves, crops and
// clamps along the axes only: the same for every row of a tile, so worked out once per tile.
struct ColumnReads
{
    int x0 = 0, n = -1, begin = 0, end = 0;
    std::vector<int> column; // the left pixel of each read
    std::vector<float> weight;
    std::vector<unsigned char> inside; // 0 where a crop leaves the read transparent
};

inline kl::vec4 fetchPixels(const Pixels& p, int x, int y)
{
    const int i = x - p.x0, j = y - p.y0;
    if (i < 0 || j < 0 || i >= p.width || j >= p.height)
        return kl::vec4(0.0f);
    const float* v = &p.values[(size_t(j) * size_t(p.width) + size_t(i)) * 4];
    return kl::vec4(v[0], v[1], v[2], v[3]);
}

inline kl::vec4 fetchBitmap(const Bitmap& b, int x, int y)
{
    if (x < 0 || y < 0 || x >= b.width() || y >= b.height())
        return kl::vec4(0.0f);
    const uint8_t* row = b.row(b.height() - 1 - y);
    switch (b.format()) {
    case Bitmap::Format::RGBA8: {
        const uint8_t* p = row + size_t(x) * 4;
        return kl::vec4(p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f, p[3] / 255.0f);
    }
    case Bitmap::Format::RGBAf: {
        const float* p = reinterpret_cast<const float*>(row) + size_t(x) * 4;
        return kl::vec4(p[0], p[1], p[2], p[3]);
    }
    case Bitmap::Format::Grayf: {
        float v;
        std::memcpy(&v, row + size_t(x) * 4, 4);
        return kl::vec4(v, v, v, 1.0f);
    }
    case Bitmap::Format::Gray8: {
        const float v = row[x] / 255.0f;
        return kl::vec4(v, v, v, 1.0f);
    }
    case Bitmap::Format::Gray16: {
        uint16_t word;
        std::memcpy(&word, row + size_t(x) * 2, 2);
        const float v = word / 65535.0f;
        return kl::vec4(v, v, v, 1.0f);
    }
    }
    return kl::vec4(0.0f);
}

// Bytes as the floats fetchBitmap makes of them.
const std::array<float, 256> byteValues = [] {
    std::array<float, 256> values{};
    for (int i = 0; i < 256; ++i)
        values[size_t(i)] = float(i) / 255.0f;
    return values;
}();

kl::vec4 evaluate(Tile& tile, int index);

// The value of a chain that ends in pixels at a point of its sampler's space: through the chain's stages
// to the terminal, whose pixels (`fetch(x, y)`, transparent outside them) are read at their centres as
// they are, between them bilinearly (or the nearest, when asked).
template <class Fetch> kl::vec4 readPoint(const Chain& chain, kl::vec2 point, const Fetch& fetch)
{
    double px = point.x, py = point.y;
    for (const Stage& stage : chain.stages) {
        if (!stage.identity) {
            const double x = stage.map.a * px + stage.map.c * py + stage.map.tx;
            py = stage.map.b * px + stage.map.d * py + stage.map.ty;
            px = x;
        }
        if (stage.crop) {
            if (px < stage.edges[0] || py < stage.edges[1] || px >= stage.edges[2] || py >= stage.edges[3])
                return kl::vec4(0.0f);
        } else {
            px = std::clamp(px, double(stage.edges[0]), double(stage.edges[2]));
            py = std::clamp(py, double(stage.edges[1]), double(stage.edges[3]));
        }
    }
    switch (chain.terminal) {
    case Chain::Terminal::Zero:
    case Chain::Terminal::Fused:
        return kl::vec4(0.0f);
    case Chain::Terminal::Constant:
        return chain.constant;
    default:
        break;
    }
    const AffineTransform& m = chain.finalMap;
    const float tx = float(m.a * px + m.c * py + m.tx), ty = float(m.b * px + m.d * py + m.ty);
    if (chain.nearest)
        return fetch(int(std::floor(tx)), int(std::floor(ty)));
    const float cx = tx - 0.5f, cy = ty - 0.5f;
    const float fx = std::floor(cx), fy = std::floor(cy);
    const float wx = cx - fx, wy = cy - fy;
    const int i = int(fx), j = int(fy);
    if (wx == 0.0f && wy == 0.0f)
        return fetch(i, j); // a pixel centre: a direct load
    const kl::vec4 a = fetch(i, j), b = fetch(i + 1, j), d = fetch(i, j + 1), e = fetch(i + 1, j + 1);
    return kl::mix(kl::mix(a, b, wx), kl::mix(d, e, wx), wy);
}

// A sampler's value at a point of its space.
kl::vec4 readChain(const kl::Sampler& sampler, kl::vec2 point)
{
    const Reader& reader = *static_cast<const Reader*>(sampler.source);
    const Chain& chain = *reader.chain;
    if (chain.terminal == Chain::Terminal::Fused)
        return evaluate(*reader.tile, reader.member);
    return readPoint(chain, point, [&](int x, int y) {
        return reader.bitmap ? fetchBitmap(*reader.bitmap, x, y) : fetchPixels(*reader.pixels, x, y);
    });
}

kl::vec4 evaluate(Tile& tile, int index)
{
    const Node& node = tile.graph->nodes[size_t(index)];
    const kl::vec2 p = kl::currentDestination;
    const Rect& area = node.area;
    if (node.fused && !area.isInfinite() &&
        (area.isNull() || p.x < area.minX() || p.y < area.minY() || p.x >= area.maxX() || p.y >= area.maxY()))
        return kl::vec4(0.0f);
    if (size_t(index) < tile.maskedOut.size() && tile.maskedOut[size_t(index)]) {
        const kl::Sampler& background = tile.samplers[size_t(index)][1];
        return kl::sample(background, kl::samplerCoord(background));
    }
    return node.node->kernel->cpu(tile.samplerPointers[size_t(index)].data(),
                                  tile.values[size_t(index)].data());
}

Rect propagate(const Chain& chain, const Rect& roi)
{
    Rect r = roi;
    for (const Stage& stage : chain.stages) {
        if (r.isNull())
            return r;
        if (!stage.identity)
            r = stage.map.map(r);
        r = stage.crop ? r.intersected(stage.rect) : project(r, stage.rect);
    }
    if (r.isNull())
        return r;
    return chain.finalMap.map(r).insetBy(-1, -1); // bilinear reads reach one pixel around the point
}

// Whether a node is the engine's blend of a picture over a background through a mask (its samplers:
// the picture, the background, the mask).
bool blendsThroughMask(const ImageNode& node)
{
    return node.kernel && node.kernel == BlendWithMaskFilter::kernel().data();
}

// Whether green is at most 0 in every pixel of a bitmap whose centre lies in `r` (its pixel space, y up).
bool greenIsZeroIn(const Bitmap& b, const Rect& r)
{
    const int x0 = std::max(0, int(std::floor(r.minX()))), x1 = std::min(b.width(), int(std::ceil(r.maxX())));
    const int y0 = std::max(0, int(std::floor(r.minY()))),
              y1 = std::min(b.height(), int(std::ceil(r.maxY())));
    for (int y = y0; y < y1; ++y) {
        const uint8_t* row = b.row(b.height() - 1 - y);
        // Or-ed over the row, not left at the first value, so that the loop runs many values at once.
        bool any = false;
        switch (b.format()) {
        case Bitmap::Format::RGBA8: {
            uint8_t bits = 0;
            for (int x = x0; x < x1; ++x)
                bits |= row[size_t(x) * 4 + 1];
            any = bits != 0;
            break;
        }
        case Bitmap::Format::Gray8: {
            uint8_t bits = 0;
            for (int x = x0; x < x1; ++x)
                bits |= row[x];
            any = bits != 0;
            break;
        }
        case Bitmap::Format::Gray16: {
            uint16_t bits = 0;
            for (int x = x0; x < x1; ++x) {
                uint16_t word;
                std::memcpy(&word, row + size_t(x) * 2, 2);
                bits |= word;
            }
            any = bits != 0;
            break;
        }
        case Bitmap::Format::RGBAf:
        case Bitmap::Format::Grayf: {
            // Not "> 0": a value that is not a number is no zero either.
            const int step = b.format() == Bitmap::Format::RGBAf ? 4 : 1, channel = step == 4 ? 1 : 0;
            for (int x = x0; x < x1; ++x) {
                float v;
                std::memcpy(&v, row + (size_t(x) * size_t(step) + size_t(channel)) * 4, 4);
                any = any || !(v <= 0.0f);
            }
            break;
        }
        }
        if (any)
            return false;
    }
    return true;
}

// Whether every read of a chain over `roi` (of its sampler's space) is 0 or less in green: nothing, a
// colour, or a bitmap whose pixels within reach of the reads all are. False where that is not known
// without computing it.
bool readsNoGreen(const Chain& chain, const Rect& roi)
{
    switch (chain.terminal) {
    case Chain::Terminal::Zero:
        return true;
    case Chain::Terminal::Constant:
        return chain.constant.y <= 0.0f;
    case Chain::Terminal::Bitmap: {
        if (!chain.bitmap)
            return false;
        const Rect reach = propagate(chain, roi); // bilinear reads included, clamps projected
        return reach.isNull() || (isFinite(reach) && greenIsZeroIn(*chain.bitmap, reach));
    }
    default:
        return false;
    }
}

// Which pixels of every node this tile needs; false when one of them is unbounded. A blend whose mask
// is 0 over its whole region is its background there, exactly (mix(b, p, 0) is b): its picture is not
// needed, which spares the whole of an effect outside the strokes that paint it.
bool plan(Tile& tile, const Rect& rect)
{
    const Graph& graph = *tile.graph;
    const int count = int(graph.nodes.size());
    tile.required.assign(size_t(count), Rect::null());
    tile.rects.assign(size_t(count), Rect::null());
    tile.required[size_t(count - 1)] = rect;
    tile.maskedOut.assign(size_t(count), 0);
    std::function<bool(int, const Rect&)> visit = [&](int i, const Rect& area) {
        tile.rects[size_t(i)] = area;
        const Node& node = graph.nodes[size_t(i)];
        const auto roiOf = [&](size_t k) {
            return node.node->roi ? node.node->roi(int(k), area) : node.chains[k].workingToSampler.map(area);
        };
        if (node.chains.size() == 3 && blendsThroughMask(*node.node) &&
            readsNoGreen(node.chains[2], roiOf(2)))
            tile.maskedOut[size_t(i)] = 1;
        for (size_t k = 0; k < node.chains.size(); ++k) {
            const Chain& chain = node.chains[k];
            if (chain.target < 0 || (k == 0 && tile.maskedOut[size_t(i)]))
                continue;
            const Rect roi = roiOf(k);
            if (chain.terminal == Chain::Terminal::Fused) {
                const Node& member = graph.nodes[size_t(chain.target)];
                const Rect own = roundOut(roi.intersected(areaOf(*member.node)));
                if (own.isNull() || own.isEmpty())
                    continue;
                if (!isFinite(own) || !visit(chain.target, own))
                    return false;
                continue;
            }
            const Rect needed = propagate(chain, roi);
            if (!needed.isNull())
                tile.required[size_t(chain.target)] = tile.required[size_t(chain.target)].united(needed);
        }
        return true;
    };
    for (int i = count - 1; i >= 0; --i) {
        const Node& node = graph.nodes[size_t(i)];
        if (node.fused || tile.required[size_t(i)].isNull())
            continue;
        const Rect area =
            i == count - 1 ? rect : roundOut(tile.required[size_t(i)].intersected(areaOf(*node.node)));
        if (area.isNull() || area.isEmpty())
            continue;
        if (!isFinite(area))
            return false;
        if (node.kernel) {
            if (!visit(i, area))
                return false;
        } else {
            tile.rects[size_t(i)] = area;
        }
    }
    return true;
}

void setUpSamplers(Tile& tile)
{
    const Graph& graph = *tile.graph;
    const size_t count = graph.nodes.size();
    tile.readers.assign(count, {});
    tile.samplers.assign(count, {});
    tile.samplerPointers.assign(count, {});
    tile.values.assign(count, {});
    tile.fusedRows.resize(count);
    tile.sourceRows.resize(count);
    tile.columnReads.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const Node& node = graph.nodes[i];
        if (!node.kernel)
            continue;
        auto& readers = tile.readers[i];
        auto& samplers = tile.samplers[i];
        readers.resize(node.chains.size());
        samplers.resize(node.chains.size());
        tile.sourceRows[i].resize(node.chains.size());
        tile.columnReads[i].resize(node.chains.size());
        for (ColumnReads& reads : tile.columnReads[i])
            reads.n = -1; // a new tile: its runs are worked out again
        for (size_t k = 0; k < node.chains.size(); ++k) {
            const Chain& chain = node.chains[k];
            Reader& reader = readers[k];
            reader.chain = &chain;
            reader.tile = &tile;
            reader.member = chain.target;
            if (chain.terminal == Chain::Terminal::Bitmap)
                reader.bitmap = chain.bitmap;
            else if (chain.terminal == Chain::Terminal::Buffer)
                reader.pixels = &tile.pixels[size_t(chain.target)];
            kl::Sampler& s = samplers[k];
            const AffineTransform& w = chain.workingToSampler;
            s.a = float(w.a), s.b = float(w.b), s.c = float(w.c), s.d = float(w.d);
            s.tx = float(w.tx), s.ty = float(w.ty);
            const Rect& e = chain.samplerExtent;
            if (e.isInfinite())
                s.extent = kl::vec4(-1e30f, -1e30f, 2e30f, 2e30f);
            else if (!e.isNull())
                s.extent = kl::vec4(float(e.minX()), float(e.minY()), float(e.width()), float(e.height()));
            s.read = &readChain;
            s.source = &reader;
        }
        for (const kl::Sampler& s : samplers)
            tile.samplerPointers[i].push_back(&s);
        for (const KernelArgumentValue& argument : node.node->arguments) {
            const auto* numbers = std::get_if<std::vector<float>>(&argument);
            tile.values[i].push_back(numbers ? numbers->data() : nullptr);
        }
    }
}

// The crops and clamps of a chain as windows of whole pixels of the sampler's space, where every one of
// them is that (a blur's input clamped to its extent, a blur cropped to the picture's): reads at pixel
// centres then stay loads. False for stages that move the image or cut it between pixels.
bool planeWindows(const Chain& chain, kl::Sampler& s)
{
    if (chain.stages.size() > size_t(kl::Sampler::MaxWindows))
        return false;
    int count = 0;
    for (const Stage& stage : chain.stages) {
        const Rect& r = stage.rect;
        if (!stage.identity || r.isNull() || r.isInfinite() || !builtin::isIntegral(r) ||
            std::abs(r.minX()) > 1e6 || std::abs(r.minY()) > 1e6 || std::abs(r.maxX()) > 1e6 ||
            std::abs(r.maxY()) > 1e6 || (!stage.crop && (r.width() < 1 || r.height() < 1)))
            return false;
        kl::Sampler::Window& window = s.windows[count++];
        window.crop = stage.crop;
        window.x0 = int(r.minX());
        window.y0 = int(r.minY());
        window.x1 = int(r.maxX());
        window.y1 = int(r.maxY());
    }
    s.windowCount = count;
    return true;
}

// Lets a kernel's samplers load pixels straight from what they read, where that is pixels in memory on
// their own grid: the reads of neighbourhoods (blurs, medians, resampling) then cost a load each. Called
// once the inputs of node `index` have their pixels for this tile.
void pointPlanes(Tile& tile, int index)
{
    const Node& node = tile.graph->nodes[size_t(index)];
    if (!node.kernel)
        return;
    for (size_t k = 0; k < node.chains.size(); ++k) {
        const Chain& chain = node.chains[k];
        kl::Sampler& s = tile.samplers[size_t(index)][k];
        s.plane = nullptr;
        s.plane8 = nullptr;
        s.windowCount = 0;
        s.nearest = chain.nearest;
        const AffineTransform& m = chain.finalMap;
        if (!planeWindows(chain, s) || m.a != 1 || m.b != 0 || m.c != 0 || m.d != 1 ||
            m.tx != std::floor(m.tx) || m.ty != std::floor(m.ty) || std::abs(m.tx) > 1e6 ||
            std::abs(m.ty) > 1e6)
            continue;
        s.planeDx = float(m.tx);
        s.planeDy = float(m.ty);
        if (chain.terminal == Chain::Terminal::Buffer) {
            if (tile.inRows && tile.graph->nodes[size_t(chain.target)].kernel) {
                tile.rowPlanes[size_t(chain.target)].push_back(&s);
                continue;
            }
            const Pixels& p = tile.pixels[size_t(chain.target)];
            if (p.values.empty())
                continue;
            s.plane = p.values.data();
            s.planeX0 = p.x0;
            s.planeY0 = p.y0;
            s.planeWidth = p.width;
            s.planeHeight = p.height;
            s.planeStride = std::ptrdiff_t(p.width) * 4;
        } else if (chain.terminal == Chain::Terminal::Bitmap) {
            if (!chain.bitmap)
                continue;
            const Bitmap& b = *chain.bitmap;
            if (b.isNull() || (b.format() != Bitmap::Format::RGBAf && b.format() != Bitmap::Format::RGBA8))
                continue;
            const uint8_t* bottom = b.row(b.height() - 1);
            s.planeX0 = 0;
            s.planeY0 = 0;
            s.planeWidth = b.width();
            s.planeHeight = b.height();
            if (b.format() == Bitmap::Format::RGBAf) {
                s.plane = reinterpret_cast<const float*>(bottom);
                s.planeStride = -std::ptrdiff_t(b.bytesPerRow() / 4);
            } else {
                s.plane8 = bottom;
                s.planeStride = -std::ptrdiff_t(b.bytesPerRow());
            }
        }
    }
}

// Copies what lies inside `rect` of `whole` (whose pixels cover `bounds`, rows top-down) into `region`
// (`rect`'s size, floats, zero elsewhere).
bool copyPart(const Bitmap& whole, const Rect& bounds, const Rect& rect, Bitmap& region)
{
    const Rect inside = rect.intersected(bounds);
    if (inside.isNull() || inside.isEmpty())
        return true;
    const int bpp = Bitmap::bytesPerPixel(whole.format());
    const int left = int(inside.minX() - bounds.minX()), first = int(bounds.maxY() - inside.maxY());
    const int dx = int(inside.minX() - rect.minX()), top = int(rect.maxY() - inside.maxY());
    if (whole.format() == Bitmap::Format::RGBAf) {
        for (int row = 0; row < int(inside.height()); ++row)
            std::memcpy(region.mutableRow(top + row) + size_t(dx) * 16,
                        whole.row(first + row) + size_t(left) * size_t(bpp), size_t(inside.width()) * 16);
        return true;
    }
    Bitmap part(int(inside.width()), int(inside.height()), whole.format());
    if (part.isNull())
        return false;
    for (int row = 0; row < part.height(); ++row)
        std::memcpy(part.mutableRow(row), whole.row(first + row) + size_t(left) * size_t(bpp),
                    part.bytesPerRow());
    const Bitmap floats = part.converted(Bitmap::Format::RGBAf);
    if (floats.isNull())
        return false;
    for (int row = 0; row < floats.height(); ++row)
        std::memcpy(region.mutableRow(top + row) + size_t(dx) * 16, floats.row(row), floats.bytesPerRow());
    return true;
}

bool materialise(const Graph& graph, int index, const Rect& rect, Pixels& out)
{
    const ImageNode& node = *graph.nodes[size_t(index)].node;
    const int w = int(rect.width()), h = int(rect.height());
    // Floats made before the tiles (a part rendered in passes, CPU pixels): their rows go straight into
    // the tile's, with zeros only where they have none.
    const std::pair<Bitmap, Rect>* floats = nullptr;
    std::pair<Bitmap, Rect> computed;
    if (graph.nodes[size_t(index)].boundary) {
        const auto found = graph.boundaries.find(index);
        if (found == graph.boundaries.end())
            return false;
        floats = &found->second;
    } else if (node.computed) {
        computed = {node.computed->whole(), node.computed->bounds()};
        floats = &computed;
    }
    if (floats && floats->first.format() == Bitmap::Format::RGBAf) {
        const Bitmap& whole = floats->first;
        const Rect& bounds = floats->second;
        out.rect = rect;
        out.x0 = int(rect.minX());
        out.y0 = int(rect.minY());
        out.width = w;
        out.height = h;
        const Rect inside = rect.intersected(bounds);
        const bool some = !inside.isNull() && !inside.isEmpty();
        if (some && inside == rect)
            out.values.resize(size_t(w) * size_t(h) * 4);
        else
            out.values.assign(size_t(w) * size_t(h) * 4, 0.0f);
        if (!some)
            return true;
        const int left = int(inside.minX() - bounds.minX()), n = int(inside.width());
        for (int y = int(inside.minY()); y < int(inside.maxY()); ++y)
            std::memcpy(
                &out.values[(size_t(y - out.y0) * size_t(w) + size_t(inside.minX() - rect.minX())) * 4],
                whole.row(int(bounds.maxY()) - 1 - y) + size_t(left) * 16, size_t(n) * 16);
        return true;
    }
    Bitmap region(w, h, Bitmap::Format::RGBAf, Bitmap::Fill::Zero);
    if (region.isNull())
        return false;
    if (graph.nodes[size_t(index)].boundary) {
        const auto found = graph.boundaries.find(index);
        if (found == graph.boundaries.end() ||
            !copyPart(found->second.first, found->second.second, rect, region))
            return false;
    } else if (node.computed) {
        // Computed before the tiles started (see render): a part of those pixels.
        if (!copyPart(node.computed->whole(), node.computed->bounds(), rect, region))
            return false;
    } else {
        // A tile store at the origin: what lies inside it.
        const Rect inside = rect.intersected(Rect(0, 0, node.tiles.width(), node.tiles.height()));
        if (!inside.isNull() && !inside.isEmpty()) {
            Bitmap part(int(inside.width()), int(inside.height()), node.tiles.format());
            if (part.isNull())
                return false;
            node.tiles.read(int(inside.minX()), node.tiles.height() - int(inside.maxY()), part.width(),
                            part.height(), part);
            const Bitmap floats = part.converted(Bitmap::Format::RGBAf);
            if (floats.isNull())
                return false;
            const int dx = int(inside.minX() - rect.minX()), top = int(rect.maxY() - inside.maxY());
            for (int row = 0; row < floats.height(); ++row)
                std::memcpy(region.mutableRow(top + row) + size_t(dx) * 16, floats.row(row),
                            floats.bytesPerRow());
        }
    }
    out.rect = rect;
    out.x0 = int(rect.minX());
    out.y0 = int(rect.minY());
    out.width = w;
    out.height = h;
    out.values.resize(size_t(w) * size_t(h) * 4);
    for (int j = 0; j < h; ++j)
        std::memcpy(&out.values[size_t(j) * size_t(w) * 4], region.row(h - 1 - j), size_t(w) * 16);
    return true;
}

// Converts `n` pixels of a bitmap's row (y up) from column `x` into RGBA floats: the photo and the
// masks of every tile of a composition pass through here, so bytes and words are converted sixteen
// and four at a time (the same values as one at a time).
void bitmapRow(const Bitmap& b, int x, int y, int n, float* out)
{
    const uint8_t* row = b.row(b.height() - 1 - y);
    // A tile's row of a large bitmap is a short run (a few cache lines) far from the last one, too short
    // for the hardware to see a stream: the rows next to it, one of which the next row of the tile reads,
    // are fetched while this one is converted, instead of waiting for memory row after row.
    {
        const size_t bpp = size_t(Bitmap::bytesPerPixel(b.format()));
        const size_t from = size_t(x) * bpp, to = from + size_t(n) * bpp;
        const std::ptrdiff_t stride = std::ptrdiff_t(b.bytesPerRow());
        const bool below = y > 0, above = y + 1 < b.height();
        for (size_t offset = from & ~size_t(63); offset < to; offset += 64) {
            if (below)
                __builtin_prefetch(row + stride + std::ptrdiff_t(offset));
            if (above)
                __builtin_prefetch(row - stride + std::ptrdiff_t(offset));
        }
    }
    switch (b.format()) {
    case Bitmap::Format::RGBA8: {
        const uint8_t* p = row + size_t(x) * 4;
        int i = 0;
#if defined(__SSE2__)
        const __m128 scale = _mm_set1_ps(1.0f / 255.0f);
        const __m128i zero = _mm_setzero_si128();
        for (; i + 16 <= n * 4; i += 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            const __m128i lo = _mm_unpacklo_epi8(bytes, zero), hi = _mm_unpackhi_epi8(bytes, zero);
            _mm_storeu_ps(out + i, _mm_mul_ps(_mm_cvtepi32_ps(_mm_unpacklo_epi16(lo, zero)), scale));
            _mm_storeu_ps(out + i + 4, _mm_mul_ps(_mm_cvtepi32_ps(_mm_unpackhi_epi16(lo, zero)), scale));
            _mm_storeu_ps(out + i + 8, _mm_mul_ps(_mm_cvtepi32_ps(_mm_unpacklo_epi16(hi, zero)), scale));
            _mm_storeu_ps(out + i + 12, _mm_mul_ps(_mm_cvtepi32_ps(_mm_unpackhi_epi16(hi, zero)), scale));
        }
#endif
        for (; i < n * 4; ++i)
            out[i] = float(p[i]) * (1.0f / 255.0f);
        return;
    }
    case Bitmap::Format::RGBAf:
        std::memcpy(out, row + size_t(x) * 16, size_t(n) * 16);
        return;
    case Bitmap::Format::Gray16: {
        // Masks: grey, opaque (the same values as fetchBitmap gives).
        const uint8_t* p = row + size_t(x) * 2;
        int i = 0;
#if defined(__SSE2__)
        const __m128 scale = _mm_set1_ps(65535.0f), one = _mm_set1_ps(1.0f);
        const __m128i zero = _mm_setzero_si128();
        for (; i + 4 <= n; i += 4) {
            const __m128i words = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + size_t(i) * 2));
            const __m128 v = _mm_div_ps(_mm_cvtepi32_ps(_mm_unpacklo_epi16(words, zero)), scale);
            // (v0 v0 v0 1) (v1 v1 v1 1) ...: each value spread over its pixel's colour, alpha 1.
            const __m128 v01 = _mm_unpacklo_ps(v, v), v23 = _mm_unpackhi_ps(v, v);
            const __m128 a = _mm_shuffle_ps(v01, one, _MM_SHUFFLE(0, 0, 0, 0));
            const __m128 b = _mm_shuffle_ps(v01, one, _MM_SHUFFLE(0, 0, 2, 2));
            const __m128 c = _mm_shuffle_ps(v23, one, _MM_SHUFFLE(0, 0, 0, 0));
            const __m128 d = _mm_shuffle_ps(v23, one, _MM_SHUFFLE(0, 0, 2, 2));
            float* q = out + size_t(i) * 4;
            _mm_storeu_ps(q, _mm_shuffle_ps(a, a, _MM_SHUFFLE(2, 0, 0, 0)));
            _mm_storeu_ps(q + 4, _mm_shuffle_ps(b, b, _MM_SHUFFLE(2, 0, 0, 0)));
            _mm_storeu_ps(q + 8, _mm_shuffle_ps(c, c, _MM_SHUFFLE(2, 0, 0, 0)));
            _mm_storeu_ps(q + 12, _mm_shuffle_ps(d, d, _MM_SHUFFLE(2, 0, 0, 0)));
        }
#endif
        for (; i < n; ++i) {
            uint16_t word;
            std::memcpy(&word, p + size_t(i) * 2, 2);
            const float v = word / 65535.0f;
            out[i * 4] = v;
            out[i * 4 + 1] = v;
            out[i * 4 + 2] = v;
            out[i * 4 + 3] = 1.0f;
        }
        return;
    }
    case Bitmap::Format::Gray8: {
        const uint8_t* p = row + size_t(x);
        for (int i = 0; i < n; ++i) {
            const float v = p[i] / 255.0f;
            out[i * 4] = v;
            out[i * 4 + 1] = v;
            out[i * 4 + 2] = v;
            out[i * 4 + 3] = 1.0f;
        }
        return;
    }
    default:
        for (int i = 0; i < n; ++i) {
            const kl::vec4 v = fetchBitmap(b, x + i, y);
            out[i * 4] = v.x;
            out[i * 4 + 1] = v.y;
            out[i * 4 + 2] = v.z;
            out[i * 4 + 3] = v.w;
        }
        return;
    }
}

void computeRow(Tile& tile, int index, int x0, int n, int y, float* out);

// Whether a chain reads along the axes only: every map of it scales and moves, none turns.
bool alongAxes(const Chain& chain, const kl::Sampler& sampler)
{
    if (sampler.b != 0.0f || sampler.c != 0.0f || chain.finalMap.b != 0 || chain.finalMap.c != 0)
        return false;
    for (const Stage& stage : chain.stages)
        if (stage.map.b != 0 || stage.map.c != 0)
            return false;
    return true;
}

// Pixels [begin, end) of a row read from floats in memory through a chain along the axes (a reduced
// picture scaled back up through a clamp, a mask scaled to its layer): each read as readPoint reads it,
// the same arithmetic in the same order, but the vertical half of it once for the row and the
// horizontal half once for the tile's run of columns, and the four pixels of a read blended four
// channels at a time. `rowOf(j)` is row j of the pixels (null outside them), `left` and `width` the
// columns they hold.
template <class RowOf>
void scaledRow(const Chain& chain, const kl::Sampler& sampler, ColumnReads& reads, int x0, int n, int y,
               int begin, int end, const RowOf& rowOf, int left, int width, float* out)
{
    const float py = float(y) + 0.5f;
    // The vertical half, as readPoint works it out (its maps have no x term to add).
    const float first = float(x0 + begin) + 0.5f;
    double qy = double(sampler.b * first + sampler.d * py + sampler.ty);
    bool rowInside = true;
    for (const Stage& stage : chain.stages) {
        if (!stage.identity)
            qy = stage.map.b * 0.0 + stage.map.d * qy + stage.map.ty;
        if (stage.crop)
            rowInside = rowInside && !(qy < stage.edges[1] || qy >= stage.edges[3]);
        else
            qy = std::clamp(qy, double(stage.edges[1]), double(stage.edges[3]));
    }
    const AffineTransform& m = chain.finalMap;
    const float ty = float(m.b * 0.0 + m.d * qy + m.ty);
    const float cy = ty - 0.5f, fy = std::floor(cy), wy = cy - fy;
    const int j = int(fy);
    // The horizontal half, once per run.
    if (reads.x0 != x0 || reads.n != n || reads.begin != begin || reads.end != end) {
        reads.x0 = x0;
        reads.n = n;
        reads.begin = begin;
        reads.end = end;
        reads.column.resize(size_t(n));
        reads.weight.resize(size_t(n));
        reads.inside.resize(size_t(n));
        for (int i = begin; i < end; ++i) {
            double qx = double(sampler.a * (float(x0 + i) + 0.5f) + sampler.c * py + sampler.tx);
            bool inside = true;
            for (const Stage& stage : chain.stages) {
                if (!stage.identity)
                    qx = stage.map.a * qx + stage.map.c * 0.0 + stage.map.tx;
                if (stage.crop)
                    inside = inside && !(qx < stage.edges[0] || qx >= stage.edges[2]);
                else
                    qx = std::clamp(qx, double(stage.edges[0]), double(stage.edges[2]));
            }
            const float tx = float(m.a * qx + m.c * 0.0 + m.tx);
            const float cx = tx - 0.5f, fx = std::floor(cx);
            reads.column[size_t(i)] = int(fx);
            reads.weight[size_t(i)] = cx - fx;
            reads.inside[size_t(i)] = inside && std::abs(fx) < 1e9f;
        }
    }
    const float* lower = std::abs(fy) < 1e9f ? rowOf(j) : nullptr;
    const float* upper = std::abs(fy) < 1e9f ? rowOf(j + 1) : nullptr;
    const auto at = [&](const float* row, int column) -> const float* {
        static const float transparent[4] = {0, 0, 0, 0};
        const int i = column - left;
        return row && i >= 0 && i < width ? row + std::ptrdiff_t(i) * 4 : transparent;
    };
#if defined(__SSE2__)
    const __m128 one = _mm_set1_ps(1.0f), v = _mm_set1_ps(wy), notV = _mm_sub_ps(one, v);
#endif
    for (int i = begin; i < end; ++i) {
        float* q = out + std::ptrdiff_t(i) * 4;
        if (!rowInside || !reads.inside[size_t(i)]) {
            std::fill(q, q + 4, 0.0f);
            continue;
        }
        const int c = reads.column[size_t(i)];
        const float wx = reads.weight[size_t(i)];
        if (wx == 0.0f && wy == 0.0f) {
            std::memcpy(q, at(lower, c), 16);
            continue;
        }
        const float *a = at(lower, c), *b = at(lower, c + 1), *d = at(upper, c), *e = at(upper, c + 1);
#if defined(__SSE2__)
        const __m128 u = _mm_set1_ps(wx), notU = _mm_sub_ps(one, u);
        const __m128 bottom = _mm_add_ps(_mm_mul_ps(_mm_loadu_ps(a), notU), _mm_mul_ps(_mm_loadu_ps(b), u));
        const __m128 top = _mm_add_ps(_mm_mul_ps(_mm_loadu_ps(d), notU), _mm_mul_ps(_mm_loadu_ps(e), u));
        _mm_storeu_ps(q, _mm_add_ps(_mm_mul_ps(bottom, notV), _mm_mul_ps(top, v)));
#else
        for (int ch = 0; ch < 4; ++ch)
            q[ch] = kl::mix(kl::mix(a[ch], b[ch], wx), kl::mix(d[ch], e[ch], wx), wy);
#endif
    }
}

// The row of a sampler that reads pixels in memory off their grid (turned, scaled, moved by fractions
// of a pixel): each point read as readChain reads it, but only where the read can reach the pixels.
// Elsewhere the row is transparent without a read: a sprite laid over a large picture then costs its
// own pixels, not the picture's. Always true.
bool transformedRow(Tile& tile, int index, size_t k, int x0, int n, int y)
{
    const Chain& chain = tile.graph->nodes[size_t(index)].chains[k];
    kl::Sampler& sampler = tile.samplers[size_t(index)][k];
    std::vector<float>& buffer = tile.sourceRows[size_t(index)][k];
    buffer.resize(size_t(n) * 4);
    sampler.row = buffer.data();
    sampler.rowX0 = x0;

    // The terminal's pixels, in its own space.
    double left = 0, bottom = 0, right = 0, top = 0;
    if (chain.terminal == Chain::Terminal::Buffer) {
        const Pixels& p = tile.pixels[size_t(chain.target)];
        if (!p.values.empty()) {
            left = p.x0;
            bottom = p.y0;
            right = p.x0 + p.width;
            top = p.y0 + p.height;
        }
    } else {
        right = chain.bitmap->width();
        top = chain.bitmap->height();
    }
    int begin = 0, end = right > left && top > bottom ? n : 0;
    bool clamps = false;
    for (const Stage& stage : chain.stages)
        clamps = clamps || !stage.crop;
    if (end > 0 && !clamps) {
        // A bilinear read at t touches pixels floor(t - 0.5) and the next: nothing but zeros unless t
        // lies within half a pixel of the pixels. The points are worked out in floats by the kernel, in
        // doubles here: two pixels of margin keep every point that can read a pixel inside the run.
        AffineTransform whole = chain.workingToSampler;
        for (const Stage& stage : chain.stages)
            whole = whole.concatenated(stage.map);
        whole = whole.concatenated(chain.finalMap);
        constexpr double Margin = 2.5;
        double lo = 0, hi = n;
        auto within = [&](double start, double step, double from, double to) {
            // The i in [lo, hi) with from <= start + step i <= to.
            if (std::abs(step) < 1e-12) {
                if (start < from || start > to)
                    hi = lo;
                return;
            }
            double i0 = (from - start) / step, i1 = (to - start) / step;
            if (i0 > i1)
                std::swap(i0, i1);
            lo = std::max(lo, i0);
            hi = std::min(hi, i1 + 1);
        };
        const double cx = x0 + 0.5, cy = y + 0.5;
        within(whole.a * cx + whole.c * cy + whole.tx, whole.a, left - 0.5 - Margin, right + 0.5 + Margin);
        within(whole.b * cx + whole.d * cy + whole.ty, whole.b, bottom - 0.5 - Margin, top + 0.5 + Margin);
        if (!(lo < hi)) {
            end = 0;
        } else {
            begin = int(std::clamp(std::floor(lo), 0.0, double(n)));
            end = int(std::clamp(std::ceil(hi), double(begin), double(n)));
        }
    }
    float* out = buffer.data();
    std::fill(out, out + std::ptrdiff_t(begin) * 4, 0.0f);
    std::fill(out + std::ptrdiff_t(end) * 4, out + std::ptrdiff_t(n) * 4, 0.0f);
    // The points as the kernel would work them out, read as readChain reads them, from the pixels
    // straight where they are floats or bytes of RGBA.
    const float py = float(y) + 0.5f;
    auto run = [&](const auto& fetch) {
        for (int i = begin; i < end; ++i) {
            const kl::vec2 point = sampler.toSampler(kl::vec2(float(x0 + i) + 0.5f, py));
            const kl::vec4 v = readPoint(chain, point, fetch);
            float* q = out + std::ptrdiff_t(i) * 4;
            q[0] = v.x;
            q[1] = v.y;
            q[2] = v.z;
            q[3] = v.w;
        }
    };
    if (begin >= end)
        return true;
    const bool scaled = !chain.nearest && alongAxes(chain, sampler);
    ColumnReads& reads = tile.columnReads[size_t(index)][k];
    if (chain.terminal == Chain::Terminal::Buffer) {
        const Pixels& p = tile.pixels[size_t(chain.target)];
        if (scaled) {
            const auto rowOf = [&p](int j) {
                return j >= p.y0 && j < p.y0 + p.height && !p.values.empty()
                           ? &p.values[size_t(j - p.y0) * size_t(p.width) * 4]
                           : nullptr;
            };
            scaledRow(chain, sampler, reads, x0, n, y, begin, end, rowOf, p.x0, p.width, out);
            return true;
        }
        run([&p](int x, int y) { return fetchPixels(p, x, y); });
        return true;
    }
    const Bitmap& b = *chain.bitmap;
    if (scaled && b.format() == Bitmap::Format::RGBAf) {
        const auto rowOf = [&b](int j) {
            return j >= 0 && j < b.height() ? reinterpret_cast<const float*>(b.row(b.height() - 1 - j))
                                            : nullptr;
        };
        scaledRow(chain, sampler, reads, x0, n, y, begin, end, rowOf, 0, b.width(), out);
        return true;
    }
    if (b.format() == Bitmap::Format::RGBA8) {
        const uint8_t* bottomRow = b.row(b.height() - 1);
        const std::ptrdiff_t stride = -std::ptrdiff_t(b.bytesPerRow());
        const unsigned width = unsigned(b.width()), height = unsigned(b.height());
        const auto fetch = [&](int x, int y) {
            if (unsigned(x) >= width || unsigned(y) >= height)
                return kl::vec4(0.0f);
            const uint8_t* q = bottomRow + std::ptrdiff_t(y) * stride + std::ptrdiff_t(x) * 4;
            return kl::vec4(byteValues[q[0]], byteValues[q[1]], byteValues[q[2]], byteValues[q[3]]);
        };
#if defined(__SSE2__)
        if (chain.stages.empty() && !chain.nearest && width > 1 && height > 1) {
            // A sprite placed and turned (the usual case): where all four pixels of a read lie inside,
            // they are blended four channels at a time as readPoint blends them, in levels of 0 to 255
            // scaled once at the end (within a unit in the last place of readPoint's values).
            const AffineTransform& m = chain.finalMap;
            const __m128 scale = _mm_set1_ps(1.0f / 255.0f);
            const __m128i zero = _mm_setzero_si128();
            const auto pair = [&](const uint8_t* q, __m128& left, __m128& right) {
                const __m128i words =
                    _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(q)), zero);
                left = _mm_cvtepi32_ps(_mm_unpacklo_epi16(words, zero));
                right = _mm_cvtepi32_ps(_mm_unpackhi_epi16(words, zero));
            };
            const __m128 one = _mm_set1_ps(1.0f);
            const auto mix = [&](__m128 x, __m128 y, __m128 a) {
                return _mm_add_ps(_mm_mul_ps(x, _mm_sub_ps(one, a)), _mm_mul_ps(y, a));
            };
            // The pixels that the same point of the next row up reads first, which this row does not:
            // fetched while this row is worked out, so that the next finds them in the cache.
            const double stepX = m.a * sampler.c + m.c * sampler.d, stepY = m.b * sampler.c + m.d * sampler.d;
            const auto steps = [](double step, double most) {
                return std::isfinite(step) ? std::ptrdiff_t(std::lround(std::clamp(step, -most, most))) : 0;
            };
            const std::ptrdiff_t ahead =
                steps(stepY > 0 ? stepY + 1 : stepY, 4) * stride + steps(stepX, 16) * 4;
            // Four points at a time are worked out as the scalar code works each out: the sampler's
            // point in floats, the terminal's in doubles rounded to floats, floor, weights.
            const __m128 half = _mm_set1_ps(0.5f);
            const __m128 sa = _mm_set1_ps(sampler.a), sb = _mm_set1_ps(sampler.b);
            const __m128 scy = _mm_set1_ps(sampler.c * py), sdy = _mm_set1_ps(sampler.d * py);
            const __m128 stx = _mm_set1_ps(sampler.tx), sty = _mm_set1_ps(sampler.ty);
            const auto toTerminal = [](__m128 x, __m128 y, double a, double c, double t) {
                const __m128d ka = _mm_set1_pd(a), kc = _mm_set1_pd(c), kt = _mm_set1_pd(t);
                const auto half = [&](__m128 hx, __m128 hy) {
                    return _mm_cvtpd_ps(_mm_add_pd(
                        _mm_add_pd(_mm_mul_pd(ka, _mm_cvtps_pd(hx)), _mm_mul_pd(kc, _mm_cvtps_pd(hy))), kt));
                };
                return _mm_movelh_ps(half(x, y), half(_mm_movehl_ps(x, x), _mm_movehl_ps(y, y)));
            };
            // Exact where |v| < 2^31; elsewhere a value no pixel lies at, which the bounds send to the
            // scalar reader.
            const auto floor4 = [&](__m128 v) {
                const __m128 t = _mm_cvtepi32_ps(_mm_cvttps_epi32(v));
                return _mm_sub_ps(t, _mm_and_ps(_mm_cmpgt_ps(t, v), one));
            };
            const float lastX = float(width - 1), lastY = float(height - 1);
            alignas(16) float pointX[4], pointY[4], floorX[4], floorY[4], weightX[4], weightY[4];
            for (int i = begin; i < end; i += 4) {
                const __m128 xs = _mm_add_ps(
                    _mm_cvtepi32_ps(_mm_add_epi32(_mm_set1_epi32(x0 + i), _mm_setr_epi32(0, 1, 2, 3))), half);
                const __m128 pxs = _mm_add_ps(_mm_add_ps(_mm_mul_ps(sa, xs), scy), stx);
                const __m128 pys = _mm_add_ps(_mm_add_ps(_mm_mul_ps(sb, xs), sdy), sty);
                const __m128 cx = _mm_sub_ps(toTerminal(pxs, pys, m.a, m.c, m.tx), half);
                const __m128 cy = _mm_sub_ps(toTerminal(pxs, pys, m.b, m.d, m.ty), half);
                const __m128 fx = floor4(cx), fy = floor4(cy);
                _mm_store_ps(pointX, pxs);
                _mm_store_ps(pointY, pys);
                _mm_store_ps(floorX, fx);
                _mm_store_ps(floorY, fy);
                _mm_store_ps(weightX, _mm_sub_ps(cx, fx));
                _mm_store_ps(weightY, _mm_sub_ps(cy, fy));
                for (int k = 0; k < std::min(4, end - i); ++k) {
                    const float wx = weightX[k], wy = weightY[k];
                    float* q = out + std::ptrdiff_t(i + k) * 4;
                    if ((wx != 0.0f || wy != 0.0f) && floorX[k] >= 0.0f && floorY[k] >= 0.0f &&
                        floorX[k] < lastX && floorY[k] < lastY) {
                        const uint8_t* lower =
                            bottomRow + std::ptrdiff_t(floorY[k]) * stride + std::ptrdiff_t(floorX[k]) * 4;
                        _mm_prefetch(reinterpret_cast<const char*>(lower + ahead), _MM_HINT_T0);
                        __m128 a, bb, d, e;
                        pair(lower, a, bb);
                        pair(lower + stride, d, e);
                        const __m128 u = _mm_set1_ps(wx);
                        _mm_storeu_ps(q,
                                      _mm_mul_ps(mix(mix(a, bb, u), mix(d, e, u), _mm_set1_ps(wy)), scale));
                        continue;
                    }
                    const kl::vec4 v = readPoint(chain, kl::vec2(pointX[k], pointY[k]), fetch);
                    q[0] = v.x;
                    q[1] = v.y;
                    q[2] = v.z;
                    q[3] = v.w;
                }
            }
            return true;
        }
#endif
        run(fetch);
        return true;
    }
    run([&b](int x, int y) { return fetchBitmap(b, x, y); });
    return true;
}

// Points a sampler at the row its kernel reads, where it reads only at the pixel it computes and the
// row is in memory (or can be made so); leaves it to `read` otherwise. True when it has a row.
bool prepareRow(Tile& tile, int index, size_t k, int x0, int n, int y)
{
    const Node& node = tile.graph->nodes[size_t(index)];
    const Chain& chain = node.chains[k];
    kl::Sampler& sampler = tile.samplers[size_t(index)][k];
    sampler.row = nullptr;
    const auto& here = node.node->kernel->readOnlyHere;
    if (chain.argument < 0 || size_t(chain.argument) >= here.size() || !here[size_t(chain.argument)])
        return false;
    // A colour everywhere, or nothing (a crop of one is gathered below).
    if ((chain.terminal == Chain::Terminal::Zero || chain.terminal == Chain::Terminal::Constant) &&
        chain.stages.empty()) {
        std::vector<float>& buffer = tile.sourceRows[size_t(index)][k];
        buffer.resize(size_t(n) * 4);
        const kl::vec4 c = chain.terminal == Chain::Terminal::Zero ? kl::vec4(0.0f) : chain.constant;
        for (int i = 0; i < n; ++i) {
            buffer[size_t(i) * 4] = c.x;
            buffer[size_t(i) * 4 + 1] = c.y;
            buffer[size_t(i) * 4 + 2] = c.z;
            buffer[size_t(i) * 4 + 3] = c.w;
        }
        sampler.row = buffer.data();
        sampler.rowX0 = x0;
        return true;
    }
    if (chain.terminal == Chain::Terminal::Fused) {
        const Node& member = tile.graph->nodes[size_t(chain.target)];
        if (!member.node->kernel->cpuRow)
            return false;
        std::vector<float>& buffer = tile.fusedRows[size_t(chain.target)];
        buffer.resize(size_t(n) * 4);
        int a = x0, b = x0 + n;
        bool inside = true;
        if (!member.area.isInfinite()) {
            inside = !member.area.isNull() && y >= member.area.minY() && y < member.area.maxY();
            a = std::max(a, int(std::max(member.area.minX(), -1e9)));
            b = std::min(b, int(std::min(member.area.maxX(), 1e9)));
        }
        if (!inside || a >= b)
            a = b = x0;
        // Zeros only where the member has no pixels: the rest is computed.
        std::fill(buffer.begin(), buffer.begin() + std::ptrdiff_t(a - x0) * 4, 0.0f);
        std::fill(buffer.begin() + std::ptrdiff_t(b - x0) * 4, buffer.end(), 0.0f);
        if (a < b)
            computeRow(tile, chain.target, a, b - a, y, buffer.data() + size_t(a - x0) * 4);
        sampler.row = buffer.data();
        sampler.rowX0 = x0;
        return true;
    }
    const bool uniform =
        chain.terminal == Chain::Terminal::Zero || chain.terminal == Chain::Terminal::Constant;
    if (uniform) {
        // A colour seen through crops (a mask drawn as a rectangle): gathered below where the stages
        // only crop and clamp, in the sampler's own space moved by whole pixels at most.
        const AffineTransform& w = chain.workingToSampler;
        bool straight = w.a == 1 && w.b == 0 && w.c == 0 && w.d == 1 && w.tx == std::floor(w.tx) &&
                        w.ty == std::floor(w.ty);
        for (const Stage& stage : chain.stages)
            straight = straight && stage.identity;
        if (!straight)
            return false;
    } else if (chain.terminal != Chain::Terminal::Buffer && chain.terminal != Chain::Terminal::Bitmap) {
        return false;
    } else if (!chain.aligned) {
        return transformedRow(tile, index, k, x0, n, y);
    }
    const double shiftX = uniform ? chain.workingToSampler.tx : chain.sx;
    const double shiftY = uniform ? chain.workingToSampler.ty : chain.sy;
    // Where crops or clamps cut the row, or it reaches past the pixels held, it is gathered pixel by
    // pixel as readChain reads each (the point through the stages, transparent outside a crop or the
    // pixels), still a row for the kernel's row loop instead of a call to the sampler per pixel.
    auto gather = [&]() {
        std::vector<float>& buffer = tile.sourceRows[size_t(index)][k];
        buffer.resize(size_t(n) * 4);
        const double py0 = y + 0.5 + shiftY;
        // The terminal's pixel is the point's, moved as the chain moves it (a whole number of pixels).
        const double offsetX = chain.dx - chain.sx - 0.5, offsetY = chain.dy - chain.sy - 0.5;
        // Crops alone (the common case) leave one run of the row inside them: that run is copied whole.
        bool cropsOnly = true;
        double lo = -1e300, hi = 1e300; // the run's x in the stages' space
        for (const Stage& stage : chain.stages) {
            cropsOnly = cropsOnly && stage.crop;
            if (stage.crop) {
                lo = std::max(lo, double(stage.edges[0]));
                hi = std::min(hi, double(stage.edges[2]));
                if (py0 < stage.edges[1] || py0 >= stage.edges[3])
                    hi = lo; // the row is outside
            }
        }
        if (cropsOnly) {
            const double base = x0 + 0.5 + shiftX;
            const int a = int(std::clamp(std::ceil(lo - base), 0.0, double(n)));
            const int b = std::max(a, int(std::clamp(std::ceil(hi - base), 0.0, double(n))));
            std::fill(buffer.begin(), buffer.begin() + std::ptrdiff_t(a) * 4, 0.0f);
            std::fill(buffer.begin() + std::ptrdiff_t(b) * 4, buffer.end(), 0.0f);
            float* run = buffer.data() + std::ptrdiff_t(a) * 4;
            if (chain.terminal == Chain::Terminal::Constant) {
                for (int i = a; i < b; ++i, run += 4) {
                    run[0] = chain.constant.x;
                    run[1] = chain.constant.y;
                    run[2] = chain.constant.z;
                    run[3] = chain.constant.w;
                }
            } else if (chain.terminal == Chain::Terminal::Zero) {
                std::fill(run, run + std::ptrdiff_t(b - a) * 4, 0.0f);
            } else {
                // The terminal's pixels for [a, b), transparent where it has none.
                const int tx = x0 + a + chain.dx, ty = y + chain.dy;
                int from = tx, to = tx + (b - a), row = -1;
                const float* floats = nullptr; // pixel `from` of the row
                const Bitmap* bitmap = nullptr;
                if (chain.terminal == Chain::Terminal::Buffer) {
                    const Pixels& p = tile.pixels[size_t(chain.target)];
                    from = std::max(from, p.x0);
                    to = std::min(to, p.x0 + p.width);
                    if (ty >= p.y0 && ty < p.y0 + p.height && !p.values.empty() && to > from)
                        floats = &p.values[(size_t(ty - p.y0) * size_t(p.width) + size_t(from - p.x0)) * 4];
                } else {
                    bitmap = chain.bitmap;
                    from = std::max(from, 0);
                    to = std::min(to, bitmap->width());
                    row = ty >= 0 && ty < bitmap->height() ? ty : -1;
                }
                std::fill(run, run + std::ptrdiff_t(b - a) * 4, 0.0f);
                if (to > from && (floats || row >= 0)) {
                    float* into = run + std::ptrdiff_t(from - tx) * 4;
                    if (floats)
                        std::memcpy(into, floats, size_t(to - from) * 16);
                    else
                        bitmapRow(*bitmap, from, row, to - from, into);
                }
            }
            sampler.row = buffer.data();
            sampler.rowX0 = x0;
            return true;
        }
        for (int i = 0; i < n; ++i) {
            double px = x0 + i + 0.5 + shiftX, py = py0;
            bool inside = true;
            for (const Stage& stage : chain.stages) {
                if (stage.crop) {
                    if (px < stage.edges[0] || py < stage.edges[1] || px >= stage.edges[2] ||
                        py >= stage.edges[3]) {
                        inside = false;
                        break;
                    }
                } else {
                    px = std::clamp(px, double(stage.edges[0]), double(stage.edges[2]));
                    py = std::clamp(py, double(stage.edges[1]), double(stage.edges[3]));
                }
            }
            float* out = buffer.data() + size_t(i) * 4;
            kl::vec4 v(0.0f);
            if (inside && uniform) {
                if (chain.terminal == Chain::Terminal::Constant)
                    v = chain.constant;
            } else if (inside) {
                const double fx = px + offsetX, fy = py + offsetY;
                if (fx != std::floor(fx) || fy != std::floor(fy))
                    return false; // a clamp moved the point between pixels: blended reads
                v = chain.terminal == Chain::Terminal::Buffer
                        ? fetchPixels(tile.pixels[size_t(chain.target)], int(fx), int(fy))
                        : fetchBitmap(*chain.bitmap, int(fx), int(fy));
            }
            out[0] = v.x;
            out[1] = v.y;
            out[2] = v.z;
            out[3] = v.w;
        }
        sampler.row = buffer.data();
        sampler.rowX0 = x0;
        return true;
    };
    if (uniform)
        return gather();
    // Crops and clamps are no-ops where the whole row lies inside them.
    const double qy = y + 0.5 + chain.sy, qx0 = x0 + 0.5 + chain.sx, qx1 = x0 + n - 0.5 + chain.sx;
    for (const Stage& stage : chain.stages) {
        if (stage.crop ? (qy < stage.edges[1] || qy >= stage.edges[3] || qx0 < stage.edges[0] ||
                          qx1 >= stage.edges[2])
                       : (qy < stage.edges[1] || qy > stage.edges[3] || qx0 < stage.edges[0] ||
                          qx1 > stage.edges[2]))
            return gather();
    }
    const int tx = x0 + chain.dx, ty = y + chain.dy;
    if (chain.terminal == Chain::Terminal::Buffer) {
        const Pixels& p = tile.pixels[size_t(chain.target)];
        if (ty < p.y0 || ty >= p.y0 + p.height || tx < p.x0 || tx + n > p.x0 + p.width || p.values.empty())
            return gather();
        sampler.row = &p.values[(size_t(ty - p.y0) * size_t(p.width) + size_t(tx - p.x0)) * 4];
        sampler.rowX0 = x0;
        return true;
    }
    const Bitmap& bitmap = *chain.bitmap;
    if (ty < 0 || ty >= bitmap.height() || tx < 0 || tx + n > bitmap.width())
        return gather();
    if (bitmap.format() == Bitmap::Format::RGBAf) {
        // Floats already: read where they lie.
        sampler.row = reinterpret_cast<const float*>(bitmap.row(bitmap.height() - 1 - ty)) + size_t(tx) * 4;
        sampler.rowX0 = x0;
        return true;
    }
    std::vector<float>& buffer = tile.sourceRows[size_t(index)][k];
    buffer.resize(size_t(n) * 4);
    bitmapRow(bitmap, tx, ty, n, buffer.data());
    sampler.row = buffer.data();
    sampler.rowX0 = x0;
    return true;
}

// The rows a kernel reads of sampler k at fixed offsets around pixels [x0, x0 + n) of row y (see
// KernelParser::Reach), one above the other in the sampler's row buffer; `middle` then points at pixel x0
// of row y. Where the pixels read are in memory on the row's grid, through crops and clamps that leave
// them as they are, each row's run is copied (or converted) whole; the few pixels beyond (the picture's
// edges) are read one by one as the sampler reads them. So the values are the sampler's, with the bounds
// worked out once per row instead of at every read. False where the sampler is not read along the row's
// grid.
bool neighbourRows(Tile& tile, int index, size_t k, int x0, int n, int y, const float*& middle)
{
    const Node& node = tile.graph->nodes[size_t(index)];
    const Chain& chain = node.chains[k];
    const kl::Sampler& sampler = tile.samplers[size_t(index)][k];
    if (chain.argument < 0 || size_t(chain.argument) >= node.node->kernel->reach.size())
        return false;
    const KernelParser::Reach& reach = node.node->kernel->reach[size_t(chain.argument)];
    if (!reach.fixed || !chain.aligned ||
        (chain.terminal != Chain::Terminal::Buffer && chain.terminal != Chain::Terminal::Bitmap))
        return false;
    const int width = n + reach.left + reach.right, count = reach.down + reach.up + 1;
    std::vector<float>& buffer = tile.sourceRows[size_t(index)][k];
    buffer.resize(size_t(width) * size_t(count) * 4);
    const int left = x0 - reach.left;
    for (int r = 0; r < count; ++r) {
        const int row = y - reach.down + r;
        float* out = buffer.data() + size_t(r) * size_t(width) * 4;
        // The run [a, b) of columns that every crop and clamp leaves as it is, in the stages' space.
        const double qy = row + 0.5 + chain.sy;
        double lo = -1e300, hi = 1e300;
        bool rowInside = true;
        for (const Stage& stage : chain.stages) {
            if (stage.crop) {
                rowInside = rowInside && qy >= stage.edges[1] && qy < stage.edges[3];
                lo = std::max(lo, double(stage.edges[0]));
                hi = std::min(hi, double(stage.edges[2]));
            } else {
                rowInside = rowInside && qy >= stage.edges[1] && qy <= stage.edges[3];
                lo = std::max(lo, double(stage.edges[0]));
                // A clamp at its far edge still reads its own pixel.
                hi = std::min(hi, std::nextafter(double(stage.edges[2]), 1e300));
            }
        }
        const auto inside = [&](int x) {
            const double qx = x + 0.5 + chain.sx;
            return qx >= lo && qx < hi;
        };
        int a = left, b = left + width;
        if (!rowInside) {
            b = a;
        } else {
            a = int(std::clamp(std::ceil(lo - 0.5 - chain.sx), double(left), double(left + width)));
            b = std::max(a,
                         int(std::clamp(std::ceil(hi - 0.5 - chain.sx), double(left), double(left + width))));
            while (a < b && !inside(a))
                ++a;
            while (b > a && !inside(b - 1))
                --b;
        }
        // And the terminal's pixels there.
        const int ty = row + chain.dy;
        const float* floats = nullptr; // the terminal's pixel at column a + chain.dx
        const Bitmap* bitmap = nullptr;
        if (a < b && chain.terminal == Chain::Terminal::Buffer) {
            const Pixels& p = tile.pixels[size_t(chain.target)];
            a = std::max(a, p.x0 - chain.dx);
            b = std::min(b, p.x0 + p.width - chain.dx);
            if (ty < p.y0 || ty >= p.y0 + p.height || p.values.empty())
                b = a;
            if (a < b)
                floats = &p.values[(size_t(ty - p.y0) * size_t(p.width) + size_t(a + chain.dx - p.x0)) * 4];
        } else if (a < b) {
            bitmap = chain.bitmap;
            a = std::max(a, -chain.dx);
            b = std::min(b, bitmap->width() - chain.dx);
            if (ty < 0 || ty >= bitmap->height() || bitmap->isNull())
                b = a;
        }
        b = std::max(a, b);
        if (floats)
            std::memcpy(out + size_t(a - left) * 4, floats, size_t(b - a) * 16);
        else if (bitmap && a < b)
            bitmapRow(*bitmap, a + chain.dx, ty, b - a, out + size_t(a - left) * 4);
        // The rest as the sampler reads it.
        const auto read = [&](int from, int to) {
            for (int x = from; x < to; ++x) {
                const kl::vec4 v =
                    kl::sample(sampler, sampler.toSampler(kl::vec2(float(x) + 0.5f, float(row) + 0.5f)));
                float* q = out + size_t(x - left) * 4;
                q[0] = v.x;
                q[1] = v.y;
                q[2] = v.z;
                q[3] = v.w;
            }
        };
        read(left, a);
        read(b, left + width);
    }
    middle = buffer.data() + (size_t(reach.down) * size_t(width) + size_t(reach.left)) * 4;
    return true;
}

// `n` pixels of a kernel's row from column `x0`, every one inside the node's area.
void computeRow(Tile& tile, int index, int x0, int n, int y, float* out)
{
    const Node& node = tile.graph->nodes[size_t(index)];
    if (tile.maskedOut[size_t(index)]) {
        // A blend whose mask is 0 here: the background as it is read.
        const kl::Sampler& background = tile.samplers[size_t(index)][1];
        if (prepareRow(tile, index, 1, x0, n, y)) {
            std::memcpy(out, background.row + std::ptrdiff_t(x0 - background.rowX0) * 4, size_t(n) * 16);
            return;
        }
        for (int x = x0; x < x0 + n; ++x, out += 4) {
            kl::currentDestination = kl::vec2(float(x) + 0.5f, float(y) + 0.5f);
            const kl::vec4 v = kl::sample(background, kl::samplerCoord(background));
            out[0] = v.x;
            out[1] = v.y;
            out[2] = v.z;
            out[3] = v.w;
        }
        return;
    }
    const auto& reach = node.node->kernel->reach;
    const auto near = [&](size_t k) {
        const int argument = node.chains[k].argument;
        return argument >= 0 && size_t(argument) < reach.size() && reach[size_t(argument)].fixed;
    };
    bool allRows = true, anyNear = false;
    for (size_t k = 0; k < node.chains.size(); ++k) {
        const bool row = prepareRow(tile, index, k, x0, n, y);
        anyNear = anyNear || near(k);
        allRows = (row || near(k)) && allRows;
    }
    const kl::Sampler* const* samplers = tile.samplerPointers[size_t(index)].data();
    const float* const* values = tile.values[size_t(index)].data();
    if (const kl::KernelNativeRowEntry native = node.node->kernel->cpuNative;
        native && native(samplers, values, x0, n, float(y) + 0.5f, out))
        return;
    if (const kl::KernelRowsEntry rows = node.node->kernel->cpuRows; rows && allRows) {
        // Every input a row in memory (with the rows around it, for reads at fixed offsets): the
        // translation over row samplers, loads and arithmetic only.
        auto& pointers = tile.rowPointers;
        auto& extents = tile.rowExtents;
        pointers.clear();
        extents.clear();
        bool ready = true;
        for (size_t k = 0; ready && k < node.chains.size(); ++k) {
            const kl::Sampler& sampler = tile.samplers[size_t(index)][k];
            const float* row = nullptr;
            if (anyNear && near(k))
                ready = neighbourRows(tile, index, k, x0, n, y, row);
            else
                row = sampler.row + std::ptrdiff_t(x0 - sampler.rowX0) * 4;
            pointers.push_back(row);
            extents.push_back(sampler.extent);
        }
        if (ready) {
            rows(pointers.data(), extents.data(), values, x0, n, float(y) + 0.5f, out);
            return;
        }
    }
    if (const kl::KernelRowEntry row = node.node->kernel->cpuRow) {
        row(samplers, values, x0, n, float(y) + 0.5f, out);
        return;
    }
    const kl::KernelEntry entry = node.node->kernel->cpu;
    for (int x = x0; x < x0 + n; ++x, out += 4) {
        kl::currentDestination = kl::vec2(float(x) + 0.5f, float(y) + 0.5f);
        const kl::vec4 v = entry(samplers, values);
        out[0] = v.x;
        out[1] = v.y;
        out[2] = v.z;
        out[3] = v.w;
    }
}

void compute(Tile& tile, int index, const Rect& rect)
{
    const Node& node = tile.graph->nodes[size_t(index)];
    Pixels& out = tile.pixels[size_t(index)];
    out.rect = rect;
    out.x0 = int(rect.minX());
    out.y0 = int(rect.minY());
    out.width = int(rect.width());
    out.height = int(rect.height());
    const Rect area = node.area.isNull() ? Rect::null() : node.area.intersected(rect);
    // Every row of the area is computed whole: zeros only where the node has no pixels.
    if (area == rect)
        out.values.resize(size_t(out.width) * size_t(out.height) * 4);
    else
        out.values.assign(size_t(out.width) * size_t(out.height) * 4, 0.0f);
    if (area.isNull() || area.isEmpty())
        return;
    const int x0 = int(area.minX()), x1 = int(area.maxX()), y0 = int(area.minY()), y1 = int(area.maxY());
    for (int y = y0; y < y1; ++y)
        computeRow(tile, index, x0, x1 - x0, y,
                   &out.values[(size_t(y - out.y0) * size_t(out.width) + size_t(x0 - out.x0)) * 4]);
}

// Whether every kernel's pixels are read only in the row being computed: by kernels that read them at
// the pixel they compute, moved along x by whole pixels at most and cut by crops alone (a layer stack:
// each layer reads the stack below where it paints). Such intermediates are then computed a row at a
// time, just before the row that reads them (see streamRow), instead of over the whole tile first: a
// row of each stays in the core's own cache, where a tile of each (a megabyte) would not.
bool readInRowsOnly(const Graph& graph)
{
    for (const Node& node : graph.nodes) {
        if (!node.kernel)
            continue;
        const auto& here = node.node->kernel->readOnlyHere;
        for (const Chain& chain : node.chains) {
            if (chain.terminal != Chain::Terminal::Buffer || !graph.nodes[size_t(chain.target)].kernel)
                continue;
            if (chain.argument < 0 || size_t(chain.argument) >= here.size() ||
                !here[size_t(chain.argument)] || !chain.aligned || chain.dy != 0)
                return false;
            for (const Stage& stage : chain.stages)
                if (!stage.crop)
                    return false;
        }
    }
    return true;
}

// Row `y` of every kernel that is not fused, in the order they read each other, each held as a
// one-row picture that the row reading it finds where a tile's picture would be.
void streamRow(Tile& tile, int y)
{
    const Graph& graph = *tile.graph;
    const int root = int(graph.nodes.size()) - 1;
    for (int i = 0; i < root; ++i) {
        const Node& node = graph.nodes[size_t(i)];
        const Rect& rect = tile.rects[size_t(i)];
        if (!node.kernel || node.fused || rect.isNull() || rect.isEmpty())
            continue;
        Pixels& out = tile.pixels[size_t(i)];
        out.rect = rect;
        out.x0 = int(rect.minX());
        out.y0 = y;
        out.width = int(rect.width());
        out.height = y >= int(rect.minY()) && y < int(rect.maxY()) ? 1 : 0;
        if (out.height == 0) {
            out.values.clear();
            for (kl::Sampler* s : tile.rowPlanes[size_t(i)])
                s->plane = nullptr;
            continue;
        }
        const Rect area = node.area.isNull() ? Rect::null() : node.area.intersected(rect);
        const bool inside =
            !area.isNull() && !area.isEmpty() && y >= int(area.minY()) && y < int(area.maxY());
        const int ax = inside ? int(area.minX()) : 0, an = inside ? int(area.width()) : 0;
        out.values.resize(size_t(out.width) * 4);
        if (an != out.width)
            std::fill(out.values.begin(), out.values.end(), 0.0f);
        if (an > 0)
            computeRow(tile, i, ax, an, y, &out.values[size_t(ax - out.x0) * 4]);
        for (kl::Sampler* s : tile.rowPlanes[size_t(i)]) {
            s->plane = out.values.data();
            s->planeX0 = out.x0;
            s->planeY0 = out.y0;
            s->planeWidth = out.width;
            s->planeHeight = out.height;
            s->planeStride = std::ptrdiff_t(out.width) * 4;
        }
    }
}

// Whether every tile's needs of the nodes made before (`made`: pixels an enclosing render made) lie
// within those pixels.
bool madeCovers(const Graph& graph, const std::vector<int>& made, int tiles,
                const std::function<Rect(int)>& pieceOf)
{
    Tile tile;
    tile.graph = &graph;
    for (int t = 0; t < tiles; ++t) {
        if (!plan(tile, pieceOf(t)))
            return false;
        for (int i : made) {
            const Rect& area = tile.rects[size_t(i)];
            if (!area.isNull() && !area.isEmpty() && !graph.boundaries.at(i).second.contains(area))
                return false;
        }
    }
    return true;
}

// Intermediates that the tiles would compute many times over are computed once, over what all of them
// need, before they start; the tiles then read those pixels. The reductions of a large blur are such:
// each is small, but every tile needs it over its own pixels and the blur's reach around them, and so
// the picture it reduces over the tile grown by that reach scaled up again (the skin smoothing's slow
// tone at 24 megapixels computed the smoothing five times over, and the guided fit's reductions of
// the photo seven times). A node is taken when it reads at least twice the pixels it makes (a
// reduction), the tiles would compute at least twice its pixels, and those take at most 64 MB (128 MB
// all of them); the first in the recipe's order first (what it reduces is then made once, in its own
// render), then the tiles are planned again and the next taken, its render reading the pixels made
// before. False when memory ran out or such a render failed.
bool computeShared(Graph& graph, int tiles, const std::function<Rect(int)>& pieceOf,
                   const CpuKernelRenderer::RenderBoundary& renderBoundary)
{
    constexpr int MostShared = 8;
    constexpr double MostPixels = 4 << 20;   // of RGBA floats: 64 MB
    double left = 2 * MostPixels;            // for all of them
    constexpr double LeastSaved = 128 * 128; // fewer pixels are not worth a render of their own
    const auto reduces = [&](const Node& node, const Rect& area) {
        for (size_t k = 0; k < node.chains.size(); ++k) {
            const Chain& chain = node.chains[k];
            if (chain.target < 0)
                continue;
            const Rect roi = node.node->roi ? node.node->roi(int(k), area) : chain.workingToSampler.map(area);
            const Rect read = propagate(chain, roi);
            if (!read.isNull() && isFinite(read) &&
                read.width() * read.height() >= 2 * area.width() * area.height())
                return true;
        }
        return false;
    };
    // Only a recipe with a reduction can have one: the others (a layer stack) are not planned again.
    const Rect probe(0, 0, 256, 256);
    if (std::none_of(graph.nodes.begin(), graph.nodes.end() - 1,
                     [&](const Node& node) { return node.kernel && !node.fused && reduces(node, probe); }))
        return true;
    for (int round = 0; round < MostShared; ++round) {
        const size_t count = graph.nodes.size();
        std::vector<double> computed(count, 0.0);
        std::vector<Rect> needed(count, Rect::null());
        Tile tile;
        tile.graph = &graph;
        for (int t = 0; t < tiles; ++t) {
            if (!plan(tile, pieceOf(t)))
                return true; // the render finds it unbounded itself
            for (size_t i = 0; i + 1 < count; ++i) {
                const Rect& r = tile.rects[i];
                if (r.isNull() || r.isEmpty())
                    continue;
                computed[i] += r.width() * r.height();
                needed[i] = needed[i].united(r);
            }
        }
        int chosen = -1;
        for (size_t i = 0; i + 1 < count && chosen < 0; ++i) {
            const Node& node = graph.nodes[i];
            const Rect& all = needed[i];
            if (!node.kernel || node.fused || all.isNull() || all.isEmpty() || !isFinite(all))
                continue;
            const double pixels = all.width() * all.height();
            if (computed[i] >= 2 * pixels && computed[i] - pixels >= LeastSaved &&
                pixels <= std::min(MostPixels, left) && reduces(node, all))
                chosen = int(i);
        }
        if (chosen < 0)
            return true;
        const Rect area = needed[size_t(chosen)];
        left -= area.width() * area.height();
        Bitmap pixels(int(area.width()), int(area.height()), Bitmap::Format::RGBAf,
                      Bitmap::Fill::Uninitialized);
        if (pixels.isNull())
            return false;
        const CpuKernelRenderer::Destination into{reinterpret_cast<float*>(pixels.mutableData()),
                                                  pixels.bytesPerRow() / sizeof(float)};
        if (!CpuKernelRenderer::render(graph.nodes[size_t(chosen)].owner, area, {}, renderBoundary, into))
            return false;
        // From now on read as pixels made before the tiles, as a part rendered in passes is.
        Node& node = graph.nodes[size_t(chosen)];
        node.kernel = false;
        node.boundary = true;
        madeBefore.push_back({node.node, pixels, area});
        graph.boundaries.emplace(chosen, std::make_pair(std::move(pixels), area));
    }
    return true;
}

} // namespace

void CpuKernelRenderer::setUse(Use use)
{
    chosenUse.store(use, std::memory_order_relaxed);
}

CpuKernelRenderer::Use CpuKernelRenderer::use()
{
    return chosenUse.load(std::memory_order_relaxed);
}

void CpuKernelRenderer::setSoftwareRasterizer(bool software)
{
    softwareRasterizer.store(software, std::memory_order_relaxed);
    driverKnown.store(true, std::memory_order_release);
}

void CpuKernelRenderer::setDeviceForTesting(std::optional<Device> device)
{
    pretendedDevice.store(!device ? 0 : *device == Device::GraphicsCard ? 1 : 2, std::memory_order_relaxed);
}

bool CpuKernelRenderer::knowsDriver()
{
    return use() != Use::OnSoftwareRasterizer || pretendedDevice.load(std::memory_order_relaxed) != 0 ||
           driverKnown.load(std::memory_order_acquire);
}

bool CpuKernelRenderer::wanted()
{
    switch (use()) {
    case Use::Always:
        return true;
    case Use::Never:
        return false;
    case Use::OnSoftwareRasterizer:
        if (const int pretended = pretendedDevice.load(std::memory_order_relaxed))
            return pretended == 2;
        return softwareRasterizer.load(std::memory_order_relaxed);
    }
    return false;
}

namespace {

quint64 mixed(quint64 hash, quint64 value)
{
    // 64-bit FNV-1a over the value's bytes.
    for (int i = 0; i < 8; ++i) {
        hash ^= (value >> (8 * i)) & 0xffu;
        hash *= 1099511628211ull;
    }
    return hash;
}

// How a map moves pixels, as far as the cost of reading through it goes.
quint64 mapKind(const AffineTransform& m)
{
    if (m.isIdentity())
        return 0;
    if (m.a == 1 && m.b == 0 && m.c == 0 && m.d == 1)
        return m.tx == std::floor(m.tx) && m.ty == std::floor(m.ty) ? 1 : 2;
    return m.b == 0 && m.c == 0 ? 3 : 4;
}

quint64 signatureOf(const ImageNode* node, std::unordered_map<const ImageNode*, quint64>& seen)
{
    if (!node)
        return 1;
    if (const auto found = seen.find(node); found != seen.end())
        return found->second;
    quint64 hash = mixed(14695981039346656037ull, quint64(node->kind));
    hash = mixed(hash, node->computed ? 1 : 0);
    switch (node->kind) {
    case ImageNode::Kind::Bitmap:
        hash = mixed(hash, quint64(node->bitmap.format()));
        break;
    case ImageNode::Kind::Transform:
        hash = mixed(hash, mapKind(node->transform));
        break;
    case ImageNode::Kind::Kernel:
        hash = mixed(hash, node->kernel ? node->kernel->id : 0);
        for (const KernelArgumentValue& argument : node->arguments) {
            const auto* binding = std::get_if<SamplerBinding>(&argument);
            if (!binding)
                continue;
            hash = mixed(hash, (binding->nearest ? 1 : 0) | (binding->clamp ? 2 : 0) |
                                   mapKind(binding->matrix) << 2);
            hash = mixed(hash, signatureOf(binding->image.get(), seen));
        }
        break;
    default:
        break;
    }
    if (node->input)
        hash = mixed(hash, signatureOf(node->input.get(), seen));
    seen.emplace(node, hash);
    return hash;
}

struct MeasuredCosts
{
    std::mutex mutex;
    std::unordered_map<quint64, CpuKernelRenderer::PathCosts> costs;
};

MeasuredCosts& measured()
{
    static auto* costs = new MeasuredCosts; // read by renders until the very end
    return *costs;
}

} // namespace

quint64 CpuKernelRenderer::signature(const ImageNodePtr& root)
{
    std::unordered_map<const ImageNode*, quint64> seen;
    return signatureOf(root.get(), seen);
}

std::optional<CpuKernelRenderer::PathCosts> CpuKernelRenderer::measuredCosts(quint64 signature)
{
    MeasuredCosts& m = measured();
    std::lock_guard lock(m.mutex);
    const auto found = m.costs.find(signature);
    return found == m.costs.end() ? std::nullopt : std::optional(found->second);
}

void CpuKernelRenderer::recordCosts(quint64 signature, const PathCosts& costs)
{
    MeasuredCosts& m = measured();
    std::lock_guard lock(m.mutex);
    // Bounded: recipes come and go as the user works; the ones still in use are measured again.
    if (m.costs.size() >= 1024)
        m.costs.clear();
    m.costs[signature] = costs;
}

double CpuKernelRenderer::maskedShare(const ImageNodePtr& root, const Rect& rect)
{
    if (!root || !canRender(*root) || !isFinite(rect) || rect.isEmpty())
        return 0;
    Graph graph;
    countReaders(root, graph);
    addNode(root, graph, -1, -1);
    if (std::none_of(graph.nodes.begin(), graph.nodes.end(),
                     [](const Node& node) { return node.kernel && blendsThroughMask(*node.node); }))
        return 0;
    constexpr int Size = 256;
    Tile tile;
    tile.graph = &graph;
    double masked = 0;
    for (double y = rect.minY(); y < rect.maxY(); y += Size)
        for (double x = rect.minX(); x < rect.maxX(); x += Size) {
            const Rect piece(x, y, std::min<double>(Size, rect.maxX() - x),
                             std::min<double>(Size, rect.maxY() - y));
            if (!plan(tile, piece))
                return 0;
            if (std::find(tile.maskedOut.begin(), tile.maskedOut.end(), 1) != tile.maskedOut.end())
                masked += piece.width() * piece.height();
        }
    return masked / (rect.width() * rect.height());
}

bool CpuKernelRenderer::canRender(const ImageNode& root)
{
    if (root.kind != ImageNode::Kind::Kernel || root.computed)
        return false;
    std::unordered_map<const ImageNode*, bool> seen;
    return computable(root, seen);
}

bool CpuKernelRenderer::rendersAlone(const ImageNodePtr& root)
{
    if (!root || !wanted())
        return false;
    const ImageNodePtr node = canRender(*root) ? root : readByCopy(root);
    if (!node || !canRender(*node))
        return false;
    Graph graph;
    countReaders(node, graph);
    addNode(node, graph, -1, -1);
    for (const Node& entry : graph.nodes) {
        if (entry.boundary || entry.node->computed)
            return false;
        for (const Chain& chain : entry.chains)
            if (chain.rendering)
                return false;
    }
    return true;
}

ImageNodePtr CpuKernelRenderer::readByCopy(const ImageNodePtr& root)
{
    const ImageNode* node = root.get();
    while (node && (node->kind == ImageNode::Kind::Transform || node->kind == ImageNode::Kind::Crop ||
                    node->kind == ImageNode::Kind::Clamp))
        node = node->input.get();
    // A bitmap scaled or moved by a fraction (a view of the photo) is read as the passes would read it,
    // without a GL context and its programs; one moved by whole pixels never gets here.
    const bool kernel = node && node->kind == ImageNode::Kind::Kernel && !node->computed;
    const bool bitmap = node && node->kind == ImageNode::Kind::Bitmap;
    if (node == root.get() || !(kernel || bitmap))
        return nullptr;
    const Kernel& copy = Kernel::copy();
    if (copy.isNull())
        return nullptr;
    auto reader = std::make_shared<ImageNode>();
    reader->kind = ImageNode::Kind::Kernel;
    reader->extent = root->extent;
    reader->domain = root->domain;
    reader->kernel = copy.data();
    SamplerBinding binding;
    binding.image = root;
    reader->arguments.push_back(binding);
    return reader;
}

bool CpuKernelRenderer::render(const ImageNodePtr& root, const Rect& rect, const Sink& sink,
                               const RenderBoundary& renderBoundary, const Destination& destination,
                               Report* report)
{
    Graph graph;
    countReaders(root, graph);
    addNode(root, graph, -1, -1);
    const bool inRows = readInRowsOnly(graph);
    // What this render makes before its tiles is kept for the renders it makes meanwhile, until it ends.
    const struct Forget
    {
        size_t count = madeBefore.size();
        ~Forget() { madeBefore.erase(madeBefore.begin() + std::ptrdiff_t(count), madeBefore.end()); }
    } forget;

    // CPU pixels in the recipe are made before the tiles start, on this thread: making them may render
    // their input and use every core itself, which a tile, already on a core, could not wait for.
    const auto making = std::chrono::steady_clock::now();
    for (Node& node : graph.nodes) {
        if (node.node->computed && node.node->computed->whole().isNull())
            return false;
        for (Chain& chain : node.chains) {
            if (!chain.rendering)
                continue;
            const Bitmap& pixels = chain.rendering->whole();
            if (pixels.isNull())
                return false;
            chain.bitmap = &pixels;
        }
    }
    if (report)
        report->madeSeconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - making).count();
    std::atomic<double> maskedPixels{0};

    const int width = int(rect.width()), height = int(rect.height());
    const auto tilesOf = [&](int size) {
        return size_t((width + size - 1) / size) * size_t((height + size - 1) / size);
    };
    const auto pieceOfSize = [&](int t, int across, int down) {
        const int columns = (width + across - 1) / across;
        const int column = t % columns, row = t / columns;
        const int x = column * across, w = std::min(across, width - x);
        const int top = row * down, h = std::min(down, height - top);
        return Rect(rect.minX() + x, rect.maxY() - top - h, w, h);
    };
    const auto pieceIn = [&](int t, int size) { return pieceOfSize(t, size, size); };
    // The pixels that tiles of a size compute, their intermediates included; none when they cannot be
    // planned. Weighed with every kernel a node of its own, so that fusing kernels never changes the
    // tiles (nor the work the tiles share out).
    Graph separate;
    const auto workOf = [&](int size) -> std::optional<double> {
        Tile probe;
        probe.graph = &separate;
        double work = 0;
        for (int t = 0; t < int(tilesOf(size)); ++t) {
            if (!plan(probe, pieceIn(t, size)))
                return std::nullopt;
            for (size_t i = 0; i < separate.nodes.size(); ++i) {
                const Rect& area = probe.rects[i];
                if (!area.isNull())
                    work += area.width() * area.height();
            }
        }
        return work;
    };
    // Tiles small enough that every core has several, so that a busy core holds up no one; on a band's
    // thread, which works them all itself, as large as they come. Each tile computes the intermediates
    // it reads over its own region with the neighbourhoods around it, so where these are wide (a pyramid
    // of levels around a small healed spot) small tiles compute the same borders many times over: where
    // that would more than double the work of a render smaller than four tiles, tiles are halved only
    // while it adds little. (Larger renders have cores enough to share at any size.)
    int size = 256;
    if (!CpuRendering::onBandThread() && tilesOf(size) < 48) {
        int halved = size;
        while (halved > 32 && tilesOf(halved) < 48)
            halved /= 2;
        // Only a recipe that reads an intermediate around its pixels needs more of it than the tile
        // computes: any other (most of a stroke's steps) takes the small tiles without weighing.
        bool around = false;
        if (tilesOf(size) < 4) {
            separate.separate = true;
            countReaders(root, separate);
            addNode(root, separate, -1, -1);
            Tile probe;
            probe.graph = &separate;
            around = !plan(probe, rect);
            for (size_t i = 0; !around && i < separate.nodes.size(); ++i)
                around = !probe.rects[i].isNull() && !rect.contains(probe.rects[i]);
        }
        const std::optional<double> whole = around ? workOf(size) : std::nullopt;
        const std::optional<double> small = whole ? workOf(halved) : std::nullopt;
        if (whole && small && *small > *whole * 2) {
            while (size > halved) {
                const std::optional<double> work = workOf(size / 2);
                if (!work || *work > *whole * 1.25)
                    break;
                size /= 2;
            }
        } else {
            size = halved;
        }
    }
    // Intermediates computed a row at a time take the same memory whatever the tiles' width, and every
    // row has a cost of its own (its inputs found, each kernel called, the next rows of the bitmaps read
    // fetched): such tiles are long runs of fewer rows, as many as there were tiles. Not where pixels are
    // copied in for each tile (a tile store, CPU pixels, a boundary): those are whole tiles still.
    int across = size, down = size;
    const bool copiesIn =
        std::any_of(graph.nodes.begin(), graph.nodes.end(), [](const Node& node) { return !node.kernel; });
    if (inRows && !copiesIn) {
        const size_t wanted = std::min<size_t>(tilesOf(size), 48);
        across = std::min(2048, std::max(size, width));
        const auto count = [&](int h) {
            return size_t((width + across - 1) / across) * size_t((height + h - 1) / h);
        };
        while (down > 16 && count(down) < wanted)
            down /= 2;
    }
    const int columns = (width + across - 1) / across, rows = (height + down - 1) / down;
    auto pieceOf = [&](int t) { return pieceOfSize(t, across, down); };

    // Pixels an enclosing render made (this render makes a part of it) are read where they cover what
    // the tiles need.
    std::vector<int> made;
    for (int i = 0; i < int(graph.nodes.size()) - 1; ++i) {
        Node& node = graph.nodes[size_t(i)];
        if (node.fused || !(node.kernel || node.boundary))
            continue;
        const auto found = std::find_if(madeBefore.begin(), madeBefore.end(),
                                        [&](const Made& m) { return m.node == node.node; });
        if (found == madeBefore.end())
            continue;
        graph.boundaries.emplace(i, std::make_pair(found->pixels, found->area));
        made.push_back(i);
    }
    std::vector<std::pair<bool, bool>> flags; // kernel, boundary: as they were
    for (int i : made) {
        Node& node = graph.nodes[size_t(i)];
        flags.emplace_back(node.kernel, node.boundary);
        node.kernel = false;
        node.boundary = true;
    }
    if (!made.empty() && !madeCovers(graph, made, columns * rows, pieceOf)) {
        for (size_t m = 0; m < made.size(); ++m) {
            Node& node = graph.nodes[size_t(made[m])];
            std::tie(node.kernel, node.boundary) = flags[m];
            graph.boundaries.erase(made[m]);
        }
    }

    // What the CPU cannot compute is rendered once, over what all the tiles need of it, before they start.
    std::vector<int> boundaries;
    for (int i = 0; i < int(graph.nodes.size()); ++i)
        if (graph.nodes[size_t(i)].boundary && !graph.boundaries.count(i))
            boundaries.push_back(i);
    if (!boundaries.empty()) {
        if (!renderBoundary)
            return false;
        std::vector<Rect> needed(graph.nodes.size(), Rect::null());
        Tile tile;
        tile.graph = &graph;
        for (int t = 0; t < columns * rows; ++t) {
            if (!plan(tile, pieceOf(t)))
                return false;
            for (int i : boundaries) {
                const Rect& area = tile.rects[size_t(i)];
                if (!area.isNull() && !area.isEmpty())
                    needed[size_t(i)] = needed[size_t(i)].united(area);
            }
        }
        for (int i : boundaries) {
            const Rect& area = needed[size_t(i)];
            if (area.isNull() || area.isEmpty())
                continue;
            std::optional<Bitmap> pixels = renderBoundary(graph.nodes[size_t(i)].owner, area);
            if (!pixels || pixels->format() != Bitmap::Format::RGBAf ||
                pixels->width() != int(area.width()) || pixels->height() != int(area.height()))
                return false;
            madeBefore.push_back({graph.nodes[size_t(i)].node, *pixels, area});
            graph.boundaries.emplace(i, std::make_pair(std::move(*pixels), area));
        }
    }
    // Then what the tiles would compute many times over; its renders read the parts rendered above.
    if (columns * rows > 1 && !computeShared(graph, columns * rows, pieceOf, renderBoundary))
        return false;

    std::atomic<bool> ok{true};
    try {
        CpuRendering::inBands(
            columns * rows,
            [&](int begin, int end) {
                Tile tile;
                tile.graph = &graph;
                std::vector<float> topDown;
                // The worker's memory of its last render: taken now, handed back when done.
                ThreadScratch& scratch = threadScratch;
                tile.pixels.swap(scratch.pixels);
                topDown.swap(scratch.topDown);
                const struct HandBack
                {
                    Tile& tile;
                    std::vector<float>& topDown;
                    ThreadScratch& scratch;
                    ~HandBack()
                    {
                        size_t bytes = topDown.capacity() * sizeof(float);
                        for (const Pixels& pixels : tile.pixels)
                            bytes += pixels.values.capacity() * sizeof(float);
                        if (bytes <= ThreadScratch::KeptBytes) {
                            scratch.pixels.swap(tile.pixels);
                            scratch.topDown.swap(topDown);
                        }
                    }
                } handBack{tile, topDown, scratch};
                for (int t = begin; t < end && ok.load(std::memory_order_relaxed); ++t) {
                    const Rect piece = pieceOf(t);
                    const int x = int(piece.minX() - rect.minX()), top = int(rect.maxY() - piece.maxY());
                    const int w = int(piece.width()), h = int(piece.height());
                    tile.pixels.resize(graph.nodes.size());
                    for (Pixels& pixels : tile.pixels) {
                        pixels.rect = Rect::null();
                        pixels.x0 = pixels.y0 = pixels.width = pixels.height = 0;
                        pixels.values.clear();
                    }
                    if (!plan(tile, piece)) {
                        ok = false;
                        return;
                    }
                    if (std::find(tile.maskedOut.begin(), tile.maskedOut.end(), 1) != tile.maskedOut.end())
                        maskedPixels.fetch_add(double(w) * double(h), std::memory_order_relaxed);
                    setUpSamplers(tile);
                    tile.inRows = inRows;
                    tile.rowPlanes.resize(graph.nodes.size());
                    for (auto& readers : tile.rowPlanes)
                        readers.clear();
                    const int root = int(graph.nodes.size()) - 1;
                    for (int i = 0; i < root; ++i) {
                        const Node& node = graph.nodes[size_t(i)];
                        const Rect& area = tile.rects[size_t(i)];
                        pointPlanes(tile, i); // what it reads (before it in the list) is computed
                        if (node.fused || area.isNull() || area.isEmpty())
                            continue;
                        if (node.kernel) {
                            if (!inRows)
                                compute(tile, i, area);
                            RenderStatistics::countCpuPass();
                        } else if (!materialise(graph, i, area, tile.pixels[size_t(i)])) {
                            ok = false;
                            return;
                        }
                    }
                    pointPlanes(tile, root);
                    const Rect area = graph.nodes.back().area.isNull()
                                          ? Rect::null()
                                          : graph.nodes.back().area.intersected(piece);
                    const bool some = !area.isNull() && !area.isEmpty();
                    const int ax = some ? int(area.minX()) : 0, an = some ? int(area.width()) : 0;
                    const int rowTop = int(piece.maxY()) - 1; // y of the tile's first row
                    const auto computeLine = [&](int j, float* line) {
                        const int y = rowTop - j;
                        if (inRows)
                            streamRow(tile, y);
                        const bool inside = some && y >= int(area.minY()) && y < int(area.maxY());
                        if (!inside || an != w)
                            std::fill(line, line + size_t(w) * 4, 0.0f);
                        if (inside)
                            computeRow(tile, root, ax, an, y, line + size_t(ax - int(piece.minX())) * 4);
                    };
                    if (destination.rows) {
                        // Floats wanted: each row computed where it belongs, never copied.
                        for (int j = 0; j < h; ++j)
                            computeLine(j, destination.rows + destination.floatsPerRow * size_t(top + j) +
                                               size_t(x) * 4);
                        RenderStatistics::countCpuPass();
                        continue;
                    }
                    // The last kernel writes straight into the rows the sink takes (top-down), a few
                    // rows at a time, so that they are still in the core's own cache when the sink
                    // converts and stores them.
                    const int chunk = std::clamp(ChunkFloats / (w * 4), 1, h);
                    topDown.resize(size_t(w) * size_t(chunk) * 4);
                    for (int j0 = 0; j0 < h; j0 += chunk) {
                        const int rows = std::min(chunk, h - j0);
                        for (int j = j0; j < j0 + rows; ++j)
                            computeLine(j, &topDown[size_t(j - j0) * size_t(w) * 4]);
                        sink(x, top + j0, w, rows, topDown.data());
                    }
                    RenderStatistics::countCpuPass();
                }
            },
            4);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (report)
        report->maskedShare = maskedPixels.load() / (rect.width() * rect.height());
    return ok;
}

} // namespace pf
