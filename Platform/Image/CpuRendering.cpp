#include "Platform/Image/CpuRendering.h"

#include "Platform/Foundation/MainThread.h"
#include "Platform/Image/ImageNode.h"
#include "Platform/Image/RenderContext.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <new>
#include <thread>
#include <utility>
#include <vector>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace pf {

namespace {

bool isWhole(double v)
{
    return std::isfinite(v) && v == std::floor(v);
}

bool isTranslation(const AffineTransform& t)
{
    return t.a == 1 && t.b == 0 && t.c == 0 && t.d == 1 && isWhole(t.tx) && isWhole(t.ty);
}

bool isDirectFormat(Bitmap::Format format)
{
    return format == Bitmap::Format::RGBA8 || format == Bitmap::Format::RGBAf;
}

uint8_t toByte(float v)
{
    if (!(v > 0.0f))
        return 0;
    if (v >= 1.0f)
        return 255;
    return static_cast<uint8_t>(v * 255.0f + 0.5f);
}

// Copies `region` (y up, in the bitmap's pixels) of a bitmap into `out`; outside the bitmap is
// transparent. Float pixels wanted as bytes (a composed stack shown in a window) are converted on the
// way, as a render on the CPU writes its floats: uploaded for a pass instead, the pixels of one view
// cost tens of milliseconds on a software rasterizer.
void copyRegion(const Bitmap& bitmap, const Rect& region, Bitmap& out)
{
    const bool toBytes = bitmap.format() == Bitmap::Format::RGBAf && out.format() == Bitmap::Format::RGBA8;
    const int bpp = Bitmap::bytesPerPixel(out.format());
    const int x0 = int(region.minX()), top = bitmap.height() - int(region.maxY());
    const int w = out.width();
    const int from = std::clamp(-x0, 0, w), to = std::clamp(bitmap.width() - x0, 0, w);
    // Taken once, before the bands (see Bitmap::mutableData): `out` may share its pixels.
    uint8_t* const target = out.mutableData();
    const size_t stride = out.bytesPerRow();
    CpuRendering::inBands(out.height(), [&](int begin, int end) {
        for (int row = begin; row < end; ++row) {
            uint8_t* dst = target + stride * size_t(row);
            const int source = top + row;
            if (source < 0 || source >= bitmap.height() || from >= to) {
                std::memset(dst, 0, size_t(w) * bpp);
                continue;
            }
            std::memset(dst, 0, size_t(from) * bpp);
            if (toBytes)
                CpuRendering::floatsToBytes(reinterpret_cast<const float*>(bitmap.row(source)) +
                                                size_t(x0 + from) * 4,
                                            dst + size_t(from) * bpp, (to - from) * 4);
            else
                std::memcpy(dst + size_t(from) * bpp, bitmap.row(source) + size_t(x0 + from) * bpp,
                            size_t(to - from) * bpp);
            std::memset(dst + size_t(to) * bpp, 0, size_t(w - to) * bpp);
        }
    });
}

// The source pixels one output pixel covers along an axis, with the part of each that it covers.
struct Span
{
    int first = 0;
    std::vector<float> weights;
};

// Output pixels [origin, origin + count) along an axis where output = source * scale + offset; the
// source has `size` pixels (outside it is transparent).
std::vector<Span> spans(double origin, int count, double scale, double offset, int size)
{
    std::vector<Span> out(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const double u0 = (origin + i - offset) / scale, u1 = (origin + i + 1 - offset) / scale;
        const int first = std::max(0, int(std::floor(u0))), last = std::min(size, int(std::ceil(u1)));
        Span& span = out[size_t(i)];
        span.first = first;
        for (int k = first; k < last; ++k)
            span.weights.push_back(float(std::min(u1, k + 1.0) - std::max(u0, double(k))));
    }
    return out;
}

// Each output pixel the mean of the source area it covers: rows are reduced across, then summed down.
// `S` is the source's component type: four of them a pixel, or one 16-bit grey value (a mask), which
// reads as that grey in every colour and full alpha.
template <typename S, typename T>
void reduceByArea(const Bitmap& source, const AffineTransform& t, const Rect& region, Bitmap& out)
{
    constexpr bool grey = std::is_same_v<S, uint16_t>;
    constexpr int components = grey ? 1 : 4;
    const int w = out.width(), h = out.height();
    const std::vector<Span> columns = spans(region.minX(), w, t.a, t.tx, source.width());
    // Rows in the y-up sense; source row k (y up) is bitmap row height - 1 - k.
    const std::vector<Span> rows = spans(region.minY(), h, t.d, t.ty, source.height());
    const float norm = float(t.a * t.d);
    const float unit = std::is_same_v<T, uint8_t> ? 255.0f : 1.0f;
    // Taken once, before the bands (see Bitmap::mutableData): `out` may share its pixels.
    uint8_t* const target = out.mutableData();
    const size_t stride = out.bytesPerRow();
    CpuRendering::inBands(h, [&](int begin, int end) {
        std::vector<float> across(size_t(w) * 4), sum(size_t(w) * 4);
        for (int row = begin; row < end; ++row) {
            const Span& span = rows[size_t(h - 1 - row)];
            std::fill(sum.begin(), sum.end(), 0.0f);
            for (size_t k = 0; k < span.weights.size(); ++k) {
                const S* src =
                    reinterpret_cast<const S*>(source.row(source.height() - 1 - (span.first + int(k))));
                for (int i = 0; i < w; ++i) {
                    const Span& c = columns[size_t(i)];
                    float a[4] = {0, 0, 0, 0};
                    const S* p = src + size_t(c.first) * components;
                    for (size_t j = 0; j < c.weights.size(); ++j, p += components) {
                        if constexpr (grey) {
                            a[0] += c.weights[j] * float(*p);
                            a[3] += c.weights[j];
                        } else {
                            for (int ch = 0; ch < 4; ++ch)
                                a[ch] += c.weights[j] * float(p[ch]);
                        }
                    }
                    if constexpr (grey) {
                        a[0] *= 1.0f / 65535.0f;
                        a[1] = a[2] = a[0];
                    }
                    for (int ch = 0; ch < 4; ++ch)
                        across[size_t(i) * 4 + ch] = a[ch];
                }
                const float wy = span.weights[k];
                for (size_t i = 0; i < sum.size(); ++i)
                    sum[i] += wy * across[i];
            }
            T* dst = reinterpret_cast<T*>(target + stride * size_t(row));
            for (size_t i = 0; i < sum.size(); ++i) {
                const float v = sum[i] * norm;
                if constexpr (std::is_same_v<T, uint8_t>)
                    dst[i] = uint8_t(std::clamp(v + 0.5f, 0.0f, 255.0f));
                else
                    dst[i] = v / unit;
            }
        }
    });
}

} // namespace

