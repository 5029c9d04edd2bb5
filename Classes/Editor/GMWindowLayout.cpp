#include "Classes/Editor/GMWindowLayout.h"

#include "Classes/Editor/GMEffectBrowserController.h"
#include "Classes/Editor/GMEventView.h"
#include "Classes/Editor/GMSettingsController.h"
#include "Classes/Editor/GMSlider.h"
#include "Classes/Editor/GMWindowController.h"
#include "Classes/Editor/OVLayerBrowser.h"
#include "Classes/Editor/OVLoupeView.h"
#include "Classes/Editor/OVSwitch.h"
#include "Classes/Editor/OVTransformedScrollView.h"
#include "Classes/Framework/Toolkit/OV3DView.h"
#include "Classes/Framework/Toolkit/OVActivityPanel.h"
#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Framework/Toolkit/OVImageView.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/UI/Layer.h"
#include "Platform/UI/LayerHostView.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/Transaction.h"
#include "Platform/UI/Window.h"

using pf::Point;
using pf::Rect;
using pf::Size;
using pf::Transaction;

namespace {

// The column of the settings panel at the left, the band of the effect strip at the foot, the zoom
// slider's panel at the right edge: the rest is the canvas's.
constexpr double kSidebarWidth = GMSettingsController::panelWidth - 19;
constexpr double kStripBand = 190;
constexpr double kStripBottom = 10, kStripHeight = 176, kStripEndRoom = 40;
constexpr double kZoomPanelWidth = 40, kZoomPanelHeight = 232, kZoomPanelRoom = 52;
constexpr double kCornerSide = 16;

} // namespace

