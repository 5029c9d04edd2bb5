#include "Classes/ToolObjects/OVRenderCache.h"

#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/RenderContext.h"

#include <algorithm>
#include <cmath>

using namespace pf;

namespace {

// Outputs up to this size keep their stacks as float renderings in the table (a 1024-pixel preview
// needs 11 MB a stack); beyond it, as for a full-size save, the table keeps 8-bit copies.
constexpr double FloatStackPixels = 4.0e6;

// The 8-bit copy of a float rendering, rounded as a render into 8 bits rounds.
Bitmap eightBitCopy(const Bitmap& pixels)
{
    Bitmap copy(pixels.width(), pixels.height(), Bitmap::Format::RGBA8, Bitmap::Fill::Uninitialized);
    if (copy.isNull())
        return copy;
    const size_t count = size_t(pixels.width()) * size_t(pixels.height()) * 4;
    const auto* from = reinterpret_cast<const float*>(pixels.data());
    uint8_t* to = copy.mutableData();
    for (size_t i = 0; i < count; ++i)
        to[i] = uint8_t(std::clamp(from[i], 0.0f, 1.0f) * 255.0f + 0.5f);
    return copy;
}

std::mutex gateMutex;
std::function<void()> gate;

// `content` composited over `stack` by the compositing filter of the layer at `index`; null when the
// layer has none or it gives no image.
Image composited(const OVRenderSource& source, int index, const Image& content, const Image& stack)
{
    const FilterPtr composition = source.compositingFilterForIndex(index);
    if (!composition)
        return Image();
    composition->setValue(QVariant::fromValue(content), QStringLiteral("inputImage"));
    composition->setValue(QVariant::fromValue(stack), QStringLiteral("inputBackgroundImage"));
    return composition->value(OutputImageKey).value<Image>();
}

} // namespace

void OVRenderCache::setFillGateForTesting(std::function<void()> hook)
{
    std::lock_guard lock(gateMutex);
    gate = std::move(hook);
}

std::function<void()> OVRenderCache::fillGate()
{
    std::lock_guard lock(gateMutex);
    return gate;
}

OVRenderCache::OVRenderCache(std::shared_ptr<OVRenderCacheDelegate> delegate, const void* sender,
                             std::shared_ptr<RenderContext> context)
    : m_delegate(std::move(delegate)), m_context(context ? std::move(context) : RenderContext::shared())
{
    const auto source = m_delegate->renderSource();
    m_outputSize = source->imageSize();
    m_knownVersion = source->version();
    m_contentObserver = NotificationCenter::defaultCenter().addObserver(
        QStringLiteral("OVRCContentDidChange"), sender,
        [this](const Notification& n) { contentDidChange(n.userInfo); });
    m_compositionObserver = NotificationCenter::defaultCenter().addObserver(
        QStringLiteral("OVRCCompositionDidChange"), sender,
        [this](const Notification& n) { compositionDidChange(n.userInfo); });
}

OVRenderCache::~OVRenderCache()
{
    m_contentObserver.reset();
    m_compositionObserver.reset();
}

Image OVRenderCache::composedImageToIndex(int index)
{
    return imageToIndex(index, true);
}

Image OVRenderCache::contentImageForIndex(int index)
{
    return imageToIndex(index, false);
}

std::optional<Bitmap> OVRenderCache::renderedPixels(const Image& image, const Rect& rect,
                                                    Bitmap::Format format, RenderContext::Reuse reuse) const
{
    // A cached layer is computed once and then reused as pixels: 8-bit for the contents, as the photo
    // itself is; float for the stacks passed on (see m_stacks).
    return rect.isEmpty() ? std::nullopt : m_context->render(image, rect, format, reuse);
}

Rect OVRenderCache::outputRect() const
{
    return Rect(0, 0, std::round(m_outputSize.width), std::round(m_outputSize.height));
}

Image OVRenderCache::rendered(const Image& image, const Rect& rect, RenderContext::Reuse reuse) const
{
    // A render that fails gives a transparent image of the output size.
    const auto pixels = renderedPixels(image, rect, Bitmap::Format::RGBA8, reuse);
    return pixels ? Image::fromBitmap(*pixels)
                  : Image::constantColor(Color(0, 0, 0, 0)).imageByCroppingToRect(rect);
}

