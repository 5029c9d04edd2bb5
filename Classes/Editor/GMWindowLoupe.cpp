#include "Classes/Editor/GMWindowLoupe.h"

#include "Classes/Editor/GMWindowController.h"
#include "Classes/Editor/GMWindowPreviews.h"
#include "Classes/Editor/HostedViewGeometry.h"
#include "Classes/Editor/OVLoupeView.h"
#include "Classes/Editor/OVZoomView.h"
#include "Classes/Framework/Toolkit/OVCursorStack.h"
#include "Classes/Rendering/GMRealTimeRenderer.h"
#include "Classes/ToolObjects/PhotoToolChain.h"
#include "Platform/UI/Layer.h"

using pf::Point;
using pf::Rect;

const QString GMWindowLoupe::cursorKey = QStringLiteral("GMLoupe");

GMWindowLoupe::GMWindowLoupe(GMWindowController& hub) : GMWindowRole(hub) {}

void GMWindowLoupe::close()
{
    m_loupeStrokeHint.reset();
}

Rect GMWindowLoupe::activeRect(OVLoupeView* loupe)
{
    if (!m_hub.m_zoomView || !loupe || !loupe->superview())
        return Rect();
    // The canvas is shown by a layer of the layer browser's container (it is in no window of its own):
    // its picture is reached through the view that hosts it.
    pf::View* enclosing = HostedViewGeometry::enclosingView(m_hub.m_zoomView);
    if (!enclosing)
        return Rect();
    const Rect frame = m_hub.m_zoomView->zoomLayer()->frame();
    const Point from = HostedViewGeometry::toEnclosing(m_hub.m_zoomView, frame.origin);
    const Point to = HostedViewGeometry::toEnclosing(m_hub.m_zoomView, Point(frame.maxX(), frame.maxY()));
    return enclosing->convertRectToView(Rect(from.x, from.y, to.x - from.x, to.y - from.y),
                                        loupe->superview());
}

Rect GMWindowLoupe::editRect() const
{
    return m_hub.m_zoomView ? m_hub.m_zoomView->editRect() : Rect();
}

void GMWindowLoupe::beginGesture(const pf::Event& event)
{
    passToCanvas(&OVZoomView::beginGestureWithEvent, event);
}

void GMWindowLoupe::endGesture(const pf::Event& event)
{
    passToCanvas(&OVZoomView::endGestureWithEvent, event);
}

void GMWindowLoupe::magnify(const pf::Event& event)
{
    passToCanvas(&OVZoomView::magnifyWithEvent, event);
}

void GMWindowLoupe::scrollWheel(const pf::Event& event)
{
    passToCanvas(&OVZoomView::scrollWheel, event);
}

void GMWindowLoupe::passToCanvas(void (OVZoomView::*handler)(const pf::Event&), const pf::Event& event)
{
    if (m_hub.m_zoomView)
        (m_hub.m_zoomView->*handler)(event);
}

void GMWindowLoupe::activated(OVLoupeView* loupe)
{
    if (m_hub.m_closed || !loupe)
        return;
    if (m_hub.m_zoomView)
        m_hub.m_zoomView->setDrawSenderActive(false);
    loupe->setDrawSenderActive(true);
    if (m_hub.m_editRenderer)
        m_hub.m_editRenderer->activateChannel(GMWindowPreviews::loupeChannel,
                                              loupe->zoomLayer()->contentsRect());
}

void GMWindowLoupe::deactivated(OVLoupeView* loupe)
{
    m_loupeStrokeHint.reset();
    if (m_hub.m_zoomView)
        m_hub.m_zoomView->setDrawSenderActive(true);
    if (loupe)
        loupe->setDrawSenderActive(false);
    if (m_hub.m_editRenderer && !m_hub.m_closed)
        m_hub.m_editRenderer->deactivateRenderChannel(GMWindowPreviews::loupeChannel);
    if (loupe)
        OVCursorStack::popCursorForKey(cursorKey, loupe->window());
}

void GMWindowLoupe::canvasDidRefuseStroke(OVZoomView* view, pf::Point inWindow)
{
    // Strokes go to the loupe's glass while it lies on the photo; the background takes none anyway.
    if (m_hub.m_closed || !m_hub.m_loupe || !m_hub.m_loupe->drawSenderActive() || !m_hub.m_toolChain ||
        m_hub.m_toolChain->selectionIndex() <= 0)
        return;
    m_loupeStrokeHint.strokeRefused(view, inWindow);
}