// The document window: the content view with the canvas's layer browser, the zoom slider's panel at the
// right edge, the 2D/3D switch and the "best" filter at the foot of the left column, the drawing corner
// and the docked loupe. The panels made by their own controllers (the settings panel, the effect strip,
// the activity panel) are placed by the window controller when it sets the window up.
pf::Interface GMWindowLayout::buildInterface(QObject*, const pf::Bundle&)
{
    const double W = windowWidth, H = windowHeight;
    auto* window = new pf::Window(Rect(0, 0, W, H), pf::Window::Titled | pf::Window::Closable |
                                                        pf::Window::Miniaturizable | pf::Window::Resizable);
    window->setMinimumSize(960, 640);
    window->setBackgroundColor(QColor(24, 25, 28));
    auto* content = new GMEventView(Rect(0, 0, W, H));
    window->setContentView(content);

    auto* layers = new OVLayerBrowser(
        Rect(kSidebarWidth, kStripBand, W - kSidebarWidth - kZoomPanelRoom, H - kStripBand));
    layers->setAutoresizingMask(pf::View::WidthSizable | pf::View::HeightSizable);
    content->addSubview(layers);

    // The zoom slider stands upright: the whole picture at its foot, the strongest magnification on top.
    const double canvasMid = kStripBand + (H - kStripBand) / 2;
    auto* zoomPanel = new OVImageView(
        Rect(W - kZoomPanelWidth, canvasMid - kZoomPanelHeight / 2, kZoomPanelWidth, kZoomPanelHeight));
    zoomPanel->setImage(pf::NamedImage::image(QStringLiteral("ZoomSliderPanel")));
    zoomPanel->setAutoresizingMask(pf::View::MinXMargin | pf::View::MinYMargin | pf::View::MaxYMargin);
    auto* zoomSlider = new GMSlider(Rect(13, 40, 14, kZoomPanelHeight - 80));
    zoomPanel->addSubview(zoomSlider);
    // Its end icons are buttons: the magnifier zooms in a step, the picture fits the photo again.
    auto* magnified = new OVButton(Rect(11, kZoomPanelHeight - 32, 18, 18));
    magnified->setImage(pf::NamedImage::image(QStringLiteral("ZoomMagnified")));
    magnified->setToolTip(pf::localized(QStringLiteral("Zoom In")));
    zoomPanel->addSubview(magnified);
    auto* whole = new OVButton(Rect(11, 14, 18, 18));
    whole->setImage(pf::NamedImage::image(QStringLiteral("ZoomWhole")));
    whole->setToolTip(pf::localized(QStringLiteral("Zoom to Fit")));
    zoomPanel->addSubview(whole);
    content->addSubview(zoomPanel);

    auto* switch3D = new OVSwitch(Rect(kSidebarWidth - 52, kStripBand + 14, 30, 60));
    switch3D->setAutoresizingMask(pf::View::MaxYMargin);
    content->addSubview(switch3D);

    auto* best = new OVButton(Rect(22, kStripBand + 20, 72, 24));
    best->setName(QStringLiteral("DefaultStyleActive"));
    best->setTitle(QStringLiteral("Best"));
    best->setToolTip(pf::localized(QStringLiteral("Show only the most used effects")));
    best->setAutoresizingMask(pf::View::MaxYMargin);
    content->addSubview(best);

    auto* corner = new OVImageView(Rect(W - kCornerSide, 0, kCornerSide, kCornerSide));
    corner->setImage(pf::NamedImage::image(QStringLiteral("DrawCorner")));
    corner->setNoHitTesting(true);
    corner->setAutoresizingMask(pf::View::MinXMargin | pf::View::MaxYMargin);
    content->addSubview(corner);

    auto* loupe = new OVLoupeView(Rect(W - 150, H - 150, 120, 120));
    loupe->setAutoresizingMask(pf::View::MinXMargin | pf::View::MinYMargin);
    content->addSubview(loupe);

    // The panels' controllers; the strip spans the window's width.
    auto* settings = new GMSettingsController;
    auto* effects = new GMEffectBrowserController;
    if (pf::View* strip = effects->view())
        strip->setFrameSize(Size(W, strip->frame().height()));
    auto* activity = new OVActivityPanel;

    pf::Interface interface;
    interface.outlets.insert(QStringLiteral("window"), window);
    interface.outlets.insert(QStringLiteral("windowContentView"), content);
    interface.outlets.insert(QStringLiteral("layerBrowser"), layers);
    interface.outlets.insert(QStringLiteral("zoomSliderPanel"), zoomPanel);
    interface.outlets.insert(QStringLiteral("zoomSlider"), zoomSlider);
    interface.outlets.insert(QStringLiteral("zoomInButton"), magnified);
    interface.outlets.insert(QStringLiteral("zoomToFitButton"), whole);
    interface.outlets.insert(QStringLiteral("switch3D"), switch3D);
    interface.outlets.insert(QStringLiteral("bestFilterButton"), best);
    interface.outlets.insert(QStringLiteral("drawCorner"), corner);
    interface.outlets.insert(QStringLiteral("loupe"), loupe);
    interface.outlets.insert(QStringLiteral("settingsController"), settings);
    interface.outlets.insert(QStringLiteral("effectBrowserController"), effects);
    interface.outlets.insert(QStringLiteral("activityPanel"), activity);
    interface.topLevelObjects = {window, settings, effects, activity};
    return interface;
}

GMWindowLayout::GMWindowLayout(GMWindowController& hub) : GMWindowRole(hub) {}

void GMWindowLayout::placeStripAtFoot()
{
    if (!m_hub.m_effectBrowserController)
        return;
    OV3DView* browser = m_hub.m_effectBrowserController->browserView();
    const double width = browser->frame().width();
    // The strip's views are shown by layers of the 3D view: those are placed, keeping their turns.
    const auto place = [browser](pf::View* view, const Rect& frame, unsigned mask) {
        view->setAutoresizingMask(mask);
        const std::shared_ptr<pf::Layer> layer = browser->layerForSubview(view);
        if (!layer) {
            view->setFrame(frame);
            return;
        }
        const Transaction::Scope atOnce(true);
        const pf::Transform3D kept = layer->transform();
        layer->setTransform(pf::Transform3D::identity());
        layer->setFrame(frame);
        layer->setTransform(kept);
    };
    if (OVTransformedScrollView* scroll = m_hub.m_effectBrowserController->effectScrollView())
        place(scroll, Rect(0, kStripBottom, width - kStripEndRoom, kStripHeight),
              pf::View::WidthSizable | pf::View::MaxYMargin);
    if (pf::View* shadow = m_hub.m_effectBrowserController->cutShadow())
        place(shadow, Rect(0, kStripBottom, shadow->frame().width(), kStripHeight),
              pf::View::MaxXMargin | pf::View::MaxYMargin);
}

