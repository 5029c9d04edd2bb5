#pragma once

#include "Classes/ToolObjects/GMEffectBlueprint.h"

#include <QHash>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <future>
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
    // present), "previewBeforeIcon" and "previewAfterIcon" (QImage). Taken from the registered
    // dictionaries: no blueprint is made for them.
    QVariantList collectionViewItemsWithImage(const QImage& photo);

    // Makes every registered blueprint on a thread of its own (its filters built, its kernels compiled),
    // so that neither a window nor the first effect chosen waits for that. Started once; the future is
    // ready when all are made.
    std::shared_future<void> prepareAllInBackground();

private:
    mutable std::mutex m_mutex;
    QVariantMap m_hierarchy;
    QHash<QString, QVariantMap> m_byCategory; // category -> name -> blueprint
    QHash<QString, QVariantMap> m_byName;
    QHash<QString, std::shared_ptr<GMEffectBlueprint>> m_loaded;
    std::shared_future<void> m_prepared;
};
