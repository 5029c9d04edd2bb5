#include "Classes/Editor/GMWindowPainting.h"

#include "Classes/Editor/GMSettingsController.h"
#include "Classes/Editor/GMWindowController.h"
#include "Classes/Editor/GMWindowLoupe.h"
#include "Classes/Editor/GMWindowPreviews.h"
#include "Classes/Editor/OVLayerBrowser.h"
#include "Classes/Editor/OVLoupeView.h"
#include "Classes/Editor/OVZoomView.h"
#include "Classes/Framework/Toolkit/OVCursorStack.h"
#include "Classes/Rendering/GMRealTimeRenderer.h"
#include "Classes/ToolObjects/OVBrushFramework/OVBrushPathImage.h"
#include "Classes/ToolObjects/OVBrushFramework/OVContentContainer.h"
#include "Classes/ToolObjects/PhotoToolChain.h"
#include "Platform/UI/Alert.h"
#include "Platform/UI/Event.h"

#include <algorithm>
#include <cmath>

using pf::Point;
using pf::Rect;

const QString GMWindowPainting::canvasCursorKey = QStringLiteral("GMZoomView");

namespace {

Point validateLocation(Point p)
{
    return Point(std::clamp(p.x, 0.0, 1.0), std::clamp(p.y, 0.0, 1.0));
}

} // namespace

GMWindowPainting::GMWindowPainting(GMWindowController& hub) : GMWindowRole(hub) {}

void GMWindowPainting::brushDown(OVDrawSender* sender, Point point)
{
    if (m_hub.m_closed || m_strokeRunning || !m_hub.m_toolChain || !m_hub.m_editRenderer ||
        !m_hub.m_settingsController)
        return;
    // The background takes no strokes.
    if (!m_hub.m_layerBrowser || m_hub.m_layerBrowser->selectionIndex() <= 0)
        return;
    if (m_hub.m_zoomView)
        m_hub.m_zoomView->setBlockScrolling(true);
    OVBrush brush = m_hub.m_settingsController->brush();
    const double s = brush.size;
    brush.size = s * s * m_hub.drawingArea().size.width * 0.6 + 1;
    const bool fromLoupe = m_hub.m_loupe && sender == static_cast<OVDrawSender*>(m_hub.m_loupe.data());
    // A stroke on the canvas needs its channel live with the rectangle shown now: after a zoom the
    // channel may still map the rectangle before it, or none at all.
    if (!fromLoupe && m_hub.viewMode() != GMWindowController::Live && m_hub.m_zoomView && m_hub.isIn2D())
        m_hub.m_previews->activateCanvasChannel();
    m_strokeRunning = true;
    m_hub.m_editRenderer->brushDownAtPoint(brush, validateLocation(point),
                                           fromLoupe ? GMWindowPreviews::loupeChannel
                                                     : GMWindowPreviews::standardChannel);
}

void GMWindowPainting::brushDragged(Point point)
{
    // Drags belong to the stroke that runs, whatever became selected meanwhile.
    if (!m_strokeRunning || !m_hub.m_editRenderer)
        return;
    m_hub.m_editRenderer->processPoint(validateLocation(point));
}

void GMWindowPainting::brushUp(Point point)
{
    if (!m_strokeRunning || !m_hub.m_editRenderer)
        return;
    m_strokeRunning = false;
    if (m_hub.m_zoomView)
        m_hub.m_zoomView->setBlockScrolling(false);
    m_hub.m_editRenderer->brushUpAtPoint(validateLocation(point));
    // A click of an eye tool where no iris stands out paints nothing and leaves no step to undo; the
    // user is told why the click did nothing.
    if (m_hub.m_editRenderer->lastStrokeFoundNothing()) {
        pf::Alert alert;
        alert.style = pf::Alert::Style::Informational;
        alert.messageText = QStringLiteral("No iris found here");
        alert.informativeText = QStringLiteral("Click on the iris of an open eye.");
        alert.beginSheetModal(m_hub.window(), [](int) {});
    }
}

void GMWindowPainting::rendererDidCalculateStroke(const OVContentContainerPtr& container, const Rect& rect,
                                                  const std::shared_ptr<OVBrushPathImage>& target)
{
    // The stroke belongs to the mask it was painted on; a layer removed meanwhile takes nothing.
    if (m_hub.m_closed || !m_hub.m_toolChain || !target || !container ||
        m_hub.m_toolChain->indexForBrushPathImage(target.get()) <= 0)
        return;
    target->addContentContainerWithRect(container, rect);
}

void GMWindowPainting::hideDrawLayer(bool hide)
{
    if (m_hub.m_editRenderer && !m_hub.m_closed)
        m_hub.m_editRenderer->hideDrawLayer(hide);
}

void GMWindowPainting::setDrawCursor(const std::optional<QCursor>& cursor)
{
    m_drawCursor = cursor;
    if (m_hub.m_zoomView)
        OVCursorStack::replaceCursor(drawCursor(), canvasCursorKey, m_hub.m_zoomView->window());
    if (m_hub.m_loupe)
        OVCursorStack::replaceCursor(drawCursor(), GMWindowLoupe::cursorKey, m_hub.m_loupe->window());
}

void GMWindowPainting::loupeCursorStateDidChange(OVLoupeView* loupe, int state)
{
    if (!loupe)
        return;
    if (state == 0)
        OVCursorStack::popCursorForKey(GMWindowLoupe::cursorKey, loupe->window());
    else if (state == 1)
        OVCursorStack::pushCursor(drawCursor(), GMWindowLoupe::cursorKey, loupe->window());
    else if (state == 2)
        OVCursorStack::pushCursor(QCursor(Qt::OpenHandCursor), GMWindowLoupe::cursorKey, loupe->window());
}

void GMWindowPainting::canvasCursorStateDidChange(OVZoomView* view, int state)
{
    if (!view)
        return;
    if (state == 0)
        OVCursorStack::popCursorForKey(canvasCursorKey, view->window());
    else if (state == 1)
        OVCursorStack::pushCursor(drawCursor(), canvasCursorKey, view->window());
}

bool GMWindowPainting::sizeBrushWithWheel(const pf::Event& event)
{
    const bool onLoupe = m_hub.m_loupe && m_hub.m_loupe->drawSenderActive();
    const bool overSender = onLoupe ? m_hub.m_loupe->cursorState() == 1
                                    : (m_hub.m_zoomView && m_hub.m_zoomView->cursorState() == 1);
    if (!overSender)
        return false;
    const double dx = event.deltaX(), dy = event.deltaY();
    if (dx == 0 && dy == 0)
        return false;
    if (std::abs(dx) <= std::abs(dy))
        m_hub.m_settingsController->setBrushSizeDelta(dy / 60);
    else
        m_hub.m_settingsController->setBrushSmoothnessDelta(dx / 60);
    return true;
}
