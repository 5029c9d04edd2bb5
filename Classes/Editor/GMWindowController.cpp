#include "Classes/Editor/GMWindowController.h"

#include "Classes/Editor/GMEffectBrowserController.h"
#include "Classes/Editor/GMEventView.h"
#include "Classes/Editor/GMSettingsController.h"
#include "Classes/Editor/GMSlider.h"
#include "Classes/Editor/GMWindowCanvas.h"
#include "Classes/Editor/GMWindowEffects.h"
#include "Classes/Editor/GMWindowLayers3D.h"
#include "Classes/Editor/GMWindowLayout.h"
#include "Classes/Editor/GMWindowLoupe.h"
#include "Classes/Editor/GMWindowPainting.h"
#include "Classes/Editor/GMWindowPreviews.h"
#include "Classes/Editor/OVFrameLayer.h"
#include "Classes/Editor/OVKeyboardWatcher.h"
#include "Classes/Editor/OVLayerBrowser.h"
#include "Classes/Editor/OVLoupeView.h"
#include "Classes/Editor/OVSwitch.h"
#include "Classes/Editor/OVZoomView.h"
#include "Classes/Framework/Toolkit/OVActivityPanel.h"
#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Rendering/GMRealTimeRenderer.h"
#include "Classes/ToolObjects/GMBlueprintCatalog.h"
#include "Classes/ToolObjects/OVRenderCache.h"
#include "Classes/ToolObjects/PhotoToolChain.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Foundation/UndoManager.h"
#include "Platform/UI/Document.h"
#include "Platform/UI/Event.h"
#include "Platform/UI/InterfaceRegistry.h"
#include "Platform/UI/Layer.h"
#include "Platform/UI/Timer.h"
#include "Platform/UI/Transaction.h"
#include "Platform/UI/Window.h"

#include <QAction>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWindowStateChangeEvent>
#include <algorithm>

using pf::Point;
using pf::Rect;
using pf::Size;
using pf::Transaction;

const QString GMWindowController::interfaceName = QStringLiteral("GMDocument");

namespace {

QAction* addWindowAction(pf::Window* window, const QString& text, const QList<QKeySequence>& keys,
                         std::function<void()> run, QObject* context)
{
    auto* action = new QAction(pf::localized(text, QStringLiteral("Menu")), window);
    action->setObjectName(text);
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(action, &QAction::triggered, context, [run = std::move(run)] { run(); });
    window->addAction(action);
    return action;
}

} // namespace

GMWindowController::GMWindowController()
    : m_layout(std::make_unique<GMWindowLayout>(*this)), m_canvas(std::make_unique<GMWindowCanvas>(*this)),
      m_previews(std::make_unique<GMWindowPreviews>(*this)),
      m_layers3D(std::make_unique<GMWindowLayers3D>(*this)),
      m_loupeRole(std::make_unique<GMWindowLoupe>(*this)),
      m_painting(std::make_unique<GMWindowPainting>(*this)),
      m_effects(std::make_unique<GMWindowEffects>(*this))
{
    if (!pf::InterfaceRegistry::hasInterface(interfaceName))
        registerInterface();
}

GMWindowController::~GMWindowController()
{
    cleanUp();
    // A composition under way finishes first; what it sends back finds nobody.
    m_previews->shutDown();
    m_editRenderer.reset();
    if (m_toolChain && m_toolChain->delegate() == this)
        m_toolChain->setDelegate(nullptr);
    m_keyboardWatcher.reset();
    if (m_window) {
        // The window may be closing in an event of its own: it goes after that event, taking its views
        // and the panels' controllers with it.
        m_window->hide();
        m_window->deleteLater();
    }
}

void GMWindowController::registerInterface()
{
    pf::InterfaceRegistry::registerInterface(interfaceName, GMWindowLayout::buildInterface);
}

GMBlueprintCatalog& GMWindowController::blueprintCatalog() const
{
    return m_catalog ? *m_catalog : GMBlueprintCatalog::sharedInstance();
}

// Set-up -------------------------------------------------------------------------------------------------

