#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>
#include <memory>

class OVEffect;

// The framework effects the application offers, read once from the bundle's "Effects.plist" (an array
// of effect descriptions). Makes effects by their shown (localised) name or from stored settings, and
// brings the settings of renamed effects up to date. Main thread only.
class OVEffectsCatalog
{
public:
    // Made on first use from the "Effects" resource; empty when the resource is missing or unreadable.
    static OVEffectsCatalog& sharedEffectsCatalog();

    explicit OVEffectsCatalog(const QVariantList& descriptions = {});

    // Keyed by "name", else "ciName", else "displayName"; a description without any is skipped with a
    // warning. A later description with the same key or shown name replaces the earlier one.
    void addEffectWithDescription(const QVariantMap& description);

    // A new effect with no settings; null for an unknown name.
    std::unique_ptr<OVEffect> effectForDisplayName(const QString& displayName) const;
    // A new effect carrying stored settings (the effect's external form), migrated first. Settings
    // naming no catalogued effect make an effect of that name alone; settings without a name make none.
    std::unique_ptr<OVEffect> effectWithSettings(const QVariantMap& settings) const;
    // effectWithSettings() of the shared catalog.
    static std::unique_ptr<OVEffect> effectForSettings(const QVariantMap& settings);
    // Settings of an effect that was renamed, or whose inputs were, in today's names.
    static QVariantMap verifyEffectSettings(const QVariantMap& settings);

    // Effect key to its description (whose "displayName" is the localised one).
    const QHash<QString, QVariantMap>& catalog() const { return m_catalog; }
    // The localised shown names, case-insensitively sorted.
    const QStringList& sortedDisplayNames() const { return m_sortedDisplayNames; }

private:
    void sortDisplayNames();

    QHash<QString, QVariantMap> m_catalog;
    QHash<QString, QString> m_displayNames; // localised shown name -> effect key
    QStringList m_sortedDisplayNames;
};
