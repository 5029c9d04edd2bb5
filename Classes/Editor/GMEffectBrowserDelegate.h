#pragma once

#include <QString>

class GMEffectBrowserController;

// What the effect browser tells the window controller: the user picked an effect to add as a layer, and
// the effect under the pointer changed (a null name: none).
class GMEffectBrowserDelegate
{
public:
    virtual ~GMEffectBrowserDelegate() = default;
    virtual void effectBrowserControllerAddPhotoTool(GMEffectBrowserController* browser,
                                                     const QString& name) = 0;
    virtual void effectBrowserControllerHoveredFilterDidChange(GMEffectBrowserController* browser,
                                                               const QString& name) = 0;
};