void GMWindowController::setDocument(std::weak_ptr<pf::Document> document)
{
    m_document = std::move(document);
    if (m_keyboardWatcher) {
        m_keyboardWatcher->removeAllKeyboardWatchers();
        m_keyboardWatcher.reset();
    }
    if (!m_document.expired())
        m_keyboardWatcher = std::make_unique<OVKeyboardWatcher>(m_document);
}

bool GMWindowController::loadWindow()
{
    const std::optional<pf::Interface> interface =
        pf::InterfaceRegistry::load(interfaceName, this, pf::Bundle::main());
    if (!interface) {
        pf::warning(QStringLiteral("There is no interface named %1").arg(interfaceName));
        return false;
    }
    takeOutlets(*interface);
    if (!m_window || !m_windowContentView)
        return false;
    // Fitted to the screen and centred.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        const QSize size(std::min(int(GMWindowLayout::windowWidth), available.width() - 40),
                         std::min(int(GMWindowLayout::windowHeight), available.height() - 60));
        m_window->resize(size.expandedTo(m_window->minimumSize()));
        m_window->move(available.center() - QPoint(m_window->width() / 2, m_window->height() / 2));
    }
    awakeFromNib();
    return true;
}

void GMWindowController::takeOutlets(const pf::Interface& interface)
{
    m_window = interface.outlet<pf::Window>(QStringLiteral("window"));
    m_windowContentView = interface.outlet<GMEventView>(QStringLiteral("windowContentView"));
    m_layerBrowser = interface.outlet<OVLayerBrowser>(QStringLiteral("layerBrowser"));
    m_zoomSliderPanel = interface.outlet<pf::View>(QStringLiteral("zoomSliderPanel"));
    m_zoomSlider = interface.outlet<GMSlider>(QStringLiteral("zoomSlider"));
    m_switch3D = interface.outlet<OVSwitch>(QStringLiteral("switch3D"));
    m_bestFilterButton = interface.outlet<OVButton>(QStringLiteral("bestFilterButton"));
    m_zoomInButton = interface.outlet<OVButton>(QStringLiteral("zoomInButton"));
    m_zoomToFitButton = interface.outlet<OVButton>(QStringLiteral("zoomToFitButton"));
    m_drawCorner = interface.outlet<pf::View>(QStringLiteral("drawCorner"));
    m_loupe = interface.outlet<OVLoupeView>(QStringLiteral("loupe"));
    // The panels' controllers belong to the window once it is there: they go after its views.
    const auto keep = [this](QObject* object) {
        if (object && m_window)
            object->setParent(m_window);
        return object;
    };
    m_settingsController = qobject_cast<GMSettingsController*>(
        keep(interface.outlets.value(QStringLiteral("settingsController")).data()));
    m_effectBrowserController = qobject_cast<GMEffectBrowserController*>(
        keep(interface.outlets.value(QStringLiteral("effectBrowserController")).data()));
    m_activityPanel =
        qobject_cast<OVActivityPanel*>(keep(interface.outlets.value(QStringLiteral("activityPanel")).data()));
    connectWindow();
}

void GMWindowController::setViewDelegates(GMWindowController* delegate)
{
    const auto set = [delegate](auto* view) {
        if (view)
            view->setDelegate(delegate);
    };
    set(m_windowContentView.data());
    set(m_layerBrowser.data());
    set(m_zoomSlider.data());
    set(m_switch3D.data());
    set(m_loupe.data());
    set(m_settingsController.data());
    set(m_effectBrowserController.data());
}

