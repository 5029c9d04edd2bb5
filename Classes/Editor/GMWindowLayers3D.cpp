#include "Classes/Editor/GMWindowLayers3D.h"

#include "Classes/Editor/GMEffectBrowserController.h"
#include "Classes/Editor/GMSettingsController.h"
#include "Classes/Editor/GMWindowController.h"
#include "Classes/Editor/OVLayerBrowser.h"
#include "Classes/Editor/OVLoupeView.h"
#include "Classes/Editor/OVSwitch.h"
#include "Classes/Editor/OVZoomView.h"
#include "Platform/UI/Event.h"
#include "Platform/UI/Layer.h"
#include "Platform/UI/LayerHostView.h"
#include "Platform/UI/Timer.h"
#include "Platform/UI/Transaction.h"
#include "Platform/UI/ViewAnimator.h"
#include "Platform/UI/Window.h"

#include <QPainter>
#include <QPointer>
#include <QWidget>

using pf::Rect;
using pf::Transaction;

namespace {

constexpr double kMirrorFrameRate = 30;

} // namespace

// The settings panel while the layers are shown in 3D: a layer in the window's layer host that draws the
// panel as it looks now (the panel itself is hidden), so that it can shrink and rise with the switch.
class GMWindowLayers3D::PanelMirror : public pf::Layer
{
public:
    explicit PanelMirror(pf::View* panel) : m_panel(panel) {}

    bool drawsContent() const override { return true; }
    void drawInContext(QPainter& painter) override
    {
        if (!m_panel)
            return;
        const Rect b = bounds();
        painter.save();
        painter.translate(b.minX(), b.maxY());
        painter.scale(1, -1); // the panel draws in widget coordinates
        m_panel->render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
        painter.restore();
    }
    pf::View* panel() const { return m_panel; }
    std::shared_ptr<pf::Timer> refresh;

private:
    QPointer<pf::View> m_panel;
};

GMWindowLayers3D::GMWindowLayers3D(GMWindowController& hub) : GMWindowRole(hub) {}

GMWindowLayers3D::~GMWindowLayers3D() = default;

void GMWindowLayers3D::switchDidChangeState(bool state)
{
    if (m_hub.m_layerBrowser && !m_hub.m_closed)
        m_hub.m_layerBrowser->setShow3DView(state);
}

void GMWindowLayers3D::toggle()
{
    if (!m_hub.m_switch3D || !m_hub.m_layerBrowser || m_hub.m_closed)
        return;
    const bool to3D = !m_hub.m_layerBrowser->show3DView();
    m_hub.m_switch3D->setState(to3D);
    switchDidChangeState(to3D);
}

void GMWindowLayers3D::willSwitchTo3DView()
{
    if (m_hub.m_closed)
        return;
    m_towards3D = true;
    if (m_hub.m_loupe)
        m_hub.m_loupe->setLoupeState(0);
    const double duration = beginSwitchAnimation();
    {
        const Transaction::Scope atOnce(true);
        if (m_hub.m_zoomView)
            m_hub.m_zoomView->hide();
        if (m_hub.viewMode() != GMWindowController::Layers3D)
            m_hub.fillLayerBrowser3D();
        m_hub.m_previews->setViewMode(GMWindowController::Layers3D);
    }
    if (m_hub.m_effectBrowserController)
        m_hub.m_effectBrowserController->setIncreased3DEffect(true);
    m_hub.setBackgroundRect(Rect(0, 0, 1, 1));
    // The settings panel shrinks to four fifths towards its top edge, which stays where it is (rising
    // further would cut its title off at the window's top); the zoom slider's panel leaves by the right
    // edge.
    startPanelMirror();
    if (m_panelMirror) {
        const double h = m_panelMirror->bounds().height();
        m_panelMirror->setTransform(pf::Transform3D::translation(0, 0.125 * h, 0).scaled(0.8, 0.8, 1.0));
    }
    if (m_hub.m_zoomSliderPanel) {
        const Rect frame = m_hub.m_zoomSliderPanel->frame();
        pf::ViewAnimator::runGroup(duration, [&] {
            pf::ViewAnimator::animateFrame(m_hub.m_zoomSliderPanel, frame.offsetBy(frame.width(), 0));
        });
    }
    commitSwitchAnimation(true, Rect(0, 0, 1, 1));
}