void CpuRendering::floatsToBytes(const float* src, uint8_t* dst, int n)
{
    int i = 0;
#ifdef __SSE2__
    const __m128 zero = _mm_setzero_ps(), one = _mm_set1_ps(1.0f), scale = _mm_set1_ps(255.0f),
                 half = _mm_set1_ps(0.5f);
    auto convert = [&](const float* p) {
        // max(v, 0) gives 0 for NaN, as the second operand is returned when one is NaN.
        const __m128 v = _mm_min_ps(_mm_max_ps(_mm_loadu_ps(p), zero), one);
        return _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(v, scale), half));
    };
    for (; i + 16 <= n; i += 16) {
        const __m128i a = _mm_packs_epi32(convert(src + i), convert(src + i + 4));
        const __m128i b = _mm_packs_epi32(convert(src + i + 8), convert(src + i + 12));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_packus_epi16(a, b));
    }
#endif
    for (; i < n; ++i)
        dst[i] = toByte(src[i]);
}

CpuRendering::CpuRendering(const Rect& bounds, Bitmap::Format format, RenderRegion render, bool bytesToo)
    : m_bounds(bounds), m_format(format), m_render(std::move(render)), m_bytesToo(bytesToo)
{}

bool CpuRendering::render(const Rect& region, Bitmap& out) const
{
    try {
        return renderConverted(region, out);
    } catch (const std::bad_alloc&) {
        return false; // out of memory in a band: the caller reports it
    }
}

bool CpuRendering::renderConverted(const Rect& region, Bitmap& out) const
{
    const Rect own = region.offsetBy(-m_bounds.minX(), -m_bounds.minY());
    if (out.format() == m_format || (m_bytesToo && out.format() == Bitmap::Format::RGBA8))
        return m_render(own, out);
    Bitmap pixels(out.width(), out.height(), m_format, Bitmap::Fill::Uninitialized);
    if (pixels.isNull() || !m_render(own, pixels))
        return false;
    const Bitmap converted = pixels.converted(out.format());
    if (converted.isNull())
        return false;
    std::memcpy(out.mutableData(), converted.data(), out.byteCount());
    return true;
}

