#include "Classes/Editor/GMWindowEffects.h"

#include "Classes/Editor/GMEffectBrowserController.h"
#include "Classes/Editor/GMSettingsController.h"
#include "Classes/Editor/GMWindowController.h"
#include "Classes/Editor/GMWindowLayers3D.h"
#include "Classes/Editor/GMWindowPreviews.h"
#include "Classes/Editor/OVLayerBrowser.h"
#include "Classes/Editor/OVStepScroller.h"
#include "Classes/Editor/OVZoomView.h"
#include "Classes/Framework/Toolkit/OVButton.h"
#include "Classes/Rendering/GMRealTimeRenderer.h"
#include "Classes/ToolObjects/GMBlueprintCatalog.h"
#include "Classes/ToolObjects/OVBrushFramework/OVBrushPathImage.h"
#include "Classes/ToolObjects/OVBrushFramework/OVContentContainer.h"
#include "Classes/ToolObjects/OVOriginalPyramid.h"
#include "Classes/ToolObjects/PhotoToolChain.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/Foundation/Log.h"

#include <algorithm>

using pf::Rect;

GMWindowEffects::GMWindowEffects(GMWindowController& hub) : GMWindowRole(hub) {}

void GMWindowEffects::remakeEffectItems()
{
    if (!m_hub.m_effectBrowserController)
        return;
    const QVariantList items = m_hub.blueprintCatalog().collectionViewItemsWithImage(originalPicture());
    GMNotResponderCollectionView* collection = m_hub.m_effectBrowserController->effectCollectionView();
    if (collection && !collection->content().isEmpty()) {
        collection->setContent(items);
        const PhotoToolPtr selected = m_hub.m_toolChain ? m_hub.m_toolChain->selectedPhotoTool() : nullptr;
        m_hub.m_effectBrowserController->setSelectedFilter(
            selected && selected->blueprint() ? selected->blueprint()->photoToolName() : QString());
    } else {
        m_hub.m_effectBrowserController->addEffects(items);
    }
}

QImage GMWindowEffects::originalPicture() const
{
    if (!m_hub.m_toolChain)
        return QImage();
    // A small picture is enough for the tiles.
    const pf::Image original = m_hub.m_toolChain->originalImage();
    const Rect extent = original.extent();
    if (extent.isEmpty() || extent.isInfinite())
        return QImage();
    const double scale = std::min(1.0, 240.0 / std::max(extent.width(), extent.height()));
    // Made from the photo's reduced copy: a tile never reads a large photo's every pixel.
    return GMWindowPreviews::pictureOf(m_hub.m_toolChain->originalPyramid()->imageByApplyingTransform(
        pf::AffineTransform::scale(scale, scale)));
}

void GMWindowEffects::updateSettingsView()
{
    if (!m_hub.m_settingsController || !m_hub.m_toolChain || !m_hub.m_layerBrowser)
        return;
    // The browser announces a switch before it takes its new state: the switch's own direction counts.
    const PhotoToolPtr selected = m_hub.m_toolChain->selectedPhotoTool();
    if (m_hub.m_layers3D->isTowards3D()) {
        if (m_hub.m_toolChain->selectionIndex() > 0 && selected)
            m_hub.m_settingsController->showActivePreviewInformation(selected->blueprint());
        else
            m_hub.m_settingsController->showEmptySelection();
        return;
    }
    if (m_hub.m_toolChain->selectionIndex() == 0 || !selected) {
        m_hub.m_settingsController->showEmptySelection();
    } else {
        m_hub.m_settingsController->showPhotoTool(selected);
        m_hub.m_settingsController->updateBrushSliders(selected);
    }
}

void GMWindowEffects::filterEffects(int state)
{
    if (!m_hub.m_effectBrowserController)
        return;
    m_hub.m_effectBrowserController->setFilterPredicate(
        state == 1 ? GMEffectBrowserController::bestPredicate() : GMEffectBrowserController::Predicate());
    if (m_hub.m_bestFilterButton && m_hub.m_bestFilterButton->state() != (state == 1))
        m_hub.m_bestFilterButton->setState(state == 1);
}