void GMWindowLayers3D::willSwitchTo2DView()
{
    if (m_hub.m_closed)
        return;
    m_towards3D = false;
    const double duration = beginSwitchAnimation();
    if (m_hub.m_effectBrowserController)
        m_hub.m_effectBrowserController->setIncreased3DEffect(false);
    if (m_panelMirror)
        m_panelMirror->setTransform(pf::Transform3D::identity());
    m_hub.setBackgroundRect(Rect(0.1, 0.2, 0.8, 0.8));
    if (m_hub.m_zoomSliderPanel && m_hub.m_windowContentView) {
        // Back to its place at the right edge, wherever the window's size has put that meanwhile.
        const Rect frame = m_hub.m_zoomSliderPanel->frame();
        const double x = m_hub.m_windowContentView->bounds().width() - frame.width();
        pf::ViewAnimator::runGroup(duration, [&] {
            pf::ViewAnimator::animateFrame(m_hub.m_zoomSliderPanel,
                                           Rect(x, frame.minY(), frame.width(), frame.height()));
        });
    }
    commitSwitchAnimation(false, m_hub.m_canvas->lastZoomRect());
}

double GMWindowLayers3D::beginSwitchAnimation()
{
    const double duration = pf::Event::currentModifierFlags() & pf::Modifier::Shift
                                ? OVLayerBrowser::kSlowSwitchDuration
                                : OVLayerBrowser::kSwitchDuration;
    Transaction::begin();
    Transaction::setAnimationDuration(duration);
    return duration;
}

void GMWindowLayers3D::commitSwitchAnimation(bool to3D, const Rect& cardContents)
{
    if (m_hub.m_layerBrowser)
        for (const auto& layer : m_hub.m_layerBrowser->layers())
            layer->setContentsRect(cardContents);
    if (m_hub.m_switch3D)
        m_hub.m_switch3D->setState(to3D, true);
    m_hub.updateSettingsView();
    Transaction::commit();
}

void GMWindowLayers3D::didSwitchTo2DView()
{
    if (m_hub.m_closed)
        return;
    endPanelMirror();
    if (m_hub.m_loupe)
        m_hub.m_loupe->setLoupeState(1);
    if (m_hub.m_zoomView)
        m_hub.m_zoomView->show();
    m_hub.showPreview(true);
    m_hub.prepareEditing(1);
}

void GMWindowLayers3D::startPanelMirror()
{
    if (m_panelMirror || !m_hub.m_settingsController || !m_hub.m_window)
        return;
    pf::View* panel = m_hub.m_settingsController->view();
    pf::LayerHostView* host = pf::LayerHostView::windowHost(m_hub.m_window);
    if (!panel || !host || !panel->isVisible())
        return;
    auto mirror = std::make_shared<PanelMirror>(panel);
    {
        const Transaction::Scope atOnce(true);
        mirror->setFrame(panel->convertRectToView(panel->bounds(), nullptr));
        host->layer()->addSublayer(mirror);
        mirror->setNeedsDisplay();
    }
    // The host lies above the canvas: the mirror is drawn over the fanned layers.
    if (m_hub.m_windowContentView)
        m_hub.m_windowContentView->addSubview(host, pf::View::Ordering::Above, panel);
    m_hub.m_layout->raiseActivityPanel();
    panel->hide();
    // The panel's own fades run while it is hidden: the mirror follows them.
    mirror->refresh = pf::Timer::scheduled(
        1.0 / kMirrorFrameRate, true,
        [weak = std::weak_ptr<PanelMirror>(mirror)](pf::Timer&) {
            if (auto layer = weak.lock())
                layer->setNeedsDisplay();
        },
        &m_hub);
    m_panelMirror = mirror;
}

void GMWindowLayers3D::endPanelMirror()
{
    if (!m_panelMirror)
        return;
    const std::shared_ptr<PanelMirror> mirror = std::move(m_panelMirror);
    GMWindowController::stopTimer(mirror->refresh);
    {
        const Transaction::Scope atOnce(true);
        mirror->removeFromSuperlayer();
    }
    if (pf::View* panel = mirror->panel())
        panel->show();
    if (!m_hub.m_closed)
        m_hub.m_layout->orderViews();
}