Image CpuRendering::attach(const Image& recipe, std::shared_ptr<const CpuRendering> rendering)
{
    if (recipe.isNull() || recipe.node()->kind != ImageNode::Kind::Kernel)
        return recipe;
    auto node = std::make_shared<ImageNode>(*recipe.node());
    node->computed = std::move(rendering);
    return Image(node);
}

std::optional<CpuRendering::Placed> CpuRendering::placedBitmap(const Image& image)
{
    const ImageNode* node = image.node().get();
    Placed placed;
    while (node) {
        switch (node->kind) {
        case ImageNode::Kind::Transform:
            if (!isTranslation(node->transform))
                return std::nullopt;
            placed.x += node->transform.tx;
            placed.y += node->transform.ty;
            node = node->input.get();
            continue;
        case ImageNode::Kind::Crop:
            // A crop that leaves every pixel where it is changes nothing.
            if (!node->rect.contains(node->input->extent))
                return std::nullopt;
            node = node->input.get();
            continue;
        case ImageNode::Kind::Bitmap:
            if (!isDirectFormat(node->bitmap.format()))
                return std::nullopt;
            placed.bitmap = node->bitmap;
            return placed;
        default:
            return std::nullopt;
        }
    }
    return std::nullopt;
}

std::optional<bool> CpuRendering::renderDirectly(const ImageNode& root, const Rect& rect, Bitmap& out)
{
    if (!isDirectFormat(out.format()))
        return std::nullopt;
    const ImageNode* node = &root;
    Rect region = rect;
    for (;;) {
        switch (node->kind) {
        case ImageNode::Kind::Crop:
            if (!node->rect.contains(region))
                return std::nullopt;
            node = node->input.get();
            continue;
        case ImageNode::Kind::Transform: {
            const AffineTransform& t = node->transform;
            if (isTranslation(t)) {
                region = region.offsetBy(-t.tx, -t.ty);
                node = node->input.get();
                continue;
            }
            const ImageNode& input = *node->input;
            const bool reduces = t.b == 0 && t.c == 0 && t.a > 0 && t.d > 0 && t.a <= 0.5 && t.d <= 0.5;
            if (!reduces || input.kind != ImageNode::Kind::Bitmap)
                return std::nullopt;
            // A mask (16-bit grey) is reduced straight into floats: a view of a whole painted layer.
            if (input.bitmap.format() == Bitmap::Format::Gray16 && out.format() == Bitmap::Format::RGBAf)
                reduceByArea<uint16_t, float>(input.bitmap, t, region, out);
            else if (input.bitmap.format() != out.format())
                return std::nullopt;
            else if (out.format() == Bitmap::Format::RGBA8)
                reduceByArea<uint8_t, uint8_t>(input.bitmap, t, region, out);
            else
                reduceByArea<float, float>(input.bitmap, t, region, out);
            return true;
        }
        case ImageNode::Kind::Bitmap:
            if (node->bitmap.format() != out.format() &&
                !(node->bitmap.format() == Bitmap::Format::RGBAf && out.format() == Bitmap::Format::RGBA8))
                return std::nullopt;
            copyRegion(node->bitmap, region, out);
            return true;
        case ImageNode::Kind::Kernel:
            if (!node->computed || !node->computed->bounds().contains(region))
                return std::nullopt;
            return node->computed->render(region, out);
        default:
            return std::nullopt;
        }
    }
}

namespace {

// Runs `render` with a render context of its own. Contexts are made as renders nest or overlap, and
// kept: a context taken by a render in progress is never handed to another until it is done.
template <typename Render> auto withInputContext(Render render)
{
    struct Slot
    {
        std::unique_ptr<RenderContext> context;
        bool busy = false;
    };
    static std::mutex mutex;
    static std::vector<std::unique_ptr<Slot>>* inputContexts = new std::vector<std::unique_ptr<Slot>>();
    Slot* slot = nullptr;
    {
        std::lock_guard lock(mutex);
        for (auto& candidate : *inputContexts)
            if (!candidate->busy) {
                slot = candidate.get();
                break;
            }
        if (!slot) {
            inputContexts->push_back(std::make_unique<Slot>());
            slot = inputContexts->back().get();
            slot->context = std::make_unique<RenderContext>(QStringLiteral("filter input"));
        }
        slot->busy = true;
    }
    auto result = render(*slot->context);
    std::lock_guard lock(mutex);
    slot->busy = false;
    return result;
}

} // namespace

