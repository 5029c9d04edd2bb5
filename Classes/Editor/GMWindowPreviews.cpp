#include "Classes/Editor/GMWindowPreviews.h"

#include "Classes/Editor/GMWindowController.h"
#include "Classes/Editor/OVLayerBrowser.h"
#include "Classes/Editor/OVLoupeView.h"
#include "Classes/Editor/OVZoomView.h"
#include "Classes/Rendering/GMRealTimeRenderer.h"
#include "Classes/ToolObjects/OVRenderCache.h"
#include "Classes/ToolObjects/PhotoToolChain.h"
#include "Platform/Foundation/MainThread.h"
#include "Platform/Foundation/SerialQueue.h"
#include "Platform/Image/RenderContext.h"
#include "Platform/UI/Event.h"
#include "Platform/UI/Layer.h"
#include "Platform/UI/Timer.h"
#include "Platform/UI/Transaction.h"

#include <QPointer>
#include <algorithm>
#include <mutex>

using pf::Transaction;

const QString GMWindowPreviews::standardChannel = QStringLiteral("standard");
const QString GMWindowPreviews::loupeChannel = QStringLiteral("loupe");

// The previews asked for, shared with the queue that composes them: the queue takes the newest request
// when its turn comes, so requests made while one composes are composed once.
struct GMWindowPreviews::Requests
{
    std::mutex mutex;
    int index = 0;
    quint64 generation = 0;
    bool queued = false;
};

QImage GMWindowPreviews::pictureOf(const pf::Image& image)
{
    if (image.isNull() || image.extent().isEmpty() || image.extent().isInfinite())
        return QImage();
    return pf::RenderContext::shared()->renderToQImage(image, image.extent());
}

GMWindowPreviews::GMWindowPreviews(GMWindowController& hub)
    : GMWindowRole(hub),
      m_previewQueue(std::make_unique<pf::SerialQueue>(QStringLiteral("preview composition"))),
      m_previewRequests(std::make_shared<Requests>())
{}

GMWindowPreviews::~GMWindowPreviews()
{
    shutDown();
}

void GMWindowPreviews::shutDown()
{
    m_alive.reset();
    m_previewQueue.reset();
}

bool GMWindowPreviews::isEditSwitchPending() const
{
    return m_editSwitchTimer && m_editSwitchTimer->isValid();
}

void GMWindowPreviews::dropEditing()
{
    GMWindowController::stopTimer(m_editSwitchTimer);
    ++m_previewGeneration;
    m_previewPending = false;
    m_deactivateWithPreview = false;
}

void GMWindowPreviews::close()
{
    GMWindowController::stopTimer(m_editSwitchTimer);
    ++m_previewGeneration;
    m_previewPending = false;
}

void GMWindowPreviews::showPreview(bool force)
{
    const auto chain = m_hub.toolChain();
    if (m_hub.m_closed || !chain || (!force && m_viewMode == GMWindowController::Preview))
        return;
    if (!m_hub.isIn2D())
        return;
    m_viewMode = GMWindowController::Preview;
    if (OVZoomView* zoom = m_hub.zoomView()) {
        const Transaction::Scope atOnce(true);
        zoom->zoomLayer()->setOpacity(1.0);
    }
    OVLoupeView* loupe = m_hub.loupe();
    if (loupe && loupe->loupeState() == 5)
        loupe->setLoupeState(4);
    // The live picture stays until the preview that replaces it is there.
    m_deactivateWithPreview = true;
    requestPreview(chain->selectionIndex());
}

void GMWindowPreviews::requestPreview(int index)
{
    const quint64 generation = ++m_previewGeneration;
    m_previewPending = true;
    bool submit = false;
    {
        std::lock_guard lock(m_previewRequests->mutex);
        m_previewRequests->index = index;
        m_previewRequests->generation = generation;
        submit = !m_previewRequests->queued;
        m_previewRequests->queued = true;
    }
    if (!submit)
        return;
    m_previewQueue->async([requests = m_previewRequests, cache = m_hub.m_previewRenderer,
                           alive = std::weak_ptr<int>(m_alive), hub = QPointer<GMWindowController>(&m_hub),
                           self = this] {
        int wanted = 0;
        quint64 generation = 0;
        {
            std::lock_guard lock(requests->mutex);
            wanted = requests->index;
            generation = requests->generation;
            requests->queued = false;
        }
        // A stack changed meanwhile gives no picture: the change asks for another.
        const QImage picture = pictureOf(cache->composedImageToIndex(wanted));
        pf::runOnMain([alive, hub, self, generation, picture] {
            if (alive.lock() && hub)
                self->deliverPreview(generation, picture);
        });
    });
}