bool OVRenderCache::geometry(const OVRenderSource& source, AffineTransform* transform, Rect* crop) const
{
    const Size photo = source.imageSize();
    const double sx = m_outputSize.width / (m_contentsRect.width() * photo.width);
    const double sy = m_outputSize.height / (m_contentsRect.height() * photo.height);
    if (!std::isfinite(sx) || !std::isfinite(sy) || sx <= 0 || sy <= 0)
        return false;
    *transform = AffineTransform::scale(sx, sy).translated(-m_contentsRect.minX() * photo.width,
                                                           -m_contentsRect.minY() * photo.height);
    *crop =
        Rect(0, 0, photo.width * m_contentsRect.width() * sx, photo.height * m_contentsRect.height() * sy);
    if (std::abs(sx - sy) * std::min(m_outputSize.width, m_outputSize.height) > 1.0)
        pf::warning(
            QStringLiteral("Scale is not very precise: %1 ≠ %2").arg(sx, 0, 'f', 6).arg(sy, 0, 'f', 6));
    return true;
}

std::shared_ptr<const OVRenderSource> OVRenderCache::knownSource(AffineTransform* transform, Rect* crop) const
{
    auto source = m_delegate->renderSource();
    // A state the cache has not been told about yet: its tables may not match it. The notification
    // is on its way; give up, as a cancelled fill does.
    if (source->version() != m_knownVersion || !geometry(*source, transform, crop))
        return nullptr;
    return source;
}

Image OVRenderCache::imageToIndex(int index, bool composed)
{
    if (index < 0)
        return Image();
    // One fill at a time; the tables are locked only to read and store, never while a fill renders, so
    // that changes of the stack and readers of what is kept never wait for a composition.
    std::lock_guard fill(m_fillLock);
    if (const auto gate = fillGate())
        gate();
    std::unique_lock lock(m_lock);
    if (m_retention == Retention::RequestedOnly)
        return requestedOnly(index, composed, lock);
    if (composed && size_t(index) < m_stacks.size())
        return m_stacks[size_t(index)];
    if (!composed && size_t(index) < m_images.size() && m_images[size_t(index)])
        return *m_images[size_t(index)];

    AffineTransform transform;
    Rect crop;
    const auto source = knownSource(&transform, &crop);
    if (!source)
        return Image();

    // The fill works on copies of the tables, made from the state just checked, and stores what it
    // makes only while no change has reached the tables since: a change that arrives meanwhile makes
    // the rest of the fill a picture of the state it began with, kept by nobody.
    std::vector<std::optional<Image>> images = m_images;
    std::vector<Image> stacks = m_stacks;
    const quint64 generation = m_generation;
    const Rect out = outputRect();
    const bool large = m_outputSize.width * m_outputSize.height > FloatStackPixels;
    lock.unlock();
    const auto store = [&] {
        std::lock_guard relock(m_lock);
        if (m_generation != generation)
            return;
        m_images = images;
        m_stacks = stacks;
    };

    Image stack;
    if (images.empty() || stacks.empty()) {
        const Image background =
            rendered(source->backgroundImageWithTransform(transform).imageByCroppingToRect(crop), out);
        if (images.empty())
            images.push_back(background);
        if (stacks.empty())
            stacks.push_back(background);
        stack = background;
        store();
    } else {
        stack = stacks[std::min(images.size(), stacks.size()) - 1];
    }

    for (int k = int(std::min(images.size(), stacks.size())); k <= index; ++k) {
        Image content;
        if (size_t(k) < images.size() && images[size_t(k)]) {
            content = *images[size_t(k)];
        } else {
            Image fresh = source->viewedContentImageAtIndex(k, stack, transform, crop, *m_context);
            if (fresh.isNull())
                fresh = Image::constantColor(Color(0, 0, 0, 0)).imageByCroppingToRect(crop);
            content = rendered(fresh, out);
            if (size_t(k) < images.size())
                images[size_t(k)] = content;
            else
                images.push_back(content);
        }
        if (size_t(k) < stacks.size()) {
            stack = stacks[size_t(k)];
        } else {
            Image kept;
            const Image output = composited(*source, k, content, stack);
            if (!output.isNull()) {
                // A large output keeps 8-bit copies; the float rendering is then made only for a
                // layer above in this fill.
                const auto pixels =
                    large && k == index ? std::nullopt : renderedPixels(output, out, Bitmap::Format::RGBAf);
                stack = pixels ? Image::fromBitmap(*pixels) : rendered(output, out);
                if (pixels && large)
                    kept = Image::fromBitmap(eightBitCopy(*pixels));
            }
            stacks.push_back(kept.isNull() ? stack : kept);
        }
        store();
        if (m_cancel.load())
            return Image();
    }
    if (composed)
        return size_t(index) < stacks.size() ? stacks[size_t(index)] : Image();
    return size_t(index) < images.size() && images[size_t(index)] ? *images[size_t(index)] : Image();
}

Image OVRenderCache::cachedComposedImageToIndex(int index) const
{
    std::lock_guard lock(m_lock);
    if (index < 0 || m_retention != Retention::Everything || size_t(index) >= m_stacks.size())
        return Image();
    return m_stacks[size_t(index)];
}

