#pragma once

#include "Classes/Editor/GMEffectBrowserController.h"
#include "Classes/Editor/GMEffectBrowserDelegate.h"
#include "Classes/Editor/GMEventView.h"
#include "Classes/Editor/GMEventViewDelegate.h"
#include "Classes/Editor/GMLoupeStrokeHint.h"
#include "Classes/Editor/GMSettingsController.h"
#include "Classes/Editor/GMSettingsDelegate.h"
#include "Classes/Editor/GMSlider.h"
#include "Classes/Editor/GMSliderDelegate.h"
#include "Classes/Editor/GMWindowCanvas.h"
#include "Classes/Editor/GMWindowEffects.h"
#include "Classes/Editor/GMWindowLayers3D.h"
#include "Classes/Editor/GMWindowLayout.h"
#include "Classes/Editor/GMWindowLoupe.h"
#include "Classes/Editor/GMWindowPainting.h"
#include "Classes/Editor/GMWindowPreviews.h"
#include "Classes/Editor/OVLayerBrowser.h"
#include "Classes/Editor/OVLayerBrowserDelegate.h"
#include "Classes/Editor/OVLoupeView.h"
#include "Classes/Editor/OVLoupeViewDelegate.h"
#include "Classes/Editor/OVSwitch.h"
#include "Classes/Editor/OVSwitchDelegate.h"
#include "Classes/Editor/OVZoomView.h"
#include "Classes/Editor/OVZoomViewDelegate.h"
#include "Classes/Framework/Toolkit/OVActivityPanel.h"
#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Rendering/GMRealTimeRendererDelegate.h"
#include "Classes/ToolObjects/PhotoToolChain.h"
#include "Classes/ToolObjects/PhotoToolChainDelegate.h"
#include "Platform/Foundation/ObserverToken.h"
#include "Platform/Foundation/Rect.h"
#include "Platform/Image/Image.h"
#include "Platform/UI/Window.h"

#include <QCursor>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>

class GMBlueprintCatalog;
class GMRealTimeRenderer;
class OVKeyboardWatcher;
class OVRenderCache;
class PhotoToolChain;
namespace pf {
class Document;
class Layer;
class Timer;
class UndoManager;
class View;
struct Interface;
} // namespace pf

