#pragma once

#include "Platform/Image/Image.h"

#include <QStringList>
#include <QVariantMap>

// What an effect hands its output to: the next effect of a chain, or the host at the chain's end.
class OVEffectSuccessor
{
public:
    virtual ~OVEffectSuccessor() = default;
    virtual void setInputImage(const pf::Image& image) = 0;
    virtual void setGlobalSettings(const QVariantMap& settings) = 0;
    virtual void removeImageInput() = 0;
    // Appends the temporary copies of user-chosen images the chain uses (each once).
    virtual void addResourcesToArray(QStringList& resources) = 0;
};
