#pragma once

#include "Classes/ToolObjects/GMCompositionWrapper.h"
#include "Classes/ToolObjects/GMContentFilterWrapper.h"
#include "Classes/ToolObjects/GMEffectBlueprint.h"
#include "Classes/ToolObjects/OVBrushFramework/OVContentContainer.h"
#include "Platform/Foundation/Size.h"

#include <QStringList>
#include <QVariantMap>
#include <memory>
#include <optional>

// One applied effect: its blueprint, its current settings and the snapshot of the settings at the
// last saved state (what an undo of a settings change returns to). The background tool has no blueprint.
class PhotoTool
{
public:
    // Without settings the blueprint's defaults are used; given settings are taken as they are.
    PhotoTool(std::shared_ptr<GMEffectBlueprint> blueprint, const std::optional<QVariantMap>& settings);

    std::shared_ptr<GMEffectBlueprint> blueprint() const { return m_blueprint; }
    QVariantMap settings() const { return m_settings; }
    // Merges the dictionary into the settings; with saveState the result becomes the saved state.
    void setSettings(const QVariantMap& settings, bool saveState);
    void setValueForInputKey(const QVariant& value, const QString& key) { m_settings.insert(key, value); }
    QVariant valueForInputKey(const QString& key) const;
    bool hasInputForInputKey(const QString& key) const;
    QVariant defaultBrushValueForKey(const QString& key) const;
    QStringList brushTypes() const;

    QVariantMap savedSettingsState() const { return m_savedSettings; }
    void setSavedSettingsState(const QVariantMap& state) { m_savedSettings = state; }
    void saveCurrentSettingsState() { m_savedSettings = m_settings; }

    // Fresh wrappers loaded with these settings (null for the background tool).
    std::shared_ptr<GMCompositionWrapper> compositionFilter() const;
    std::shared_ptr<GMContentFilterWrapper> contentFilter() const;
    // A new, fully transparent mask of the size; with a 1 x 1 transparent additional image when the
    // effect paints one (prepared before the first stroke).
    OVContentContainerPtr contentContainerForSize(const pf::Size& size) const;

    // A fully transparent image of (0, 0, width, height).
    static pf::Image transparentImage(const pf::Size& size);
    // The stubble texture "BeardStubble" tiled over (0, 0, width, height), one tile half a face wide
    // (face width / image width; 0 or less stands for a face half the photo wide). No image when the
    // texture is missing.
    static pf::Image beardStubbleImage(const pf::Size& size, double faceWidth);

private:
    std::shared_ptr<GMEffectBlueprint> m_blueprint;
    QVariantMap m_settings;
    QVariantMap m_savedSettings;
};

using PhotoToolPtr = std::shared_ptr<PhotoTool>;