std::optional<Bitmap> CpuRendering::renderInput(const Image& image, const Rect& rect, Bitmap::Format format)
{
    return withInputContext([&](RenderContext& context) {
        return context.render(image, rect, format, RenderContext::Reuse::Discard);
    });
}

bool CpuRendering::renderInput(const Image& image, const Rect& rect, Bitmap& out)
{
    return withInputContext([&](RenderContext& context) { return context.render(image, rect, out); });
}

namespace {

// One worker per core beside the caller, made once and kept: bands start without creating threads,
// and the workers take their jobs through locks that every thread checker sees. Jobs take turns; a
// band that asks for bands of its own runs them itself. The interface's thread never waits for
// another thread's job (a snapshot being encoded, a composition), nor does a job someone waits for wait
// for work nobody waits for: its bands go before that job's, the workers taking them between two of
// their own.
class BandPool
{
public:
    static BandPool& instance()
    {
        static BandPool* pool = new BandPool(); // never destroyed: its workers wait until the process ends
        return *pool;
    }

    int workers() const { return int(m_threads.size()); }
    // Whether this thread is working a band (or its own bands alone).
    static bool nested() { return t_inPool; }

    // `background`: work nobody waits for (see CpuRendering::BackgroundScope).
    void run(int bands, const std::function<void(int)>& band, bool background)
    {
        if (t_inPool) {
            for (int i = 0; i < bands; ++i)
                band(i);
            return;
        }
        std::unique_lock turn(m_turn, std::defer_lock);
        if (!turn.try_lock()) {
            // The pool is taken. The interface's thread never waits for another job to finish: its
            // bands go beside it (after helping to finish a job already there). A job someone waits for
            // on another thread (a zoom's composition) does not wait for a round of work nobody waits
            // for (a stroke being stored) either: it goes beside it too, after any job there already.
            if (isMainThread()) {
                std::unique_lock first(m_firstTurn, std::defer_lock);
                while (!first.try_lock()) {
                    t_inPool = true;
                    workFirst();
                    t_inPool = false;
                    std::this_thread::yield();
                }
                runFirst(bands, band);
                return;
            }
            if (!background && m_heldInBackground.load()) {
                const std::lock_guard first(m_firstTurn);
                runFirst(bands, band);
                return;
            }
            turn.lock();
        }
        m_heldInBackground = background;
        {
            std::lock_guard lock(m_mutex);
            m_band = &band;
            m_bands = bands;
            m_next = 0;
            m_failure = nullptr;
            m_running = 0;
            ++m_job;
        }
        m_wake.notify_all();
        work(band, bands);
        // Every band is taken: what is left are the bands the workers that joined are working. A worker
        // still asleep (or not yet back from its last job) is not waited for: it finds the job closed.
        awhile([this] { return m_running.load() == 0; }, CallerSpin);
        std::unique_lock lock(m_mutex);
        m_finished.wait(lock, [this] { return m_running.load() == 0; });
        m_band = nullptr;
        m_heldInBackground = false;
        if (m_failure)
            std::rethrow_exception(m_failure);
    }

private:
    BandPool()
    {
        const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
        for (int i = 1; i < cores; ++i)
            m_threads.emplace_back([this] { loop(); });
        for (std::thread& thread : m_threads)
            thread.detach();
    }

    // The interface's job while another one holds the pool: published beside it, worked by the
    // interface's thread and by every worker between two bands of the other job.
    void runFirst(int bands, const std::function<void(int)>& band)
    {
        {
            std::lock_guard lock(m_mutex);
            m_first = &band;
            m_firstBands = bands;
            m_firstNext = 0;
            m_firstRunning = 0;
            m_firstFailure = nullptr;
            m_hasFirst = true;
        }
        m_wake.notify_all();
        t_inPool = true;
        workFirst();
        t_inPool = false;
        std::unique_lock lock(m_mutex);
        m_firstDone.wait(lock, [this] { return m_firstRunning == 0; });
        m_first = nullptr;
        const std::exception_ptr failure = std::exchange(m_firstFailure, nullptr);
        lock.unlock();
        if (failure)
            std::rethrow_exception(failure);
    }