void GMWindowEffects::photoToolChainDidInsertToolAtIndex(PhotoToolChain* chain, int index)
{
    if (m_hub.m_closed || chain != m_hub.m_toolChain.get())
        return;
    if (m_hub.m_layerBrowser) {
        const PhotoToolPtr tool = chain->photoToolAtIndex(index);
        const QString name = index > 0 && tool && tool->blueprint() ? tool->blueprint()->displayName()
                                                                    : QStringLiteral("Original");
        m_hub.m_layerBrowser->insertLayerWithName(pf::localized(name), index);
    }
    if (index == 0 && m_hub.m_zoomView)
        m_hub.zoomViewDidUpdateContentsRect(m_hub.m_zoomView, Rect(0, 0, 1, 1), false);
    // A layer added while the layers are shown in 3D gets its card at once.
    if (m_hub.viewMode() == GMWindowController::Layers3D)
        m_hub.m_previews->refreshCards(index);
    if (chain->selectionIndex() >= index) {
        m_hub.showPreview(true);
        m_hub.prepareEditing(1);
    }
}

void GMWindowEffects::photoToolChainDidSelectToolAtIndex(PhotoToolChain* chain, int index)
{
    if (m_hub.m_closed || chain != m_hub.m_toolChain.get())
        return;
    if (m_hub.m_layerBrowser)
        m_hub.m_layerBrowser->setSelectionIndex(index);
    if (m_hub.m_effectBrowserController) {
        const PhotoToolPtr tool = chain->selectedPhotoTool();
        m_hub.m_effectBrowserController->setSelectedFilter(
            index > 0 && tool && tool->blueprint() ? tool->blueprint()->photoToolName() : QString());
    }
    updateSettingsView();
    if (m_hub.viewMode() != GMWindowController::Layers3D) {
        m_hub.showPreview(true);
        m_hub.prepareEditing(1);
    }
}

void GMWindowEffects::photoToolChainDidRemovedToolAtIndex(PhotoToolChain* chain, int index)
{
    if (m_hub.m_closed || chain != m_hub.m_toolChain.get())
        return;
    m_hub.showPreview(true);
    m_hub.prepareEditing(1);
    if (m_hub.m_layerBrowser)
        m_hub.m_layerBrowser->removeLayerAtIndex(index);
    if (m_hub.viewMode() == GMWindowController::Layers3D)
        m_hub.m_previews->refreshCards(index);
}

void GMWindowEffects::photoToolChainRemovedAllTools(PhotoToolChain* chain)
{
    if (m_hub.m_closed || chain != m_hub.m_toolChain.get())
        return;
    // The browser keeps only the background, as the stack does.
    if (m_hub.m_layerBrowser)
        for (qint64 i = qint64(m_hub.m_layerBrowser->layers().size()) - 1; i > 0; --i)
            m_hub.m_layerBrowser->removeLayerAtIndex(i);
    m_hub.showPreview(true);
    m_hub.prepareEditing(0);
}

void GMWindowEffects::photoToolChainCompositionDidChangeAtIndex(PhotoToolChain* chain, int index)
{
    if (m_hub.m_closed || chain != m_hub.m_toolChain.get())
        return;
    if (m_hub.viewMode() == GMWindowController::Live && m_hub.m_editRenderer)
        m_hub.m_editRenderer->contentDidChangeAtIndex(index);
    else if (m_hub.viewMode() == GMWindowController::Preview)
        m_hub.showPreview(true);
    else if (m_hub.viewMode() == GMWindowController::Layers3D)
        m_hub.m_previews->refreshCards(index);
}

void GMWindowEffects::photoToolChainSettingsDidChange(PhotoToolChain* chain, const QVariantMap&, int index)
{
    if (m_hub.m_closed || chain != m_hub.m_toolChain.get() || m_isUpdatingSettings ||
        !m_hub.m_settingsController)
        return;
    m_hub.m_settingsController->showFilterSettings(chain->photoToolAtIndex(index));
}

void GMWindowEffects::photoToolChainBrushPathDidChange(PhotoToolChain* chain, OVBrushPathImage*, int)
{
    if (m_hub.m_closed || chain != m_hub.m_toolChain.get())
        return;
    if (m_hub.viewMode() == GMWindowController::Live) {
        if (m_hub.m_editRenderer)
            m_hub.m_editRenderer->updateActiveChannels();
    } else if (m_hub.viewMode() == GMWindowController::Layers3D) {
        m_hub.m_previews->setViewMode(GMWindowController::Start);
        m_hub.fillLayerBrowser3D();
    } else {
        m_hub.showPreview(true);
    }
}

