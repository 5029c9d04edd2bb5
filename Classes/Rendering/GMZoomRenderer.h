#pragma once

#include "Classes/Rendering/GMZoomRendererDelegate.h"
#include "Classes/ToolObjects/OVBrushFramework/GMBrushHandler.h"
#include "Platform/Foundation/Rect.h"
#include "Platform/Foundation/Size.h"
#include "Platform/Image/Filter.h"
#include "Platform/Image/Image.h"
#include "Platform/UI/LayerDelegate.h"

#include <QImage>
#include <QRegion>
#include <QString>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

namespace pf {
class Layer;
class RenderContext;
class SerialQueue;
} // namespace pf
class GMContentFilterWrapper;
class OVBrushPathImage;
class OVRenderCache;
class PhotoToolChain;

// Renders one render channel (a normalised rectangle of the photo at the pixel size of the channel's
// layer) into the channel's layer, in two ways:
//
// - At rest it composes the stack from the background up to the selected layer with its own render
//   cache on the render queue and puts the picture on the layer in one transaction on the main thread.
//   Requests are coalesced: at most one composition waits on the queue, and when its turn comes it
//   composes the newest request. Every composed picture is shown (so a stream of requests, a settings
//   drag, keeps the picture moving), except one asked for before the channel was hidden; only the
//   picture of the newest request is reported visible.
// - While the user paints it is the layer's drawing delegate: it runs the stroke through its brush
//   handler on the main thread, invalidates the part that changed (at least 256 x 256 pixels) and
//   draws the live picture there: the stack below the selected layer, the selected effect fed with the
//   mask as painted so far, and its composition. A point that arrives while the previous step is not
//   drawn yet is dropped; brush-down and brush-up never are.
//
// Stroke points are normalised to the layer (0..1, y up). Main thread only, but for the composition
// on the render queue. Made with std::make_shared: the queue's work keeps it alive.
class GMZoomRenderer : public pf::LayerDelegate, public std::enable_shared_from_this<GMZoomRenderer>
{
public:
    // `liveContext` draws the live picture on the main thread, `queueContext` fills the render cache on
    // the render queue; without them the shared context does both.
    explicit GMZoomRenderer(std::shared_ptr<PhotoToolChain> toolChain,
                            std::shared_ptr<pf::RenderContext> liveContext = nullptr,
                            std::shared_ptr<pf::RenderContext> queueContext = nullptr);
    ~GMZoomRenderer() override;
    GMZoomRenderer(const GMZoomRenderer&) = delete;
    GMZoomRenderer& operator=(const GMZoomRenderer&) = delete;

    // The last stroke was a click that found nothing to select (no iris stood out there): nothing was
    // painted or handed on to be stored.
    bool lastStrokeFoundNothing() const { return m_brushHandler.lastStrokeFoundNothing(); }

    // Becomes the new layer's delegate (and stops being the old one's).
    void setLayer(const std::shared_ptr<pf::Layer>& layer);
    std::shared_ptr<pf::Layer> layer() const { return m_layer.lock(); }
    // The part of the photo shown; the render cache follows it at the layer's size.
    void setContentsRect(const pf::Rect& rect);
    pf::Rect contentsRect() const { return m_contentsRect; }

    // A stroke. Strokes on a renderer without a layer, or with a layer or contents rectangle of no
    // width, are ignored whole.
    void brushDownAtPoint(const OVBrush& brush, const pf::Point& point);
    void processPoint(const pf::Point& point);
    void brushUpAtPoint(const pf::Point& point);

    // The live filters and the handler's start images for the selected layer; `normedFaceWidth` is the
    // nearest face's width over the photo's width.
    void prepareBrushHandlerForNormedFaceWidth(double normedFaceWidth);
    // The composed stack below the selected layer (cached until the next composition request). Never
    // waits for the render queue: while the cache has no pixels of it, a recipe stands in, and the
    // pixels replace it once the queue has made them.
    pf::Image backgroundImage();
    bool isBackgroundRecipe() const { return m_backgroundIsRecipe; }

    // Composes the stack up to the selected layer (only below it with `backgroundOnly`) on `queue`.
    // Ignored while a finished stroke is handed over; kept for after the stroke while one runs.
    void drawInQueue(const std::shared_ptr<pf::SerialQueue>& queue, bool backgroundOnly);
    // Empties the layer; a composition on its way is no longer shown.
    void hideEditLayer();

    // pf::LayerDelegate
    void drawLayer(pf::Layer& layer, QPainter& painter) override;
    pf::LayerAction actionForLayer(pf::Layer& layer, const QString& key) override;

    GMZoomRendererDelegate* delegate() const { return m_delegate; }
    void setDelegate(GMZoomRendererDelegate* delegate) { m_delegate = delegate; }
    quint64 currentRenderNo() const { return m_currentRenderNo.load(); }
    void setCurrentRenderNo(quint64 number) { m_currentRenderNo.store(number); }
    // The channel's name.
    QString context() const { return m_context; }
    void setContext(const QString& context) { m_context = context; }

    // The rectangle invalidated for a step's dirty rectangle on a layer of `layerSize`: at least
    // 256 x 256, moved inside the layer where it fits.
    static pf::Rect invalidationRect(const pf::Rect& dirtyRect, const pf::Size& layerSize);