    // Runs bands of the interface's job while any is left to take. Taken under the lock, so that a band
    // is never taken from a job that has finished meanwhile.
    void workFirst()
    {
        while (m_hasFirst.load()) {
            const std::function<void(int)>* band = nullptr;
            int index = 0;
            {
                std::lock_guard lock(m_mutex);
                if (!m_first || m_firstNext >= m_firstBands) {
                    m_hasFirst = false;
                    return;
                }
                band = m_first;
                index = m_firstNext++;
                ++m_firstRunning;
            }
            try {
                (*band)(index);
            } catch (...) {
                std::lock_guard lock(m_mutex);
                if (!m_firstFailure)
                    m_firstFailure = std::current_exception();
                m_firstNext = m_firstBands; // the others stop after their band
            }
            std::lock_guard lock(m_mutex);
            if (--m_firstRunning == 0)
                m_firstDone.notify_all();
        }
    }

    // Waits awake for a moment until `done`, before a caller sleeps on a condition. The bands of one
    // render come as several jobs a few microseconds apart; a sleeping thread takes far longer to
    // wake (most of all on an idle virtual machine, where its core must be scheduled first). The caller
    // waits for bands already being worked, which end soon. A worker waits for a job that may never
    // come (after the last of a render, every worker's wait is processor time lost), and no job waits
    // for a worker to wake, so it waits awake for less: long enough to catch the next job of a render.
    static constexpr auto CallerSpin = std::chrono::microseconds(200);
    static constexpr auto WorkerSpin = std::chrono::microseconds(50);
    template <typename Done> static void awhile(Done done, std::chrono::microseconds limit)
    {
        const auto start = std::chrono::steady_clock::now();
        for (int round = 0; !done(); ++round) {
            if (round % 64 == 63 && std::chrono::steady_clock::now() - start > limit)
                return;
#ifdef __SSE2__
            _mm_pause();
#else
            std::this_thread::yield();
#endif
        }
    }

    // Takes bands of the job until none is left. The job comes as arguments, read under the lock where
    // it was published, so a worker never reads the pool's current job in place of the one it joined.
    void work(const std::function<void(int)>& band, int bands)
    {
        const bool nested = t_inPool;
        t_inPool = true;
        for (;;) {
            workFirst();
            const int i = m_next++;
            if (i >= bands)
                break;
            try {
                band(i);
            } catch (...) {
                std::lock_guard lock(m_mutex);
                if (!m_failure)
                    m_failure = std::current_exception();
                m_next = bands; // the others stop after their band
            }
        }
        t_inPool = nested;
    }

    void loop()
    {
        t_inPool = true; // a band on a worker runs the bands it asks for itself
        uint64_t seen = 0;
        for (;;) {
            awhile([&] { return m_job.load(std::memory_order_acquire) != seen || m_hasFirst.load(); },
                   WorkerSpin);
            const std::function<void(int)>* band = nullptr;
            int bands = 0;
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(
                    lock, [&] { return m_job.load(std::memory_order_relaxed) != seen || m_hasFirst.load(); });
                if (m_job.load(std::memory_order_relaxed) != seen) {
                    seen = m_job.load(std::memory_order_relaxed);
                    // Joined under the lock, before any band is taken: the caller closes the job (under
                    // the lock) only once every worker that joined has left it.
                    if (m_band) {
                        band = m_band;
                        bands = m_bands;
                        ++m_running;
                    }
                }
            }
            if (!band) {
                workFirst();
                continue;
            }
            work(*band, bands);
            std::lock_guard lock(m_mutex);
            if (--m_running == 0)
                m_finished.notify_all();
        }
    }

    static thread_local bool t_inPool;
    std::vector<std::thread> m_threads;
    std::mutex m_turn;
    // Held by the job that works beside the current one (see run).
    std::mutex m_firstTurn;
    // Whether the pool's current job is work nobody waits for.
    std::atomic<bool> m_heldInBackground{false};
    std::mutex m_mutex;
    std::condition_variable m_wake, m_finished, m_firstDone;
    // The current job, guarded by m_mutex; its next band is taken without the lock.
    const std::function<void(int)>* m_band = nullptr;
    int m_bands = 0;
    std::atomic<int> m_next{0};
    // The workers inside the current job. Written under m_mutex; read without it only to wait awake.
    std::atomic<int> m_running{0};
    std::atomic<uint64_t> m_job{0};
    std::exception_ptr m_failure;
    // The interface's job beside it, guarded by m_mutex; m_hasFirst says a band of it may be left.
    const std::function<void(int)>* m_first = nullptr;
    int m_firstBands = 0;
    int m_firstNext = 0;
    int m_firstRunning = 0;
    std::exception_ptr m_firstFailure;
    std::atomic<bool> m_hasFirst{false};
};

thread_local bool BandPool::t_inPool = false;