Image OVRenderCache::composedRecipeToIndex(int index) const
{
    if (index < 0)
        return Image();
    std::unique_lock lock(m_lock);
    const auto source = m_delegate->renderSource();
    AffineTransform transform;
    Rect crop;
    if (!geometry(*source, &transform, &crop))
        return Image();
    // What the tables hold of this state is used as it is; the rest stays a recipe.
    const bool current = source->version() == m_knownVersion && m_retention == Retention::Everything;
    const std::vector<std::optional<Image>> images = current ? m_images : decltype(m_images){};
    const std::vector<Image> stacks = current ? m_stacks : decltype(m_stacks){};
    lock.unlock();

    if (size_t(index) < stacks.size())
        return stacks[size_t(index)];
    int k = int(std::min(stacks.size(), images.size()));
    Image stack = k > 0 ? stacks[size_t(k - 1)]
                        : source->backgroundImageWithTransform(transform).imageByCroppingToRect(crop);
    for (k = std::max(k, 1); k <= index; ++k) {
        Image content = size_t(k) < images.size() && images[size_t(k)]
                            ? *images[size_t(k)]
                            : source->contentImageAtIndex(k, stack, transform, crop);
        if (content.isNull())
            content = Image::constantColor(Color(0, 0, 0, 0)).imageByCroppingToRect(crop);
        const Image output = composited(*source, k, content, stack);
        if (!output.isNull())
            stack = output;
    }
    return stack;
}

Image OVRenderCache::requestedOnly(int index, bool composed, std::unique_lock<std::mutex>& lock)
{
    if (!m_kept.isNull() && m_keptIndex == index && m_keptComposed == composed)
        return m_kept;
    AffineTransform transform;
    Rect crop;
    const auto source = knownSource(&transform, &crop);
    if (!source)
        return Image();
    const quint64 generation = m_generation;
    const Rect out = outputRect();
    m_kept = Image(); // the picture it replaces need not outlive the render
    m_keptIndex = -1;
    lock.unlock();

    // The stack goes on as a recipe: its intermediates exist only a tile at a time, at working
    // precision, while the one render below runs.
    Image stack = source->backgroundImageWithTransform(transform).imageByCroppingToRect(crop);
    const int top = composed ? index : index - 1;
    for (int k = 1; k <= top; ++k) {
        Image content = source->contentImageAtIndex(k, stack, transform, crop);
        if (content.isNull())
            content = Image::constantColor(Color(0, 0, 0, 0)).imageByCroppingToRect(crop);
        const Image output = composited(*source, k, content, stack);
        if (!output.isNull())
            stack = output;
        if (m_cancel.load())
            return Image();
    }
    Image wanted = stack;
    if (!composed && index > 0) {
        wanted = source->contentImageAtIndex(index, stack, transform, crop);
        if (wanted.isNull())
            wanted = Image::constantColor(Color(0, 0, 0, 0)).imageByCroppingToRect(crop);
    }
    // The picture leaves the engine (a save): no texture of its size is kept for it.
    const Image picture = rendered(wanted, out, RenderContext::Reuse::Discard);
    if (m_cancel.load())
        return Image();
    lock.lock();
    if (m_generation == generation) {
        m_kept = picture;
        m_keptIndex = index;
        m_keptComposed = composed;
    }
    return picture;
}

void OVRenderCache::dropKept(int index)
{
    if (index <= m_keptIndex) {
        m_kept = Image();
        m_keptIndex = -1;
    }
}

void OVRenderCache::contentDidChange(const QVariantMap& info)
{
    std::lock_guard lock(m_lock);
    ++m_generation;
    if (info.contains(QStringLiteral("OVRCVersion")))
        m_knownVersion = info.value(QStringLiteral("OVRCVersion")).toULongLong();
    if (!info.contains(QStringLiteral("OVRCChangeIndex"))) {
        m_images.clear();
        m_stacks.clear();
        dropKept(0);
        return;
    }
    const int index = info.value(QStringLiteral("OVRCChangeIndex")).toInt();
    const int action = info.value(QStringLiteral("OVRCAction")).toInt();
    if (index < 0)
        return;
    dropKept(index);
    if (size_t(index) < m_images.size()) {
        switch (action) {
        case 0:
            m_images[size_t(index)].reset();
            break;
        case 1:
            m_images.erase(m_images.begin() + index);
            break;
        case 2:
            m_images.insert(m_images.begin() + index, std::nullopt);
            break;
        default:
            m_images.resize(size_t(index));
            break;
        }
        // Every layer's content is made from the stack below it: whatever lies above a change is stale,
        // including the layer that slid down into the index of a removed one.
        for (size_t k = size_t(index); k < m_images.size(); ++k)
            m_images[k].reset();
    }
    if (size_t(index) < m_stacks.size())
        m_stacks.resize(size_t(index));
}