    // State, for the window and for tests.
    bool isBlocked() const { return m_blocked.load(); }
    bool isStroking() const { return m_stroking; }
    bool isPrepared() const { return m_prepared && !m_stale; }
    GMBrushHandler& brushHandler() { return m_brushHandler; }
    OVRenderCache& renderCache() { return *m_renderer; }
    // Compositions the queue has run (overtaken requests skipped when their turn came are not counted).
    quint64 compositionCount() const { return m_compositions.load(); }
    // Compositions on the queue whose turn has not come yet (at most one: it composes the newest request).
    int waitingCompositions() const { return m_waiting.load(); }
    // Pixels of the live picture made by the last drawing, and points dropped by back-pressure.
    double lastLiveArea() const { return m_lastLiveArea; }
    int droppedPoints() const { return m_droppedPoints; }

private:
    struct Request
    {
        std::shared_ptr<pf::SerialQueue> queue;
        bool backgroundOnly = false;
    };

    pf::Size layerSize() const;
    void invalidate(const pf::Rect& dirtyRect);
    // The picture of a composition arrives on the main thread.
    void showComposition(const QImage& picture, quint64 number, bool backgroundOnly);
    // In one transaction without animation; `reportNumber` (when not 0) is reported visible once shown,
    // unless a newer request came meanwhile.
    void setLayerContents(const QImage& picture, quint64 reportNumber);
    void dropPrepared();
    // Asks the render queue for the pixels of the background that a recipe stands in for.
    void requestBackgroundPixels();
    void useBackgroundPixels(const pf::Image& pixels, quint64 number);
    // The live picture's pixels drawn so far, kept for redraws; dropped when the live picture changes.
    void keepLivePixels(const QImage& pixels, const pf::Rect& part);
    void dropLivePixels();
    // Once the stroke's snapshot is written, the stored healed pixels of the channel's part become the
    // start additional picture (`number` names the stroke; a later one makes it void).
    void showStoredFill(const std::shared_ptr<OVBrushPathImage>& target, const QString& snapshot,
                        quint64 number);
    static void releaseOnMain(std::shared_ptr<GMZoomRenderer>&& renderer);

    std::shared_ptr<PhotoToolChain> m_toolChain;
    std::shared_ptr<pf::RenderContext> m_liveContext;
    std::shared_ptr<pf::RenderContext> m_queueContext;
    std::unique_ptr<OVRenderCache> m_renderer;
    GMBrushHandler m_brushHandler;
    pf::FilterPtr m_brushTools;
    std::shared_ptr<GMContentFilterWrapper> m_contentFilter;
    pf::FilterPtr m_compositionFilter;
    pf::Image m_backgroundImage;
    bool m_backgroundIsRecipe = false;
    quint64 m_backgroundNumber = 0; // the last request for background pixels
    std::atomic<bool> m_blocked{false};
    bool m_isUpdating = false;
    std::weak_ptr<pf::Layer> m_layer;
    GMZoomRendererDelegate* m_delegate = nullptr;
    std::atomic<quint64> m_currentRenderNo{0};
    QString m_context;
    pf::Rect m_contentsRect{0, 0, 0, 0};

    // Preparation: done for the layer's mask `m_preparedTarget` at selection `m_preparedSelection`; a
    // composition request makes it stale, and the next stroke prepares again. Until then the live
    // picture can still be drawn from it.
    bool m_prepared = false;
    bool m_stale = false;
    int m_preparedSelection = -1;
    std::weak_ptr<OVBrushPathImage> m_preparedTarget;
    // The mask snapshot the handler's start images stand for, and the part and size they were made at.
    std::weak_ptr<OVContentContainer> m_startContainer;
    pf::Rect m_preparedRect{0, 0, 0, 0};
    pf::Size m_preparedSize;

    // The running stroke, and the request that arrived during it.
    bool m_stroking = false;
    std::shared_ptr<OVBrushPathImage> m_strokeTarget;
    pf::Rect m_strokeRect; // the part of the photo the stroke was painted over
    std::optional<Request> m_deferred;
    std::weak_ptr<pf::SerialQueue> m_queue; // the render queue compositions were asked on
    quint64 m_fillNumber = 0;               // the last healing stroke whose stored pixels are awaited
    pf::Image m_storedFill;                 // those pixels, when they arrived during the next stroke
    bool m_fillAwaited = false;             // a healing stroke's stored pixels are not in the start yet
    QRegion m_strokeRegion;                 // the squares the running (or last) stroke invalidated
    QRegion m_fillRegion;                   // those of the healing strokes whose stored pixels are awaited

    // What the layer shows outside the live picture: the last composed picture, whether it holds the
    // selected layer, and where the live picture differs from it (the steps drawn since it was
    // requested). `m_paintedSince` collects the steps drawn since each request not shown yet.
    QImage m_shownPicture;
    bool m_shownWithSelection = false;
    quint64 m_shownRenderNo = 0;
    quint64 m_hiddenRenderNo = 0; // pictures asked for up to this number are never shown
    QRegion m_liveRegion;
    QImage m_livePixels;  // the live picture where m_liveCached says (rows top down)
    QRegion m_liveCached; // y up, layer pixels
    std::map<quint64, QRegion> m_paintedSince;

    // The newest request, read by the composition when its turn comes; only one waits on the queue.
    struct Composition
    {
        quint64 number = 0;
        int index = 0;
        bool backgroundOnly = false;
    };
    std::mutex m_requestMutex;
    Composition m_newest;
    bool m_queued = false;

    std::atomic<quint64> m_compositions{0};
    std::atomic<int> m_waiting{0};
    double m_lastLiveArea = 0;
    int m_droppedPoints = 0;
};