// Work that may wait (a stroke being stored) gives the pool up to work that someone waits for (a step,
// a zoom, a scroll) between rounds of its bands: the jobs that someone waits for say so while they
// wait for the pool and work in it.
struct Priorities
{
    std::mutex mutex;
    std::condition_variable idle;
    int waitedFor = 0; // jobs that someone waits for, waiting for the pool or in it
};

Priorities& priorities()
{
    static auto* p = new Priorities; // used by workers until the very end
    return *p;
}

thread_local int t_background = 0;

// How many threads that someone waits for wait for this thread's pixels (CpuRendering::whole): while
// any does, its work is no longer work nobody waits for, whatever scope it runs in.
const std::shared_ptr<std::atomic<int>>& awaitedHere()
{
    thread_local const auto awaited = std::make_shared<std::atomic<int>>(0);
    return awaited;
}

bool inBackground()
{
    return t_background > 0 && awaitedHere()->load() == 0;
}

} // namespace

const Bitmap& CpuRendering::whole() const
{
    std::unique_lock lock(m_wholeMutex);
    if (m_wholeState == WholeState::Computing) {
        // Computed on another thread (a healing fill being stored, asked for by a zoom meanwhile): a
        // caller someone waits for makes that work waited for too, instead of waiting behind the
        // renders that go before work nobody waits for.
        const bool waitedFor = t_background == 0;
        const std::shared_ptr<std::atomic<int>> computer = m_computer;
        if (waitedFor && computer) {
            computer->fetch_add(1);
            std::lock_guard wake(priorities().mutex);
            priorities().idle.notify_all();
        }
        m_wholeDone.wait(lock, [this] { return m_wholeState != WholeState::Computing; });
        if (waitedFor && computer)
            computer->fetch_sub(1);
    }
    if (m_wholeState == WholeState::Done)
        return m_whole;
    m_wholeState = WholeState::Computing;
    m_computer = awaitedHere();
    lock.unlock();
    Bitmap pixels;
    bool ok = false;
    try {
        pixels = Bitmap(int(m_bounds.width()), int(m_bounds.height()), m_format, Bitmap::Fill::Uninitialized);
        ok = !pixels.isNull() && render(m_bounds, pixels);
    } catch (...) {
        lock.lock();
        m_wholeState = WholeState::NotYet; // the next caller tries again
        m_computer = nullptr;
        m_wholeDone.notify_all();
        throw;
    }
    lock.lock();
    if (ok)
        m_whole = pixels;
    m_wholeState = WholeState::Done;
    m_computer = nullptr;
    m_wholeDone.notify_all();
    return m_whole;
}

CpuRendering::BackgroundScope::BackgroundScope()
{
    ++t_background;
}

CpuRendering::BackgroundScope::~BackgroundScope()
{
    --t_background;
}

bool CpuRendering::onBandThread()
{
    return BandPool::nested();
}

void CpuRendering::inBands(int count, const std::function<void(int begin, int end)>& work, int perCore)
{
    if (count <= 0)
        return;
    // Bands of a band run one after the other on its thread: in one piece, set up once.
    if (BandPool::nested()) {
        work(0, count);
        return;
    }
    BandPool& pool = BandPool::instance();
    const int bands = std::min(count, (pool.workers() + 1) * std::max(1, perCore));
    if (bands <= 1 || count < 16) {
        work(0, count);
        return;
    }
    const auto run = [&](int first, int last, bool background) {
        pool.run(
            last - first,
            [&](int i) {
                const int band = first + i;
                work(int(int64_t(count) * band / bands), int(int64_t(count) * (band + 1) / bands));
            },
            background);
    };
    Priorities& p = priorities();
    const auto runWaitedFor = [&](int first) {
        {
            std::lock_guard lock(p.mutex);
            ++p.waitedFor;
        }
        const struct Done
        {
            Priorities& p;
            ~Done()
            {
                std::lock_guard lock(p.mutex);
                if (--p.waitedFor == 0)
                    p.idle.notify_all();
            }
        } done{p};
        run(first, bands, false);
    };
    // A round of bands at a time, one band per core, each round after the jobs waited for; the rest at
    // once as soon as somebody waits for this work.
    const int round = pool.workers() + 1;
    for (int first = 0; first < bands; first += round) {
        if (!inBackground())
            return runWaitedFor(first);
        {
            std::unique_lock lock(p.mutex);
            p.idle.wait(lock, [&] { return p.waitedFor == 0 || !inBackground(); });
        }
        if (!inBackground())
            return runWaitedFor(first);
        run(first, std::min(bands, first + round), true);
    }
}

} // namespace pf
