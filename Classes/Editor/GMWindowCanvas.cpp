#include "Classes/Editor/GMWindowCanvas.h"

#include "Classes/Editor/GMSlider.h"
#include "Classes/Editor/GMWindowController.h"
#include "Classes/Editor/OVLayerBrowser.h"
#include "Classes/Editor/OVLoupeView.h"
#include "Classes/Editor/OVZoomView.h"
#include "Platform/UI/Event.h"
#include "Platform/UI/Layer.h"
#include "Platform/UI/Timer.h"
#include "Platform/UI/Transaction.h"

#include <algorithm>

using pf::Point;
using pf::Rect;
using pf::Transaction;

namespace {

bool showsLayers3D(const OVLayerBrowser* browser)
{
    return browser && browser->show3DView();
}

} // namespace

GMWindowCanvas::GMWindowCanvas(GMWindowController& hub) : GMWindowRole(hub) {}

void GMWindowCanvas::resetZoom()
{
    m_isFirstZoom = true;
    m_lastZoomRect = Rect(0, 0, 1, 1);
}

void GMWindowCanvas::close()
{
    GMWindowController::stopTimer(m_zoomTimer);
}

void GMWindowCanvas::zoomTo(double value, double settle, std::optional<Point> anchor)
{
    if (!m_hub.m_zoomSlider || !m_hub.m_zoomView || m_hub.m_closed || showsLayers3D(m_hub.m_layerBrowser))
        return;
    value = std::clamp(value, 0.0, 1.0);
    // The canvas first: the point held under the pointer is taken before anything else moves it.
    if (anchor)
        m_hub.m_zoomView->setZoomFactor(value, *anchor, true);
    else
        m_hub.m_zoomView->setZoomFactor(value, false, true);
    m_hub.m_zoomSlider->setValue(value);
    GMWindowController::stopTimer(m_zoomTimer);
    m_zoomTimer = pf::Timer::scheduled(
        settle, false, [this](pf::Timer&) { updateZoomView(); }, &m_hub);
}

void GMWindowCanvas::zoomIn()
{
    if (m_hub.m_zoomSlider)
        zoomTo(m_hub.m_zoomSlider->value() - 0.1, GMWindowController::zoomInSettle);
}

void GMWindowCanvas::zoomOut()
{
    if (m_hub.m_zoomSlider)
        zoomTo(m_hub.m_zoomSlider->value() + 0.1, GMWindowController::zoomOutSettle);
}

void GMWindowCanvas::zoomToFit()
{
    zoomTo(1.0, GMWindowController::zoomOutSettle);
}

void GMWindowCanvas::zoomToActualSize()
{
    if (m_hub.m_zoomView)
        zoomTo(m_hub.m_zoomView->actualSizeZoomFactor(), GMWindowController::zoomInSettle);
}

void GMWindowCanvas::updateZoomView()
{
    GMWindowController::stopTimer(m_zoomTimer);
    if (m_hub.m_zoomView && !m_hub.m_closed)
        m_hub.m_zoomView->setZoomFactor(m_hub.m_zoomView->zoomFactor(), false, false);
}

void GMWindowCanvas::sliderDidChangeValue(GMSlider* slider, double value, bool preview)
{
    if (m_hub.m_closed || slider != m_hub.m_zoomSlider || !m_hub.m_zoomView || !m_hub.m_layerBrowser ||
        m_hub.m_layerBrowser->show3DView())
        return;
    m_hub.m_zoomView->setZoomFactor(value, m_isFirstZoom, preview);
    m_isFirstZoom = !preview;
}

void GMWindowCanvas::contentsRectDidChange(OVZoomView* view, const Rect& rect, bool preview)
{
    if (m_hub.m_closed || !view)
        return;
    if (m_hub.m_layerBrowser)
        m_hub.m_layerBrowser->setLayerFrame(
            view->convertRectToView(view->contentLayer()->frame(), m_hub.m_layerBrowser->layerContainer()));
    m_lastZoomRect = rect;
    if (m_hub.m_layerBrowser && m_hub.m_layerBrowser->show3DView())
        return;
    if (preview)
        m_hub.showPreview(false);
    else
        m_hub.prepareEditing(2);
    if (m_hub.m_zoomSlider)
        m_hub.m_zoomSlider->setValue(view->zoomFactor());
    const Transaction::Scope atOnce(true);
    if (!preview && m_hub.m_layerBrowser)
        for (const auto& layer : m_hub.m_layerBrowser->layers())
            layer->setContentsRect(rect);
    view->zoomLayer()->setContentsRect(m_lastZoomRect);
    if (m_hub.m_loupe && m_hub.m_loupe->drawSenderActive())
        m_hub.m_loupe->updateLoupe();
}

void GMWindowCanvas::canvasDidResize()
{
    if (!m_hub.m_zoomView || !m_hub.m_layerBrowser || m_hub.m_closed)
        return;
    m_hub.m_layerBrowser->setLayerFrame(m_hub.m_zoomView->convertRectToView(
        m_hub.m_zoomView->contentLayer()->frame(), m_hub.m_layerBrowser->layerContainer()));
}

bool GMWindowCanvas::isZoomSettlePending() const
{
    return m_zoomTimer && m_zoomTimer->isValid();
}

bool GMWindowCanvas::zoomWithWheel(const pf::Event& event)
{
    const Point at = m_hub.m_zoomView->convertPointFromView(event.locationInWindow(), nullptr);
    if (!m_hub.m_zoomView->zoomLayer()->frame().contains(at) || event.deltaY() == 0)
        return false;
    const bool precise = event.hasPreciseScrollingDeltas() && event.scrollingDeltaY() != 0;
    const double step = precise ? event.scrollingDeltaY() / 400 : event.deltaY() * 0.1;
    zoomTo(m_hub.m_zoomSlider->value() - step,
           step > 0 ? GMWindowController::zoomInSettle : GMWindowController::zoomOutSettle, at);
    return true;
}
