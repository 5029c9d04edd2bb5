#pragma once

#include "Classes/Editor/GMWindowRole.h"

#include <QImage>
#include <QString>
#include <QVariantMap>

class GMEffectBrowserController;
class GMSettingsController;
class OVBrushPathImage;
class OVLayerBrowser;
class PhotoToolChain;

// The editor window's layers and effects: it keeps the layer browser, the effect strip and the settings
// panel in step with the stack of effects. It adds the effect a tile asks for, names and removes the
// layers as the stack changes, follows the selection both ways, shows an effect's settings or its preview
// information (hovered tile, hovered layer), hands a setting's change to the stack (one undo step per
// drag), copies a layer's mask onto another, filters the strip to the "best" effects, and makes the
// strip's tiles from the photograph. Main thread only; part of the window controller, which forwards the
// tool chain's, the browsers' and the settings panel's calls to it.
class GMWindowEffects : private GMWindowRole
{
public:
    explicit GMWindowEffects(GMWindowController& hub);

    void remakeEffectItems();
    void updateSettingsView();
    void filterEffects(int state);

    void photoToolChainDidInsertToolAtIndex(PhotoToolChain* chain, int index);
    void photoToolChainDidSelectToolAtIndex(PhotoToolChain* chain, int index);
    void photoToolChainDidRemovedToolAtIndex(PhotoToolChain* chain, int index);
    void photoToolChainRemovedAllTools(PhotoToolChain* chain);
    void photoToolChainCompositionDidChangeAtIndex(PhotoToolChain* chain, int index);
    void photoToolChainSettingsDidChange(PhotoToolChain* chain, const QVariantMap& settings, int index);
    void photoToolChainBrushPathDidChange(PhotoToolChain* chain, OVBrushPathImage* image, int index);

    void effectBrowserControllerAddPhotoTool(GMEffectBrowserController* browser, const QString& name);
    void effectBrowserControllerHoveredFilterDidChange(GMEffectBrowserController* browser,
                                                       const QString& name);
    void settingsControllerDidChangeSettings(GMSettingsController* panel, const QVariantMap& settings,
                                             int index, const QString& undoName, bool preview);

    void layerBrowserDidChangeSelection(OVLayerBrowser* browser, qint64 index);
    void layerBrowserHoveringLayerAtIndex(OVLayerBrowser* browser, qint64 index);
    bool layerBrowserCanInteractFrom(OVLayerBrowser* browser, qint64 from, qint64 to);
    void layerBrowserInteractFrom(OVLayerBrowser* browser, qint64 from, qint64 to);

private:
    // The photograph, small, for the tiles of effects without a picture of their own.
    QImage originalPicture() const;

    // A change of settings the panel made is not shown back to it.
    bool m_isUpdatingSettings = false;
};
