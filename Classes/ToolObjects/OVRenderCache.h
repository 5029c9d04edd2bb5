#pragma once

#include "Classes/ToolObjects/OVRenderSource.h"
#include "Platform/Foundation/ObserverToken.h"
#include "Platform/Foundation/Rect.h"
#include "Platform/Foundation/Size.h"
#include "Platform/Image/Bitmap.h"
#include "Platform/Image/Image.h"
#include "Platform/Image/RenderContext.h"

#include <QVariantMap>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

// Composes a layer stack into images of one output size for one part of the photo, keeping every
// result as pixels: each layer's content and each composed stack (the background up to that layer).
// A cache filled once (a save) may keep only the picture asked for instead (see Retention).
// Learns of changes from "OVRCContentDidChange" and "OVRCCompositionDidChange" sent by its delegate.
// May be filled on a background queue while the main thread changes the stack: fills run one at a
// time, and a short lock guards the tables, never held while a fill renders, so a change of the stack
// or a look into the tables never waits for a fill. A fill that meets a newer state of the stack than
// the cache was told about stores nothing and gives no image, as a cancelled fill does; one overtaken
// by a change on its way finishes the picture of the state it began with and stores none of it.
class OVRenderCache
{
public:
    // `delegate` is held strongly and must outlive nothing: the cache keeps it alive.
    OVRenderCache(std::shared_ptr<OVRenderCacheDelegate> delegate, const void* notificationSender,
                  std::shared_ptr<pf::RenderContext> context = nullptr);
    ~OVRenderCache();
    OVRenderCache(const OVRenderCache&) = delete;
    OVRenderCache& operator=(const OVRenderCache&) = delete;

    // The composed stack up to and including the index; the content of that one layer.
    pf::Image composedImageToIndex(int index);
    pf::Image contentImageForIndex(int index);
    // Never waits for a fill: the composed stack up to the index if the table holds it, else null.
    pf::Image cachedComposedImageToIndex(int index) const;
    // Never waits for a fill or renders: the composed stack up to the index as a recipe of the current
    // state, from the table's pixels where it holds them (a stand-in while a fill makes the pixels).
    pf::Image composedRecipeToIndex(int index) const;

    pf::Size outputSize() const;
    void setOutputSize(const pf::Size& size);
    void fitOutputSizeInside(const pf::Size& bounds);
    pf::Rect contentsRect() const;
    void setContentsRect(const pf::Rect& rect);
    void cleanCaches();

    // What a fill keeps. Everything: every layer's content and every composed stack, so that a change
    // recomposes only from the lowest changed layer (previews, zoom channels that are filled again and
    // again). RequestedOnly: only the picture asked for, as 8-bit pixels; the fill composes the stack
    // below it as one recipe and renders it once, so no layer's intermediate picture is ever made at
    // the output size (a full-size save needs only its final picture). The tables then stay empty.
    enum class Retention
    {
        Everything,
        RequestedOnly
    };
    Retention retention() const;
    void setRetention(Retention retention);

    // What the tables hold, with the state and output they show, for another cache of the same stack
    // to start from instead of composing from nothing (a preview for saving made right after a stroke
    // reuses the canvas's layers below it).
    struct Tables
    {
        std::shared_ptr<const OVRenderSource> source; // the state they show; null when none
        pf::Size outputSize;
        pf::Rect contentsRect{0, 0, 1, 1};
        std::vector<std::optional<pf::Image>> images;
        std::vector<pf::Image> stacks;
    };
    Tables tables() const;
    // Takes over `tables` (and their exact output size) when they show the very state this cache knows, over
    // the same part of the photo at the same output size in whole pixels, and it keeps everything;
    // otherwise changes nothing. Returns whether it took them.
    bool adoptTables(const Tables& tables);

    bool cancel() const { return m_cancel.load(); }
    void setCancel(bool cancel) { m_cancel.store(cancel); }

    // Runs inside every fill, once it is the one running and before it looks at the tables (tests hold
    // a fill open with it); null removes it.
    static void setFillGateForTesting(std::function<void()> hook);

    // Counts of the two tables (for tests and diagnostics).
    int cachedContentCount() const;
    int cachedStackCount() const;
    bool isContentStale(int index) const;

private:
    // Where the photo lands in the output: its transform and the output's crop. False when the output
    // size or the contents rectangle leaves no finite, positive scale.
    bool geometry(const OVRenderSource& source, pf::AffineTransform* transform, pf::Rect* crop) const;
    // The delegate's source with its geometry, while the tables know its state; null otherwise.
    std::shared_ptr<const OVRenderSource> knownSource(pf::AffineTransform* transform, pf::Rect* crop) const;
    pf::Image imageToIndex(int index, bool composed);
    pf::Image requestedOnly(int index, bool composed, std::unique_lock<std::mutex>& lock);
    static std::function<void()> fillGate();
    // RequestedOnly: forgets the kept picture when a change at `index` reaches it.
    void dropKept(int index);
    std::optional<pf::Bitmap>
    renderedPixels(const pf::Image& image, const pf::Rect& rect, pf::Bitmap::Format format,
                   pf::RenderContext::Reuse reuse = pf::RenderContext::Reuse::AsSource) const;
    // The output's rectangle (with the table lock held).
    pf::Rect outputRect() const;
    pf::Image rendered(const pf::Image& image, const pf::Rect& rect,
                       pf::RenderContext::Reuse reuse = pf::RenderContext::Reuse::AsSource) const;
    void contentDidChange(const QVariantMap& info);
    void compositionDidChange(const QVariantMap& info);

    std::shared_ptr<OVRenderCacheDelegate> m_delegate;
    std::shared_ptr<pf::RenderContext> m_context;
    std::mutex m_fillLock;     // one fill at a time
    mutable std::mutex m_lock; // the tables, sizes and versions; never held while rendering
    quint64 m_generation = 0;  // counts the changes of the tables made from outside a fill
    std::vector<std::optional<pf::Image>> m_images; // nullopt: stale
    // Composed stacks go on to the next layer as float renderings, so that stacks of many layers do not
    // band. The table keeps them as floats where the output is small (previews, display caches); larger
    // outputs keep an 8-bit copy, and a later fill starts from it.
    std::vector<pf::Image> m_stacks;
    Retention m_retention = Retention::Everything;
    // RequestedOnly: the one picture kept, and what it shows.
    pf::Image m_kept;
    int m_keptIndex = -1;
    bool m_keptComposed = false;
    std::atomic<bool> m_cancel{false};
    pf::Size m_outputSize;
    pf::Rect m_contentsRect{0, 0, 1, 1};
    quint64 m_knownVersion = 0;
    pf::ObserverToken m_contentObserver;
    pf::ObserverToken m_compositionObserver;
};