void GMWindowController::connectWindow()
{
    setViewDelegates(this);
    if (m_bestFilterButton)
        m_bestFilterButton->setAction([this](OVButton* button) { filterEffects(button->state() ? 1 : 0); });
    if (m_zoomInButton)
        m_zoomInButton->setAction([this](OVButton*) { zoomIn(); });
    if (m_zoomToFitButton)
        m_zoomToFitButton->setAction([this](OVButton*) { zoomToFit(); });
    if (!m_window)
        return;
    m_window->installEventFilter(this);
    addWindowAction(
        m_window, QStringLiteral("Zoom In"),
        {QKeySequence(QStringLiteral("Ctrl++")), QKeySequence(QStringLiteral("Ctrl+="))},
        [this] { zoomIn(); }, this);
    addWindowAction(
        m_window, QStringLiteral("Zoom Out"), {QKeySequence(QStringLiteral("Ctrl+-"))}, [this] { zoomOut(); },
        this);
    addWindowAction(
        m_window, QStringLiteral("Zoom to Fit"), {QKeySequence(QStringLiteral("Ctrl+0"))},
        [this] { zoomToFit(); }, this);
    addWindowAction(
        m_window, QStringLiteral("Actual Size"), {QKeySequence(QStringLiteral("Ctrl+1"))},
        [this] { zoomToActualSize(); }, this);
    addWindowAction(
        m_window, QStringLiteral("Layers in 3D"), {QKeySequence(QStringLiteral("Ctrl+3"))},
        [this] { toggleLayers3D(); }, this);
    m_willCloseObserver = pf::NotificationCenter::defaultCenter().addObserver(
        pf::Window::willCloseNotification, m_window.data(),
        [this](const pf::Notification&) { windowWillClose(); });
}

void GMWindowController::awakeFromNib()
{
    GMEventView* content = m_windowContentView;
    if (!content)
        return;
    const double H = content->bounds().height();

    // 1. The busy panel.
    if (m_activityPanel) {
        m_activityPanel->setXLocation(activityPanelX);
        m_activityPanel->setWindow(content->window());
        // It slides down from the top edge, wherever a resize takes that.
        if (pf::View* panel = m_activityPanel->view())
            panel->setAutoresizingMask(pf::View::MinYMargin);
    }

    // 2. The effect strip over the lower part of the window (it needs the room above it for its tilt),
    // its tiles along the foot.
    pf::View* strip = m_effectBrowserController ? m_effectBrowserController->view() : nullptr;
    if (strip) {
        strip->setFrame(Rect(0, 0, strip->frame().width(), H - effectBrowserTop));
        strip->setAutoresizingMask(pf::View::WidthSizable | pf::View::HeightSizable);
        m_layout->placeStripAtFoot();
        content->addSubview(strip);
        m_effects->remakeEffectItems();
    }

    // 3. The settings panel at the top left.
    if (m_settingsController) {
        m_settingsController->setToolChain(m_toolChain);
        if (pf::View* panel = m_settingsController->view()) {
            panel->setFrame(Rect(settingsPanelX, content->frame().height() - settingsPanelTop,
                                 GMSettingsController::panelWidth, GMSettingsController::panelHeight));
            panel->setAutoresizingMask(pf::View::MinYMargin);
            content->addSubview(panel);
        }
    }

    // 4. The layer browser just above the strip; the loupe above both.
    if (m_layerBrowser) {
        m_layerBrowser->setShowLayersIn2D(false);
        m_layerBrowser->setMargin(9);
        if (strip)
            content->addSubview(m_layerBrowser, pf::View::Ordering::Above, strip);
        connect(m_layerBrowser, &OVLayerBrowser::frameChanged, this, [this] {
            if (m_settingsController && !m_closed)
                m_settingsController->updateCursor(false);
        });
        m_layerBrowser->setBorderClass([] { return std::make_shared<OVFrameLayer>(); });
    }

    // 5. The canvas fills the layer browser's container.
    if (m_layerBrowser) {
        auto* zoom = new OVZoomView(Rect(Point(), m_layerBrowser->maxControlViewSize()),
                                    [] { return std::make_shared<OVFrameLayer>(); });
        zoom->setAutoresizingMask(pf::View::WidthSizable | pf::View::HeightSizable);
        m_layerBrowser->addControlView(zoom);
        m_zoomView = zoom;
        zoom->setMargin(Size(9, 9));
        m_canvas->resetZoom();
        zoom->setDrawSenderActive(true);
        if (m_zoomSlider) {
            m_zoomSlider->setMinValue(1.0);
            m_zoomSlider->setMaxValue(0.0);
            m_zoomSlider->setValue(zoom->zoomFactor());
        }
        zoomViewDidResize();
        zoom->installEventFilter(this);
    }

    // 6. In 2D.
    if (m_switch3D)
        m_switch3D->setState(false, true);

    // 7. The keys go to the settings panel and the loupe.
    if (m_keyboardWatcher) {
        if (m_settingsController)
            m_keyboardWatcher->addKeyboardWatcher(m_settingsController);
        if (m_loupe)
            m_keyboardWatcher->addKeyboardWatcher(m_loupe);
    }

    // 8. The window background.
    m_layout->setUpBackground();
    m_layout->orderViews();
}