void GMWindowEffects::effectBrowserControllerAddPhotoTool(GMEffectBrowserController*, const QString& name)
{
    if (m_hub.m_closed || !m_hub.m_toolChain)
        return;
    const std::shared_ptr<GMEffectBlueprint> blueprint =
        m_hub.blueprintCatalog().effectBlueprintWithName(name);
    if (!blueprint)
        return;
    m_hub.m_toolChain->insertPhotoToolWithBlueprint(blueprint, std::nullopt,
                                                    m_hub.m_toolChain->selectionIndex());
}

void GMWindowEffects::effectBrowserControllerHoveredFilterDidChange(GMEffectBrowserController*,
                                                                    const QString& name)
{
    if (m_hub.m_closed || !m_hub.m_settingsController)
        return;
    if (name.isNull())
        updateSettingsView();
    else
        m_hub.m_settingsController->showPreviewInformation(
            m_hub.blueprintCatalog().effectBlueprintWithName(name));
}

void GMWindowEffects::settingsControllerDidChangeSettings(GMSettingsController*, const QVariantMap& settings,
                                                          int index, const QString& undoName, bool preview)
{
    if (m_hub.m_closed || !m_hub.m_toolChain)
        return;
    // A drag registers no undo step until its final change.
    m_isUpdatingSettings = true;
    m_hub.m_toolChain->setSettingsForToolAtIndex(settings, index, preview ? QString() : undoName);
    m_isUpdatingSettings = false;
}

void GMWindowEffects::layerBrowserDidChangeSelection(OVLayerBrowser*, qint64 index)
{
    if (m_hub.m_toolChain && !m_hub.m_closed)
        m_hub.m_toolChain->setSelectionIndex(int(index));
}

void GMWindowEffects::layerBrowserHoveringLayerAtIndex(OVLayerBrowser*, qint64 index)
{
    if (!m_hub.m_settingsController || !m_hub.m_toolChain || m_hub.m_closed)
        return;
    if (index == 0) {
        m_hub.m_settingsController->showPreviewInformation(nullptr);
        return;
    }
    if (index == m_hub.m_toolChain->selectionIndex() || index == OVStepScroller::NotFound) {
        const PhotoToolPtr selected = m_hub.m_toolChain->selectedPhotoTool();
        m_hub.m_settingsController->showActivePreviewInformation(selected ? selected->blueprint() : nullptr);
        return;
    }
    const PhotoToolPtr tool = m_hub.m_toolChain->photoToolAtIndex(int(index));
    m_hub.m_settingsController->showPreviewInformation(tool ? tool->blueprint() : nullptr);
}

bool GMWindowEffects::layerBrowserCanInteractFrom(OVLayerBrowser*, qint64 from, qint64 to)
{
    if (m_hub.viewMode() == GMWindowController::Layers3D)
        return false;
    return from != 0 && to != 0 && to != from && to != OVStepScroller::NotFound;
}

void GMWindowEffects::layerBrowserInteractFrom(OVLayerBrowser*, qint64 from, qint64 to)
{
    if (!m_hub.m_toolChain || m_hub.m_closed)
        return;
    const auto source = m_hub.m_toolChain->brushPathImageAtIndex(int(from));
    const auto target = m_hub.m_toolChain->brushPathImageAtIndex(int(to));
    const OVContentContainerPtr sourceSnapshot = source ? source->contentContainer() : nullptr;
    const OVContentContainerPtr targetSnapshot = target ? target->contentContainer() : nullptr;
    if (!sourceSnapshot || !targetSnapshot) {
        pf::warning(QStringLiteral("Could not copy mask from %1 to %2")
                        .arg(source ? QStringLiteral("layer %1").arg(from) : QStringLiteral("(null)"),
                             target ? QStringLiteral("layer %1").arg(to) : QStringLiteral("(null)")));
        return;
    }
    // The painted mask of the source; the target keeps its own additional image (a texture).
    auto container = std::make_shared<OVContentContainer>(sourceSnapshot->imageContainer(),
                                                          targetSnapshot->additionalImageContainer());
    m_hub.m_toolChain->replaceBrushPathImage(std::make_shared<OVBrushPathImage>(target->size(), container),
                                             int(to));
}
