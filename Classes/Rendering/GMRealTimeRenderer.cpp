#include "Classes/Rendering/GMRealTimeRenderer.h"

#include "Classes/Rendering/GMZoomRenderer.h"
#include "Classes/ToolObjects/PhotoToolChain.h"
#include "Platform/Foundation/SerialQueue.h"
#include "Platform/Image/RenderContext.h"

#include <QCoreApplication>

using namespace pf;

namespace {

// The application's reverse-domain identifier: the organisation's domain reversed, then the name.
QString applicationIdentifier()
{
    QStringList parts = QCoreApplication::organizationDomain().split(QLatin1Char('.'), Qt::SkipEmptyParts);
    std::reverse(parts.begin(), parts.end());
    const QString name = QCoreApplication::applicationName();
    parts << (name.isEmpty() ? QStringLiteral("glimora") : name);
    return parts.join(QLatin1Char('.'));
}

// Two contexts for every renderer of the process: one draws live pictures on the main thread, the other
// composes on the render queues. Live drawing never waits for a composition (or for the shared
// context's other work), and kernels are compiled once, not per window. Never destroyed, like the
// shared context: tearing a GL context down while the process exits races the driver's own exit.
std::shared_ptr<RenderContext> liveDrawingContext()
{
    static auto* context =
        new std::shared_ptr<RenderContext>(std::make_shared<RenderContext>(QStringLiteral("live drawing")));
    return *context;
}

std::shared_ptr<RenderContext> compositionContext()
{
    static auto* context =
        new std::shared_ptr<RenderContext>(std::make_shared<RenderContext>(QStringLiteral("render queues")));
    return *context;
}

} // namespace

GMRealTimeRenderer::GMRealTimeRenderer(std::shared_ptr<PhotoToolChain> toolChain)
    : m_toolChain(std::move(toolChain)), m_liveContext(liveDrawingContext()),
      m_queueContext(compositionContext()),
      m_renderQueue(std::make_shared<SerialQueue>(applicationIdentifier() + QStringLiteral(".renderQueue") +
                                                  QString::asprintf("%p", static_cast<void*>(this))))
{}

void GMRealTimeRenderer::prepareContexts()
{
    (void)liveDrawingContext();
    (void)compositionContext();
}

GMRealTimeRenderer::~GMRealTimeRenderer()
{
    // What is still queued is overtaken: it is skipped instead of composed, and nothing is reported.
    for (const auto& renderer : std::as_const(m_renderChannels)) {
        renderer->setDelegate(nullptr);
        renderer->setCurrentRenderNo(renderer->currentRenderNo() + 1);
    }
    m_renderQueue->waitUntilEmpty();
}

std::shared_ptr<GMZoomRenderer> GMRealTimeRenderer::zoomRendererForChannel(const QString& channel) const
{
    return m_renderChannels.value(channel);
}

void GMRealTimeRenderer::setLayerForRenderChannel(const std::shared_ptr<Layer>& layer, const QString& channel)
{
    std::shared_ptr<GMZoomRenderer> renderer = m_renderChannels.value(channel);
    if (!renderer) {
        renderer = std::make_shared<GMZoomRenderer>(m_toolChain, m_liveContext, m_queueContext);
        renderer->setContext(channel);
        renderer->setDelegate(this);
        m_renderChannels.insert(channel, renderer);
    }
    renderer->setLayer(layer);
    // An active channel shows its rectangle on the layer it has now; one activated before it had a
    // layer shows it from here on.
    if (m_activeChannels.contains(channel)) {
        const Rect rect =
            m_waitingRects.contains(channel) ? m_waitingRects.take(channel) : renderer->contentsRect();
        renderer->setContentsRect(rect);
        renderer->drawInQueue(m_renderQueue, false);
    }
}

void GMRealTimeRenderer::activateChannel(const QString& channel, const Rect& contentsRect)
{
    if (const std::shared_ptr<GMZoomRenderer> renderer = m_renderChannels.value(channel)) {
        renderer->setContentsRect(contentsRect);
        renderer->drawInQueue(m_renderQueue, false);
    } else {
        m_waitingRects.insert(channel, contentsRect); // shown once the channel has a layer
    }
    if (!m_activeChannels.contains(channel))
        m_activeChannels << channel;
}

void GMRealTimeRenderer::deactivateRenderChannel(const QString& channel)
{
    if (const std::shared_ptr<GMZoomRenderer> renderer = m_renderChannels.value(channel))
        renderer->hideEditLayer();
    m_waitingRects.remove(channel);
    m_activeChannels.removeAll(channel);
}

void GMRealTimeRenderer::redrawActiveChannels(bool backgroundOnly)
{
    for (const QString& channel : std::as_const(m_activeChannels)) {
        if (const std::shared_ptr<GMZoomRenderer> renderer = m_renderChannels.value(channel))
            renderer->drawInQueue(m_renderQueue, backgroundOnly);
    }
}

void GMRealTimeRenderer::hideDrawLayer(bool hide)
{
    redrawActiveChannels(hide);
}

void GMRealTimeRenderer::updateActiveChannels()
{
    redrawActiveChannels(false);
}

void GMRealTimeRenderer::contentDidChangeAtIndex(int index)
{
    // A channel shows the stack up to the selected layer: changes above it show nowhere.
    if (index <= m_toolChain->selectionIndex())
        redrawActiveChannels(false);
}

void GMRealTimeRenderer::brushPathDidChangeAtIndex(int index)
{
    contentDidChangeAtIndex(index);
}

void GMRealTimeRenderer::brushDownAtPoint(const OVBrush& brush, const Point& point, const QString& channel)
{
    m_sourceChannel = channel;
    if (const std::shared_ptr<GMZoomRenderer> renderer = m_renderChannels.value(channel))
        renderer->brushDownAtPoint(brush, point);
}

void GMRealTimeRenderer::processPoint(const Point& point)
{
    if (const std::shared_ptr<GMZoomRenderer> renderer = m_renderChannels.value(m_sourceChannel))
        renderer->processPoint(point);
}

void GMRealTimeRenderer::brushUpAtPoint(const Point& point)
{
    if (const std::shared_ptr<GMZoomRenderer> renderer = m_renderChannels.value(m_sourceChannel))
        renderer->brushUpAtPoint(point);
}

bool GMRealTimeRenderer::lastStrokeFoundNothing() const
{
    const std::shared_ptr<GMZoomRenderer> renderer = m_renderChannels.value(m_sourceChannel);
    return renderer && renderer->lastStrokeFoundNothing();
}

void GMRealTimeRenderer::zoomRendererFinishCalculationOfContentContainer(
    GMZoomRenderer* renderer, const OVContentContainerPtr& container, const Rect& rect,
    const std::shared_ptr<OVBrushPathImage>& target)
{
    for (auto it = m_renderChannels.cbegin(); it != m_renderChannels.cend(); ++it) {
        if (it.value().get() == renderer) {
            if (m_delegate)
                m_delegate->realTimeRendererDidCalculateContentContainer(this, container, rect, it.key(),
                                                                         target);
            return;
        }
    }
}

void GMRealTimeRenderer::zoomRendererDidBecomeVisible(GMZoomRenderer* renderer)
{
    if (m_delegate && renderer)
        m_delegate->realTimeRenderChannelDidBecomeVisible(this, renderer->context());
}