// The document's calls -----------------------------------------------------------------------------------

void GMWindowController::showLoadingPreview(const QImage& image)
{
    if (!m_zoomView)
        return;
    const Transaction::Scope atOnce(true);
    m_zoomView->zoomLayer()->setContents(image);
}

void GMWindowController::showOpeningPreview(const QImage& image, const pf::Size& photoSize)
{
    if (!m_zoomView || m_toolChain)
        return; // a photo already being edited keeps its own picture
    m_zoomView->setImageSize(photoSize);
    showLoadingPreview(image);
}

void GMWindowController::dropEditingObjects()
{
    // Another picture replaces the stack: the old objects stop talking to the window.
    m_previews->dropEditing();
    m_painting->dropStroke();
    if (m_editRenderer) {
        m_editRenderer->setDelegate(nullptr);
        m_editRenderer.reset();
    }
    if (m_toolChain && m_toolChain->delegate() == this)
        m_toolChain->setDelegate(nullptr);
    if (m_layerBrowser)
        m_layerBrowser->removeAllLayers();
    m_previews->setViewMode(Start);
}

void GMWindowController::setOriginalImage(const pf::Image& image)
{
    setOriginalImage(PhotoToolChain::prepareOriginal(image));
}

void GMWindowController::setOriginalImage(const PhotoToolChain::Original& original)
{
    const pf::Image& image = original.image;
    if (m_toolChain)
        dropEditingObjects();
    m_toolChain = std::make_shared<PhotoToolChain>(original);
    m_toolChain->setDelegate(this);
    m_toolChain->setUndoDenomination(pf::localized(QStringLiteral("Effect")));
    if (m_settingsController)
        m_settingsController->setToolChain(m_toolChain);

    m_previewRenderer = std::make_shared<OVRenderCache>(m_toolChain, m_toolChain.get());
    // Fitted inside 1024 x 1024, and never larger than the photo: a small photo's preview is the photo.
    const Size photo = m_toolChain->originalImageSize();
    m_previewRenderer->fitOutputSizeInside(
        Size(std::min(previewSide, photo.width), std::min(previewSide, photo.height)));
    m_saveRenderer = std::make_shared<OVRenderCache>(m_toolChain, m_toolChain.get());

    m_editRenderer = m_rendererFactory ? m_rendererFactory(m_toolChain)
                                       : std::make_unique<GMRealTimeRenderer>(m_toolChain);
    m_editRenderer->setDelegate(this);
    if (m_zoomView)
        m_editRenderer->setLayerForRenderChannel(m_zoomView->contentLayer(),
                                                 GMWindowPreviews::standardChannel);
    if (m_loupe)
        m_editRenderer->setLayerForRenderChannel(m_loupe->contentLayer(), GMWindowPreviews::loupeChannel);

    const Rect extent = image.extent();
    m_imageSize = Size(std::round(extent.width()), std::round(extent.height()));
    if (m_zoomView) {
        m_zoomView->setImageSize(m_imageSize);
        if (m_loupe)
            m_loupe->setZoomSize(m_zoomView->imageSize());
        m_zoomView->setDelegate(this);
    }
    if (m_layerBrowser)
        m_layerBrowser->setImageSize(m_toolChain->originalImageSize());
    // The tiles of effects without a picture of their own show this photograph.
    m_effects->remakeEffectItems();

    photoToolChainDidInsertToolAtIndex(m_toolChain.get(), 0);
    photoToolChainDidSelectToolAtIndex(m_toolChain.get(), 0);
    m_toolChain->setUndoManager(m_undoManager);
}

pf::Image GMWindowController::originalImage() const
{
    return m_toolChain ? m_toolChain->originalImage() : pf::Image();
}

void GMWindowController::setUndoManager(std::shared_ptr<pf::UndoManager> undoManager)
{
    m_undoManager = std::move(undoManager);
    if (m_toolChain)
        m_toolChain->setUndoManager(m_undoManager);
}

