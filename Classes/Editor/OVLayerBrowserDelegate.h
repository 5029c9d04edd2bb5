#pragma once

#include <QtGlobal>

class OVLayerBrowser;

// What the layer browser tells the window controller. Indexes are layer indexes (0: the background);
// a hover index may be OVStepScroller::NotFound. The switches between 2D and 3D are announced before
// their animation starts and after it has arrived.
class OVLayerBrowserDelegate
{
public:
    virtual ~OVLayerBrowserDelegate() = default;

    virtual void layerBrowserDidChangeSelection(OVLayerBrowser* browser, qint64 index) = 0;
    virtual void layerBrowserHoveringLayerAtIndex(OVLayerBrowser* browser, qint64 index) = 0;
    // Copy the mask of layer `from` onto layer `to`.
    virtual void layerBrowserInteractFrom(OVLayerBrowser* browser, qint64 from, qint64 to) = 0;
    virtual bool layerBrowserCanInteractFrom(OVLayerBrowser* browser, qint64 from, qint64 to) = 0;

    virtual void willSwitchTo2DView() {}
    virtual void didSwitchTo2DView() {}
    virtual void willSwitchTo3DView() {}
    virtual void didSwitchTo3DView() {}
};
