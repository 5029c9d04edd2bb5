#include "Classes/Framework/Toolkit/OVToolTipController.h"

#include "Classes/Framework/StringORVExtension.h"
#include "Classes/Framework/Toolkit/OVToolkitInterfaces.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UI/Timer.h"
#include "Platform/UI/View.h"

#include <algorithm>

namespace {

// The label shows rich text: the bold spans of the marked-up text, everything else escaped.
QString richText(const QString& markedUp)
{
    const ORVExtension::AttributedString attributed = ORVExtension::atrributedStringWithAtributes(markedUp);
    QString html;
    for (const QTextLayout::FormatRange& range : attributed.formats) {
        const QString span = attributed.text.mid(range.start, range.length).toHtmlEscaped();
        html += range.format.fontWeight() >= QFont::Bold ? QStringLiteral("<b>%1</b>").arg(span) : span;
    }
    return html;
}

} // namespace

OVToolTipController::OVToolTipController()
{
    OVToolkitInterfaces::registerInterfaces();
}

OVToolTipController::~OVToolTipController()
{
    if (m_timeOut)
        m_timeOut->invalidate();
}

OVToolTipController& OVToolTipController::sharedController()
{
    // Made once and kept for the life of the process.
    static OVToolTipController* shared = new OVToolTipController();
    return *shared;
}

void OVToolTipController::windowDidLoad()
{
    OVWindowController::windowDidLoad();
    const pf::Size window = this->window()->frame().size;
    const QSize label = toolTipLabel() ? toolTipLabel()->size() : QSize();
    m_extraSize = pf::Size(window.width - label.width(), window.height - label.height());
}

bool OVToolTipController::isShowing() const
{
    pf::Window* tip = loadedWindow();
    return tip && tip->parentWindow() && tip->isVisible();
}

void OVToolTipController::showTooltip(const QString& text, pf::Point point, pf::View* view,
                                      Placement placement)
{
    pf::Window* tip = window();
    if (tip && tip->parentWindow())
        hideForView(m_focusView);
    if (!tip || text.isEmpty() || !view || !view->window() || !view->window()->isVisible() || !toolTipLabel())
        return;
    m_focusPoint = point;
    m_placement = placement;
    if (m_timeOut)
        m_timeOut->invalidate();
    m_timeOut = pf::Timer::scheduled(
        hideDelay, false, [this](pf::Timer&) { hideForView(m_focusView); }, this);
    m_focusView = view;
    toolTipLabel()->setText(richText(text));
    updateWindowFrame();
    m_focusWindowObserver = pf::NotificationCenter::defaultCenter().addObserver(
        pf::Window::willCloseNotification, view->window(),
        [this](const pf::Notification& notification) { windowWillClose(notification); });
}

void OVToolTipController::updateWindowFrame()
{
    pf::Window* tip = window();
    pf::Window* owner = m_focusView ? m_focusView->window() : nullptr;
    if (!tip || !owner)
        return;
    QLabel* label = toolTipLabel();
    label->adjustSize();
    const double width = label->width() + m_extraSize.width;
    const double height = label->height() + m_extraSize.height;
    // The top left at the point: the tooltip hangs below and to the right of it, inside the owner (or
    // stands above it, its bottom left at the point).
    const pf::Point corner = owner->convertPointToScreen(m_focusPoint);
    const pf::Rect bounds = owner->frame();
    const double x = std::max(bounds.minX(), std::min(bounds.maxX() - width, corner.x));
    const double bottom = m_placement == Placement::Above ? corner.y : corner.y - height;
    const double y = std::max(bounds.minY(), std::min(bounds.maxY() - height, bottom));
    if (tip->parentWindow() != owner) {
        tip->setFrame(pf::Rect(x, y, width, height));
        owner->addChildWindow(tip);
    }
    tip->setFrame(pf::Rect(x, y, width, height));
    tip->orderFront();
}

void OVToolTipController::hideForView(const pf::View* view)
{
    if (m_hiding || !view || view != m_focusView)
        return;
    m_hiding = true;
    if (m_timeOut) {
        m_timeOut->invalidate();
        m_timeOut.reset();
    }
    m_focusWindowObserver.reset();
    if (const QPointer<pf::Window> tip = loadedWindow()) {
        // Closed before it is detached, so that it never shows as a window of its own. Its observers
        // may delete it, or its owner, meanwhile.
        tip->close();
        if (tip)
            if (pf::Window* owner = tip->parentWindow())
                owner->removeChildWindow(tip);
    }
    m_hiding = false;
}

void OVToolTipController::windowWillClose(const pf::Notification&)
{
    // Closing the explained view's window, or the tooltip itself, hides the tooltip; no windowDidClose.
    m_focusWindowObserver.reset();
    hideForView(m_focusView);
}