void GMWindowPreviews::deliverPreview(quint64 generation, const QImage& picture)
{
    if (m_hub.m_closed || generation != m_previewGeneration)
        return;
    m_previewPending = false;
    if (picture.isNull())
        return;
    {
        const Transaction::Scope atOnce(true);
        if (OVZoomView* zoom = m_hub.zoomView())
            zoom->zoomLayer()->setContents(picture);
        if (OVLoupeView* loupe = m_hub.loupe())
            loupe->zoomLayer()->setContents(picture);
    }
    ++m_previewsShown;
    if (m_deactivateWithPreview) {
        m_deactivateWithPreview = false;
        if (GMRealTimeRenderer* renderer = m_hub.editRenderer())
            renderer->deactivateRenderChannel(standardChannel);
    }
}

void GMWindowPreviews::fillLayerBrowser3D()
{
    if (m_viewMode == GMWindowController::Layers3D || !m_hub.toolChain())
        return;
    m_viewMode = GMWindowController::Layers3D;
    refreshCards(0);
    m_deactivateWithPreview = false;
    if (GMRealTimeRenderer* renderer = m_hub.editRenderer())
        renderer->deactivateRenderChannel(standardChannel);
    if (OVZoomView* zoom = m_hub.zoomView()) {
        const Transaction::Scope atOnce(true);
        zoom->zoomLayer()->setOpacity(0.0);
    }
}

void GMWindowPreviews::refreshCards(int from)
{
    OVLayerBrowser* browser = m_hub.layerBrowser();
    OVRenderCache* cache = m_hub.previewRenderer();
    const auto chain = m_hub.toolChain();
    if (!browser || !cache || !chain)
        return;
    // Each layer's content is made from the stack below it: a change reaches every card above.
    const auto& layers = browser->layers();
    const int count = std::min(int(layers.size()), chain->numberOfTools());
    for (int i = std::max(0, from); i < count; ++i)
        layers[size_t(i)]->setContents(pictureOf(cache->contentImageForIndex(i)));
}

void GMWindowPreviews::prepareEditing(int kind)
{
    if (m_hub.m_closed)
        return;
    if (kind == 0) {
        prepareEditingTimed();
        return;
    }
    // A settled zoom or scroll waits for the next; a change of the stack goes first.
    if (isEditSwitchPending() && m_editSwitchTimerLong)
        GMWindowController::stopTimer(m_editSwitchTimer);
    if (isEditSwitchPending())
        return;
    const bool shift = pf::Event::currentModifierFlags() & pf::Modifier::Shift;
    const double interval = shift ? 5.0 : (kind == 2 ? 0.5 : 0.0);
    m_editSwitchTimerLong = kind == 2;
    m_editSwitchTimer = pf::Timer::scheduled(
        interval, false, [this](pf::Timer&) { prepareEditingTimed(); }, &m_hub);
}

void GMWindowPreviews::prepareEditingTimed()
{
    GMWindowController::stopTimer(m_editSwitchTimer);
    GMRealTimeRenderer* renderer = m_hub.editRenderer();
    OVZoomView* zoom = m_hub.zoomView();
    if (m_hub.m_closed || !m_hub.isIn2D() || !renderer || !zoom)
        return;
    m_deactivateWithPreview = false;
    renderer->activateChannel(standardChannel, zoom->zoomLayer()->contentsRect());
}

void GMWindowPreviews::activateCanvasChannel()
{
    GMWindowController::stopTimer(m_editSwitchTimer);
    m_deactivateWithPreview = false;
    m_hub.editRenderer()->activateChannel(standardChannel, m_hub.zoomView()->zoomLayer()->contentsRect());
}

void GMWindowPreviews::channelDidBecomeVisible(const QString& channel)
{
    if (m_hub.m_closed)
        return;
    if (channel == standardChannel) {
        // A picture of a channel about to give way to the preview does not make the window live.
        if (!m_deactivateWithPreview)
            m_viewMode = GMWindowController::Live;
    } else if (channel == loupeChannel && m_hub.loupe()) {
        m_hub.loupe()->setLoupeState(5);
    }
}
