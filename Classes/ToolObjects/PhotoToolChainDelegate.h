#pragma once

#include <QVariantMap>

class PhotoToolChain;
class OVBrushPathImage;

// Told of every change of a photo tool chain, synchronously, on the main thread.
class PhotoToolChainDelegate
{
public:
    virtual ~PhotoToolChainDelegate() = default;
    virtual void photoToolChainDidInsertToolAtIndex(PhotoToolChain* chain, int index) = 0;
    virtual void photoToolChainDidSelectToolAtIndex(PhotoToolChain* chain, int index) = 0;
    virtual void photoToolChainDidRemovedToolAtIndex(PhotoToolChain* chain, int index) = 0;
    virtual void photoToolChainRemovedAllTools(PhotoToolChain* chain) = 0;
    virtual void photoToolChainCompositionDidChangeAtIndex(PhotoToolChain* chain, int index) = 0;
    virtual void photoToolChainSettingsDidChange(PhotoToolChain* chain, const QVariantMap& settings,
                                                 int index) = 0;
    virtual void photoToolChainBrushPathDidChange(PhotoToolChain*, OVBrushPathImage*, int) {}
};