void OVRenderCache::compositionDidChange(const QVariantMap& info)
{
    std::lock_guard lock(m_lock);
    ++m_generation;
    const int index = std::max(1, info.value(QStringLiteral("OVRCChangeIndex")).toInt());
    if (size_t(index) < m_stacks.size())
        m_stacks.resize(size_t(index));
    dropKept(index);
}

void OVRenderCache::cleanCaches()
{
    std::lock_guard lock(m_lock);
    ++m_generation;
    m_images.clear();
    m_stacks.clear();
    dropKept(0);
}

OVRenderCache::Tables OVRenderCache::tables() const
{
    std::lock_guard lock(m_lock);
    auto source = m_delegate->renderSource();
    // Tables not yet told of the delegate's state show no state of it.
    if (m_retention != Retention::Everything || !source || source->version() != m_knownVersion)
        return {};
    return {std::move(source), m_outputSize, m_contentsRect, m_images, m_stacks};
}

bool OVRenderCache::adoptTables(const Tables& tables)
{
    std::lock_guard lock(m_lock);
    // Pictures of another state, part or size would be composed under layers they do not match.
    const auto sameWhole = [](double a, double b) { return std::round(a) == std::round(b); };
    // The same state object, not merely the same version number: another chain's counts alike.
    const auto source = m_delegate->renderSource();
    if (m_retention != Retention::Everything || !tables.source || tables.source != source ||
        source->version() != m_knownVersion || !(tables.contentsRect == m_contentsRect) ||
        !sameWhole(tables.outputSize.width, m_outputSize.width) ||
        !sameWhole(tables.outputSize.height, m_outputSize.height) ||
        (tables.images.empty() && tables.stacks.empty()))
        return false;
    ++m_generation;
    m_outputSize = tables.outputSize;
    m_images = tables.images;
    m_stacks = tables.stacks;
    dropKept(0);
    return true;
}

OVRenderCache::Retention OVRenderCache::retention() const
{
    std::lock_guard lock(m_lock);
    return m_retention;
}

void OVRenderCache::setRetention(Retention retention)
{
    std::lock_guard lock(m_lock);
    if (retention == m_retention)
        return;
    m_retention = retention;
    ++m_generation;
    m_images.clear();
    m_stacks.clear();
    dropKept(0);
}

Size OVRenderCache::outputSize() const
{
    std::lock_guard lock(m_lock);
    return m_outputSize;
}

void OVRenderCache::setOutputSize(const Size& size)
{
    {
        std::lock_guard lock(m_lock);
        if (std::abs(std::round(size.width - m_outputSize.width)) +
                std::abs(std::round(size.height - m_outputSize.height)) ==
            0)
            return;
        m_outputSize = size;
    }
    cleanCaches();
}

void OVRenderCache::fitOutputSizeInside(const Size& bounds)
{
    const Size photo = m_delegate->renderSource()->imageSize();
    if (photo.width <= 0 || photo.height <= 0 || bounds.width <= 0 || bounds.height <= 0)
        return;
    if (photo.width / photo.height > bounds.width / bounds.height)
        setOutputSize(Size(bounds.width, photo.height * bounds.width / photo.width));
    else
        setOutputSize(Size(photo.width * bounds.height / photo.height, bounds.height));
}

Rect OVRenderCache::contentsRect() const
{
    std::lock_guard lock(m_lock);
    return m_contentsRect;
}

void OVRenderCache::setContentsRect(const Rect& rect)
{
    {
        std::lock_guard lock(m_lock);
        const Rect& old = m_contentsRect;
        const double change =
            std::round((std::abs(rect.minX() - old.minX()) + std::abs(rect.width() - old.width())) *
                       m_outputSize.width) +
            std::round((std::abs(rect.minY() - old.minY()) + std::abs(rect.height() - old.height())) *
                       m_outputSize.height);
        if (change == 0)
            return;
        m_contentsRect = rect;
    }
    cleanCaches();
}

int OVRenderCache::cachedContentCount() const
{
    std::lock_guard lock(m_lock);
    return int(m_images.size());
}

int OVRenderCache::cachedStackCount() const
{
    std::lock_guard lock(m_lock);
    return int(m_stacks.size());
}

bool OVRenderCache::isContentStale(int index) const
{
    std::lock_guard lock(m_lock);
    return index >= 0 && size_t(index) < m_images.size() && !m_images[size_t(index)];
}