// The controller of one document window, the editor, and the hub of its work: it takes the window's
// outlets, builds the editing objects over the photograph (the layer stack, a preview render cache fitted
// inside 1024 x 1024, a full-size save cache and the live renderer with its channels "standard" on the
// canvas and "loupe" on the loupe), adopts every delegate interface of the window's views and hands each
// call to the role that owns it, and closes everything down in one place. The roles, each in its own
// file: the layout (the window built, views in order, the background), the canvas (zoom), the previews
// (view mode, cached previews and live rendering), layers and effects, painting (strokes, brushes,
// cursors), the loupe, and the switch between the flat and the 3D layer browser.
//
// The window is the interface "GMDocument" (built in code, registered by registerInterface()). Use:
// make the controller, setDocument, loadWindow (which sets the window up), then setOriginalImage and
// setUndoManager. Closing the window runs cleanUp. Main thread only; previews are composed on a queue
// of the controller's own and shown when ready, keeping the picture shown until then.
class GMWindowController : public QObject,
                           public OVLoupeViewDelegate,
                           public GMEffectBrowserDelegate,
                           public OVLayerBrowserDelegate,
                           public GMEventViewDelegate,
                           public PhotoToolChainDelegate,
                           public GMSliderDelegate,
                           public OVZoomViewDelegate,
                           public OVSwitchDelegate,
                           public GMSettingsDelegate,
                           public GMRealTimeRendererDelegate
{
public:
    // 0 start (nothing shown yet), 1 the cached preview, 2 the layers in 3D, 3 live editing.
    enum ViewMode : int
    {
        Start = 0,
        Preview = 1,
        Layers3D = 2,
        Live = 3,
    };
    static const QString interfaceName;
    static constexpr double previewSide = 1024;
    static constexpr double settingsPanelTop = 240;
    static constexpr double effectBrowserTop = 250;
    // The settings panel's left edge, and the busy panel's: beside the settings panel, clear of the
    // title of the layer it shows.
    static constexpr double settingsPanelX = -19;
    static constexpr double activityPanelX = settingsPanelX + GMSettingsController::panelWidth + 12;
    static constexpr double zoomInSettle = 0.6;
    static constexpr double zoomOutSettle = 0.3;

    // Makes the live renderer over a chain; tests give a recording one.
    using RendererFactory =
        std::function<std::unique_ptr<GMRealTimeRenderer>(std::shared_ptr<PhotoToolChain>)>;

    GMWindowController();
    ~GMWindowController() override;
    GMWindowController(const GMWindowController&) = delete;
    GMWindowController& operator=(const GMWindowController&) = delete;

    // Registers the builder of the document window (done by the first controller when missing).
    static void registerInterface();

    // Set-up ------------------------------------------------------------------------------------------
    // A document gets a keyboard watcher of its own; none drops it.
    void setDocument(std::weak_ptr<pf::Document> document);
    std::weak_ptr<pf::Document> document() const { return m_document; }
    void setRendererFactory(RendererFactory factory) { m_rendererFactory = std::move(factory); }
    // The catalog effects are found in (the shared one by default).
    void setBlueprintCatalog(GMBlueprintCatalog* catalog) { m_catalog = catalog; }
    GMBlueprintCatalog& blueprintCatalog() const;
    // Builds the interface "GMDocument", takes its outlets and sets the window up; false without one.
    bool loadWindow();
    void takeOutlets(const pf::Interface& interface);
    void awakeFromNib();

    // Called by the document.
    void showLoadingPreview(const QImage& image);
    // A reduced picture of a photo of `photoSize` pixels still being opened: laid out as the photo
    // will be, before there is a photo to edit.
    void showOpeningPreview(const QImage& image, const pf::Size& photoSize);
    void setOriginalImage(const pf::Image& image);
    void setOriginalImage(const PhotoToolChain::Original& original);
    pf::Image originalImage() const;
    void setUndoManager(std::shared_ptr<pf::UndoManager> undoManager);
    std::shared_ptr<pf::UndoManager> undoManager() const { return m_undoManager; }
    std::shared_ptr<PhotoToolChain> toolChain() const { return m_toolChain; }
    // Every layer composed, fitted inside 1024 x 1024 and at full size. Compose on the calling thread.
    pf::Image previewForSaving();
    pf::Image imageForSaving();

    // The window's events (the window's state and its closing are watched by the controller itself).
    void windowWillClose();
    void windowWillEnterFullScreen();
    void windowWillExitFullScreen();

    // Actions of the window's controls, keys and menu items. Keys and menu items zoom about the middle
    // of the visible part; Option with the wheel over the canvas zooms about the pointer.
    void zoomIn() { m_canvas->zoomIn(); }
    void zoomOut() { m_canvas->zoomOut(); }
    // The whole photo fitted, and one photo pixel on one screen pixel (100 %).
    void zoomToFit() { m_canvas->zoomToFit(); }
    void zoomToActualSize() { m_canvas->zoomToActualSize(); }
    // Fans the layers out in 3D, or folds them back, as the 2D/3D switch does.
    void toggleLayers3D() { m_layers3D->toggle(); }
    // State 1 keeps the "best" effects; any other state all of them.
    void filterEffects(int state) { m_effects->filterEffects(state); }

    // Own operations ----------------------------------------------------------------------------------
    void updateSettingsView() { m_effects->updateSettingsView(); }
    // Shows the cached preview (not again in preview mode unless forced). The picture is composed on
    // the controller's queue; the canvas keeps what it shows until it arrives.
    void showPreview(bool force) { m_previews->showPreview(force); }
    void fillLayerBrowser3D() { m_previews->fillLayerBrowser3D(); }
    // 0: live editing at once; 1: after this event; 2: after half a second (a later 2 replaces a
    // pending 2, never a pending 1). Shift held waits 5 s.
    void prepareEditing(int kind) { m_previews->prepareEditing(kind); }
    void prepareEditingTimed() { m_previews->prepareEditingTimed(); }
    void updateLayerBackground() { m_layout->updateLayerBackground(); }
    pf::Rect backgroundRect() const { return m_layout->backgroundRect(); }
    void setBackgroundRect(const pf::Rect& rect) { m_layout->setBackgroundRect(rect); }
    void updateZoomView() { m_canvas->updateZoomView(); }
    pf::Rect drawingArea() const override;
    // Stops every timer and the live channels, forgets the keyboard watchers; nothing reaches the window
    // afterwards.
    void cleanUp();

    // State, for the document, the tests and the benchmark --------------------------------------------
    int viewMode() const { return m_previews->viewMode(); }
    bool isFirstZoom() const { return m_canvas->isFirstZoom(); }
    pf::Rect lastZoomRect() const { return m_canvas->lastZoomRect(); }
    bool isEditSwitchPending() const { return m_previews->isEditSwitchPending(); }
    bool isZoomSettlePending() const { return m_canvas->isZoomSettlePending(); }
    // A preview asked for and not yet shown.
    bool isPreviewPending() const { return m_previews->isPreviewPending(); }
    // Counts the previews shown.
    int previewsShown() const { return m_previews->previewsShown(); }
    bool isStrokeRunning() const { return m_painting->isStrokeRunning(); }
    // The brush's cursor; the arrow while there is none.
    QCursor drawCursor() const { return m_painting->drawCursor(); }
    void setDrawCursor(const std::optional<QCursor>& cursor) { m_painting->setDrawCursor(cursor); }

    pf::Window* window() const { return m_window; }
    GMEventView* windowContentView() const { return m_windowContentView; }
    OVZoomView* zoomView() const { return m_zoomView; }
    GMSlider* zoomSlider() const { return m_zoomSlider; }
    pf::View* zoomSliderPanel() const { return m_zoomSliderPanel; }
    OVLayerBrowser* layerBrowser() const { return m_layerBrowser; }
    OVSwitch* switch3D() const { return m_switch3D; }
    OVLoupeView* loupe() const { return m_loupe; }
    pf::View* drawCorner() const { return m_drawCorner; }
    OVButton* bestFilterButton() const { return m_bestFilterButton; }
    // The zoom slider's end icons.
    OVButton* zoomInButton() const { return m_zoomInButton; }
    OVButton* zoomToFitButton() const { return m_zoomToFitButton; }
    GMSettingsController* settingsController() const { return m_settingsController; }
    GMEffectBrowserController* effectBrowserController() const { return m_effectBrowserController; }
    OVActivityPanel* activityPanel() const { return m_activityPanel; }
    OVKeyboardWatcher* keyboardWatcher() const { return m_keyboardWatcher.get(); }
    GMRealTimeRenderer* editRenderer() const { return m_editRenderer.get(); }
    OVRenderCache* previewRenderer() const { return m_previewRenderer.get(); }
    OVRenderCache* saveRenderer() const { return m_saveRenderer.get(); }

    // PhotoToolChainDelegate
    void photoToolChainDidInsertToolAtIndex(PhotoToolChain* chain, int index) override
    {
        m_effects->photoToolChainDidInsertToolAtIndex(chain, index);
    }
    void photoToolChainDidSelectToolAtIndex(PhotoToolChain* chain, int index) override
    {
        m_effects->photoToolChainDidSelectToolAtIndex(chain, index);
    }
    void photoToolChainDidRemovedToolAtIndex(PhotoToolChain* chain, int index) override
    {
        m_effects->photoToolChainDidRemovedToolAtIndex(chain, index);
    }
    void photoToolChainRemovedAllTools(PhotoToolChain* chain) override
    {
        m_effects->photoToolChainRemovedAllTools(chain);
    }
    void photoToolChainCompositionDidChangeAtIndex(PhotoToolChain* chain, int index) override
    {
        m_effects->photoToolChainCompositionDidChangeAtIndex(chain, index);
    }
    void photoToolChainSettingsDidChange(PhotoToolChain* chain, const QVariantMap& settings,
                                         int index) override
    {
        m_effects->photoToolChainSettingsDidChange(chain, settings, index);
    }
    void photoToolChainBrushPathDidChange(PhotoToolChain* chain, OVBrushPathImage* image, int index) override
    {
        m_effects->photoToolChainBrushPathDidChange(chain, image, index);
    }

    // GMEffectBrowserDelegate
    void effectBrowserControllerAddPhotoTool(GMEffectBrowserController* browser, const QString& name) override
    {
        m_effects->effectBrowserControllerAddPhotoTool(browser, name);
    }
    void effectBrowserControllerHoveredFilterDidChange(GMEffectBrowserController* browser,
                                                       const QString& name) override
    {
        m_effects->effectBrowserControllerHoveredFilterDidChange(browser, name);
    }

    // GMSettingsDelegate
    void settingsControllerDidChangeSettings(GMSettingsController* panel, const QVariantMap& settings,
                                             int index, const QString& undoName, bool preview) override
    {
        m_effects->settingsControllerDidChangeSettings(panel, settings, index, undoName, preview);
    }
    void settingsControllerDidChangeBrush(GMSettingsController*,
                                          const std::optional<QCursor>& cursor) override
    {
        m_painting->setDrawCursor(cursor);
    }
    void settingsControllerHideDrawLayer(GMSettingsController*, bool hide) override
    {
        m_painting->hideDrawLayer(hide);
    }

    // OVDrawSenderDelegate (the canvas and the loupe)
    void drawSenderBrushDownAtPoint(OVDrawSender* sender, pf::Point point) override
    {
        m_painting->brushDown(sender, point);
    }
    void drawSenderBrushDraggedAtPoint(OVDrawSender*, pf::Point point) override
    {
        m_painting->brushDragged(point);
    }
    void drawSenderBrushUpAtPoint(OVDrawSender*, pf::Point point) override { m_painting->brushUp(point); }

    // GMRealTimeRendererDelegate
    void
    realTimeRendererDidCalculateContentContainer(GMRealTimeRenderer*, const OVContentContainerPtr& container,
                                                 const pf::Rect& rect, const QString&,
                                                 const std::shared_ptr<OVBrushPathImage>& target) override
    {
        m_painting->rendererDidCalculateStroke(container, rect, target);
    }
    void realTimeRenderChannelDidBecomeVisible(GMRealTimeRenderer*, const QString& channel) override
    {
        m_previews->channelDidBecomeVisible(channel);
    }

    // OVLayerBrowserDelegate
    void layerBrowserDidChangeSelection(OVLayerBrowser* browser, qint64 index) override
    {
        m_effects->layerBrowserDidChangeSelection(browser, index);
    }
    void layerBrowserHoveringLayerAtIndex(OVLayerBrowser* browser, qint64 index) override
    {
        m_effects->layerBrowserHoveringLayerAtIndex(browser, index);
    }
    bool layerBrowserCanInteractFrom(OVLayerBrowser* browser, qint64 from, qint64 to) override
    {
        return m_effects->layerBrowserCanInteractFrom(browser, from, to);
    }
    void layerBrowserInteractFrom(OVLayerBrowser* browser, qint64 from, qint64 to) override
    {
        m_effects->layerBrowserInteractFrom(browser, from, to);
    }
    void willSwitchTo3DView() override { m_layers3D->willSwitchTo3DView(); }
    void willSwitchTo2DView() override { m_layers3D->willSwitchTo2DView(); }
    void didSwitchTo2DView() override { m_layers3D->didSwitchTo2DView(); }

    // OVSwitchDelegate, GMSliderDelegate
    void ovSwitchDidChangeState(OVSwitch*, bool state) override { m_layers3D->switchDidChangeState(state); }
    void sliderDidChangeValue(GMSlider* slider, double value, bool preview) override
    {
        m_canvas->sliderDidChangeValue(slider, value, preview);
    }

    // OVZoomViewDelegate
    void zoomViewDidUpdateContentsRect(OVZoomView* view, const pf::Rect& rect, bool preview) override
    {
        m_canvas->contentsRectDidChange(view, rect, preview);
    }
    void zoomViewDidChangeCursorState(OVZoomView* view, int state) override
    {
        m_painting->canvasCursorStateDidChange(view, state);
    }
    void zoomViewDidRefuseStroke(OVZoomView* view, pf::Point inWindow) override
    {
        m_loupeRole->canvasDidRefuseStroke(view, inWindow);
    }
    void zoomViewDidResize() { m_canvas->canvasDidResize(); }
    const GMLoupeStrokeHint& loupeStrokeHint() const { return m_loupeRole->strokeHint(); }

    // OVLoupeViewDelegate
    pf::Rect activeRectForLoupe(OVLoupeView* loupe) override { return m_loupeRole->activeRect(loupe); }
    pf::Rect editRectForLoupe(OVLoupeView*) override { return m_loupeRole->editRect(); }
    void loupeViewDidChangeCursorState(OVLoupeView* loupe, int state) override
    {
        m_painting->loupeCursorStateDidChange(loupe, state);
    }
    void loupeViewBeginGestureWithEvent(OVLoupeView*, const pf::Event& event) override
    {
        m_loupeRole->beginGesture(event);
    }
    void loupeViewEndGestureWithEvent(OVLoupeView*, const pf::Event& event) override
    {
        m_loupeRole->endGesture(event);
    }
    void loupeViewMagnifyWithEvent(OVLoupeView*, const pf::Event& event) override
    {
        m_loupeRole->magnify(event);
    }
    void loupeViewScrollWheel(OVLoupeView*, const pf::Event& event) override
    {
        m_loupeRole->scrollWheel(event);
    }
    void loupeViewActivated(OVLoupeView* loupe) override { m_loupeRole->activated(loupe); }
    void loupeViewDeactivated(OVLoupeView* loupe) override { m_loupeRole->deactivated(loupe); }

    // GMEventViewDelegate: Command + wheel over the active draw sender sizes the brush (vertical) or
    // softens it (horizontal).
    bool eventViewDidScroll(GMEventView* view, const pf::Event& event) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The roles the window's work is shared out to; each reaches the window's views, the stack and the
    // renderers through the controller, and the other roles through their owner here.
    friend class GMWindowCanvas;
    friend class GMWindowEffects;
    friend class GMWindowLayers3D;
    friend class GMWindowLayout;
    friend class GMWindowLoupe;
    friend class GMWindowPainting;
    friend class GMWindowPreviews;

    void dropEditingObjects();
    void connectWindow();
    // The window's views tell `delegate` what the user does: the controller, or no one once it closes.
    void setViewDelegates(GMWindowController* delegate);
    static void stopTimer(std::shared_ptr<pf::Timer>& timer);
    bool isIn2D() const;

    std::weak_ptr<pf::Document> m_document;
    std::unique_ptr<OVKeyboardWatcher> m_keyboardWatcher;
    QPointer<pf::Window> m_window;
    QPointer<GMEventView> m_windowContentView;
    QPointer<OVLoupeView> m_loupe;
    QPointer<OVLayerBrowser> m_layerBrowser;
    QPointer<OVSwitch> m_switch3D;
    QPointer<pf::View> m_zoomSliderPanel;
    QPointer<GMSlider> m_zoomSlider;
    QPointer<pf::View> m_drawCorner;
    QPointer<OVButton> m_bestFilterButton;
    QPointer<OVButton> m_zoomInButton;
    QPointer<OVButton> m_zoomToFitButton;
    QPointer<OVZoomView> m_zoomView;
    // The panels' controllers belong to the window, which deletes them after its views.
    QPointer<GMSettingsController> m_settingsController;
    QPointer<GMEffectBrowserController> m_effectBrowserController;
    QPointer<OVActivityPanel> m_activityPanel;

    std::shared_ptr<PhotoToolChain> m_toolChain;
    std::shared_ptr<OVRenderCache> m_previewRenderer;
    std::shared_ptr<OVRenderCache> m_saveRenderer;
    std::unique_ptr<GMRealTimeRenderer> m_editRenderer;
    std::shared_ptr<pf::UndoManager> m_undoManager;
    RendererFactory m_rendererFactory;
    GMBlueprintCatalog* m_catalog = nullptr;

    pf::Size m_imageSize;

    std::unique_ptr<GMWindowLayout> m_layout;
    std::unique_ptr<GMWindowCanvas> m_canvas;
    std::unique_ptr<GMWindowPreviews> m_previews;
    std::unique_ptr<GMWindowLayers3D> m_layers3D;
    std::unique_ptr<GMWindowLoupe> m_loupeRole;
    std::unique_ptr<GMWindowPainting> m_painting;
    std::unique_ptr<GMWindowEffects> m_effects;

    bool m_closed = false;
    pf::ObserverToken m_willCloseObserver;
};
