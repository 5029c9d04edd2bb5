#pragma once

#include "Classes/ToolObjects/GMEffectBlueprint.h"

#include <QHash>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <memory>
#include <mutex>

// The process-wide registry of effects: blueprint dictionaries by name and by category, and the
// effect blueprint made from each on first use (a blueprint is parsed at most once).
class GMBlueprintCatalog
{
public:
    // Created on first use, loading every blueprint the application's resources list.
    static GMBlueprintCatalog& sharedInstance();
    // An empty catalog (tests and tools fill it themselves).
    GMBlueprintCatalog() = default;
    GMBlueprintCatalog(const GMBlueprintCatalog&) = delete;
    GMBlueprintCatalog& operator=(const GMBlueprintCatalog&) = delete;

    // Files the dictionary under its "name" and its dotted "category". A later blueprint of the same
    // name replaces the earlier one everywhere.
    void registerBlueprint(const QVariantMap& blueprint);

    // Null, with "Warning: BlueprintCatalog could not load <name>", for an unknown name.
    std::shared_ptr<GMEffectBlueprint> effectBlueprintWithName(const QString& name);
    // The registered dictionary (empty for an unknown name), without making the blueprint.
    QVariantMap blueprintDictionaryWithName(const QString& name) const;
    QStringList effectBlueprintNames() const;
    QStringList effectBlueprintNamesInCategoryWithPath(const QString& path) const;
    // The category tree: nodes with "name", "path" and "subCategories"; the root has only the latter.
    QVariantMap rootCategory() const;

    // The effect browser's items, sorted by localised display name: "displayName", "name", "best" (when
    // present), "previewBeforeIcon" and "previewAfterIcon" (QImage).
    QVariantList collectionViewItemsWithImage(const QImage& photo);

private:
    mutable std::mutex m_mutex;
    QVariantMap m_hierarchy;
    QHash<QString, QVariantMap> m_byCategory; // category -> name -> blueprint
    QHash<QString, QVariantMap> m_byName;
    QHash<QString, std::shared_ptr<GMEffectBlueprint>> m_loaded;
};