pf::Image GMWindowController::previewForSaving()
{
    return m_previewRenderer ? m_previewRenderer->composedImageToIndex(m_toolChain->numberOfTools() - 1)
                             : pf::Image();
}

pf::Image GMWindowController::imageForSaving()
{
    return m_saveRenderer ? m_saveRenderer->composedImageToIndex(m_toolChain->numberOfTools() - 1)
                          : pf::Image();
}

// The window ---------------------------------------------------------------------------------------------

void GMWindowController::windowWillClose()
{
    cleanUp();
}

void GMWindowController::windowWillEnterFullScreen()
{
    if (m_drawCorner)
        m_drawCorner->setAlphaValue(0.0);
}

void GMWindowController::windowWillExitFullScreen()
{
    if (m_drawCorner)
        m_drawCorner->setAlphaValue(1.0);
}

bool GMWindowController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window.data() && event->type() == QEvent::WindowStateChange) {
        const auto* change = static_cast<QWindowStateChangeEvent*>(event);
        const bool was = change->oldState() & Qt::WindowFullScreen;
        const bool is = m_window->windowState() & Qt::WindowFullScreen;
        if (is && !was)
            windowWillEnterFullScreen();
        else if (was && !is)
            windowWillExitFullScreen();
    } else if (watched == m_zoomView.data() &&
               (event->type() == QEvent::Resize || event->type() == QEvent::Move)) {
        zoomViewDidResize();
    }
    return QObject::eventFilter(watched, event);
}

void GMWindowController::cleanUp()
{
    if (m_closed)
        return;
    m_closed = true;
    m_canvas->close();
    // Pictures still under way are never shown.
    m_previews->close();
    m_loupeRole->close();
    if (m_previewRenderer)
        m_previewRenderer->setCancel(true);
    if (m_editRenderer) {
        m_editRenderer->deactivateRenderChannel(GMWindowPreviews::standardChannel);
        m_editRenderer->deactivateRenderChannel(GMWindowPreviews::loupeChannel);
        m_editRenderer->setDelegate(nullptr);
    }
    m_painting->dropStroke();
    if (m_keyboardWatcher) {
        m_keyboardWatcher->deactivateKeyboardWatching();
        m_keyboardWatcher->removeAllKeyboardWatchers();
    }
    if (m_layerBrowser)
        disconnect(m_layerBrowser, nullptr, this, nullptr);
    m_layers3D->endPanelMirror();
    m_willCloseObserver.reset();
    // Nothing the window's views do from now on reaches the controller.
    if (m_zoomView) {
        m_zoomView->setDelegate(nullptr);
        m_zoomView->removeEventFilter(this);
    }
    if (m_window)
        m_window->removeEventFilter(this);
    setViewDelegates(nullptr);
    for (OVButton* button : {m_bestFilterButton.data(), m_zoomInButton.data(), m_zoomToFitButton.data()})
        if (button)
            button->setAction(nullptr);
    if (m_toolChain && m_toolChain->delegate() == this)
        m_toolChain->setDelegate(nullptr);
}

void GMWindowController::stopTimer(std::shared_ptr<pf::Timer>& timer)
{
    if (timer)
        timer->invalidate();
    timer.reset();
}

bool GMWindowController::isIn2D() const
{
    return m_layerBrowser && m_layerBrowser->state() == OVLayerBrowser::In2D;
}

Rect GMWindowController::drawingArea() const
{
    return m_layerBrowser ? m_layerBrowser->frame() : Rect();
}

// Wheels over the window ---------------------------------------------------------------------------------

bool GMWindowController::eventViewDidScroll(GMEventView*, const pf::Event& event)
{
    if (m_closed || !m_settingsController)
        return false;
    const unsigned mask = pf::Modifier::Control | pf::Modifier::Option | pf::Modifier::Command;
    // Option with the wheel over the photo zooms about the pointer: the point under it stays there.
    if ((event.modifierFlags() & mask) == pf::Modifier::Option && m_zoomView && m_zoomSlider &&
        !(m_loupe && m_loupe->drawSenderActive()))
        return m_canvas->zoomWithWheel(event);
    if ((event.modifierFlags() & mask) != pf::Modifier::Command)
        return false;
    return m_painting->sizeBrushWithWheel(event);
}