void GMWindowLayout::orderViews()
{
    GMEventView* content = m_hub.m_windowContentView;
    if (!content || !m_hub.m_window)
        return;
    // The layers of the 3D stack lie over the strip and the canvas, under the panels and controls.
    if (pf::LayerHostView* host = pf::LayerHostView::windowHost(m_hub.m_window)) {
        if (m_hub.m_layerBrowser)
            content->addSubview(host, pf::View::Ordering::Above, m_hub.m_layerBrowser);
    }
    for (pf::View* view : {m_hub.m_zoomSliderPanel.data(), static_cast<pf::View*>(m_hub.m_switch3D.data()),
                           static_cast<pf::View*>(m_hub.m_bestFilterButton.data()),
                           m_hub.m_settingsController ? m_hub.m_settingsController->view() : nullptr,
                           m_hub.m_drawCorner.data(), static_cast<pf::View*>(m_hub.m_loupe.data())})
        if (view && view->superview() == content)
            content->addSubview(view);
    raiseActivityPanel();
}

void GMWindowLayout::raiseActivityPanel()
{
    // "Saving" and "Loading" are told over every panel, the settings panel and its mirror included. The
    // loupe stays the topmost view: it takes the presses at its glass, and it is drawn in its own overlay
    // above the window anyway.
    pf::View* busy = m_hub.m_activityPanel ? m_hub.m_activityPanel->view() : nullptr;
    if (busy && m_hub.m_windowContentView && busy->superview() == m_hub.m_windowContentView)
        m_hub.m_windowContentView->addSubview(busy);
    if (m_hub.m_loupe && m_hub.m_windowContentView && m_hub.m_loupe->superview() == m_hub.m_windowContentView)
        m_hub.m_windowContentView->addSubview(m_hub.m_loupe.data());
}

void GMWindowLayout::setBackgroundRect(const Rect& rect)
{
    m_backgroundRect = rect;
    if (m_hub.m_windowContentView)
        m_hub.m_windowContentView->setBgRect(rect);
    updateLayerBackground();
}

void GMWindowLayout::updateLayerBackground()
{
    if (!m_hub.m_windowContentView)
        return;
    const Size view = m_hub.m_windowContentView->bounds().size;
    const Rect cut = GMEventView::backgroundCut(m_backgroundRect, view, m_backgroundSize);
    const Transaction::Scope atOnce(true);
    if (m_backgroundLayer)
        m_backgroundLayer->setContentsRect(cut);
    if (!m_hub.m_layerBrowser || view.width <= 0 || view.height <= 0)
        return;
    // The perspective layer lies in the window's layer host, whose root has the window's coordinates.
    const auto background = m_hub.m_layerBrowser->backgroundLayer();
    const pf::Layer* root = background.get();
    while (root->superlayer())
        root = root->superlayer();
    const Rect r = background->convertRectToLayer(background->bounds(), root);
    background->setContentsRect(Rect(
        cut.minX() + r.minX() / view.width * cut.width(), cut.minY() + r.minY() / view.height * cut.height(),
        r.width() / view.width * cut.width(), r.height() / view.height * cut.height()));
}

void GMWindowLayout::setUpBackground()
{
    if (m_backgroundLayer && m_hub.m_windowContentView) {
        const Transaction::Scope atOnce(true);
        m_backgroundLayer->setAutoresizingMask(pf::Layer::WidthSizable | pf::Layer::HeightSizable);
        m_backgroundLayer->setAnchorPoint(Point(0.5, 0.5));
        m_backgroundLayer->setFrame(m_hub.m_windowContentView->bounds());
        m_backgroundLayer->setContentsGravity(pf::ContentsGravity::Resize);
    }
    if (m_hub.m_layerBrowser)
        m_hub.m_layerBrowser->backgroundLayer()->setContentsGravity(pf::ContentsGravity::Resize);
    const QImage background = pf::NamedImage::image(GMEventView::backgroundImageName);
    m_backgroundSize = Size(background.width(), background.height());
    setBackgroundRect(Rect(0.1, 0.2, 0.8, 0.8));
}
