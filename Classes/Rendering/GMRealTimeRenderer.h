#pragma once

#include "Classes/Rendering/GMRealTimeRendererDelegate.h"
#include "Classes/Rendering/GMZoomRendererDelegate.h"
#include "Classes/ToolObjects/OVBrushFramework/OVBrush.h"
#include "Platform/Foundation/Point.h"
#include "Platform/Foundation/Rect.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <memory>

namespace pf {
class Layer;
class RenderContext;
class SerialQueue;
} // namespace pf
class GMZoomRenderer;
class PhotoToolChain;

// The hub through which the editor window shows the layer stack while the user edits and paints. It
// owns named render channels ("standard": the zoom view, "loupe": the loupe), each a layer served by
// one GMZoomRenderer, and one serial render queue on which all of them compose, so the channels'
// compositions never run at the same time and run in the order asked. It decides which channels are
// redrawn when the model changes, sends a stroke's events to the channel where the stroke began, and
// passes each channel's results on to its delegate under the channel's name.
//
// Use: construct over the chain, setDelegate, setLayerForRenderChannel for each channel;
// activateChannel whenever a channel is to show (part of) the photo for editing, deactivateRenderChannel
// when it stops; a stroke is brushDownAtPoint, any number of processPoint, one brushUpAtPoint.
// The operations the window sends are virtual, so that the window's tests can record them.
// Main thread only.
class GMRealTimeRenderer : public GMZoomRendererDelegate
{
public:
    explicit GMRealTimeRenderer(std::shared_ptr<PhotoToolChain> toolChain);
    ~GMRealTimeRenderer() override;
    // Makes the process's two rendering contexts now, on the calling thread, if they are not made yet:
    // the first renderer then does not wait for their set-up.
    static void prepareContexts();
    GMRealTimeRenderer(const GMRealTimeRenderer&) = delete;
    GMRealTimeRenderer& operator=(const GMRealTimeRenderer&) = delete;

    // Makes the channel on first use; a channel given a new layer moves to it.
    virtual void setLayerForRenderChannel(const std::shared_ptr<pf::Layer>& layer, const QString& channel);
    // Shows the normalised rectangle of the photo on the channel (composed anew at every call) and
    // redraws it with the model from now on. A channel without a layer is active all the same and
    // shows the rectangle once its layer is set.
    virtual void activateChannel(const QString& channel, const pf::Rect& contentsRect);
    // Empties the channel's layer and stops redrawing it.
    virtual void deactivateRenderChannel(const QString& channel);
    // Every active channel shows only the layers below the selected one (true) or up to it (false).
    virtual void hideDrawLayer(bool hide);
    virtual void updateActiveChannels();
    // A change of layer `index` redraws the active channels when it is at or below the selection.
    virtual void contentDidChangeAtIndex(int index);
    virtual void brushPathDidChangeAtIndex(int index);

    // A stroke; the point is normalised to the channel's layer. Drags and the release go to the channel
    // where the stroke began, whatever is activated meanwhile.
    virtual void brushDownAtPoint(const OVBrush& brush, const pf::Point& point, const QString& channel);
    virtual void processPoint(const pf::Point& point);
    virtual void brushUpAtPoint(const pf::Point& point);
    // The stroke that ended last, on the channel where it began, was a click that found nothing to
    // select: it painted nothing and no step was stored.
    virtual bool lastStrokeFoundNothing() const;

    GMRealTimeRendererDelegate* delegate() const { return m_delegate; }
    void setDelegate(GMRealTimeRendererDelegate* delegate) { m_delegate = delegate; }
    const std::shared_ptr<pf::SerialQueue>& renderQueue() const { return m_renderQueue; }
    QString sourceChannel() const { return m_sourceChannel; }
    QStringList activeChannels() const { return m_activeChannels; }
    // Null for a channel that was never given a layer.
    std::shared_ptr<GMZoomRenderer> zoomRendererForChannel(const QString& channel) const;

    // GMZoomRendererDelegate
    void zoomRendererFinishCalculationOfContentContainer(
        GMZoomRenderer* renderer, const OVContentContainerPtr& container, const pf::Rect& rect,
        const std::shared_ptr<OVBrushPathImage>& target) override;
    void zoomRendererDidBecomeVisible(GMZoomRenderer* renderer) override;

private:
    void redrawActiveChannels(bool backgroundOnly);

    std::shared_ptr<PhotoToolChain> m_toolChain;
    QMap<QString, std::shared_ptr<GMZoomRenderer>> m_renderChannels;
    QStringList m_activeChannels;
    QMap<QString, pf::Rect> m_waitingRects; // active channels without a layer yet: what they will show
    std::shared_ptr<pf::RenderContext> m_liveContext;  // live pictures, on the main thread
    std::shared_ptr<pf::RenderContext> m_queueContext; // compositions, on the render queue
    std::shared_ptr<pf::SerialQueue> m_renderQueue;
    QString m_sourceChannel;
    GMRealTimeRendererDelegate* m_delegate = nullptr;
};
