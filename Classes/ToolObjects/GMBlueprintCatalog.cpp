#include "Classes/ToolObjects/GMBlueprintCatalog.h"

#include "Classes/ToolObjects/BundleReader.h"
#include "Classes/ToolObjects/GMBundleImage.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/Foundation/Log.h"

#include <QPainter>
#include <algorithm>
#include <thread>

namespace {

const QString NameKey = QStringLiteral("name");
const QString PathKey = QStringLiteral("path");
const QString SubCategoriesKey = QStringLiteral("subCategories");

// Walks (and extends) the category tree along the path's components.
void fileInTree(QVariantMap& node, const QStringList& components, int depth, const QString& parentPath)
{
    if (depth >= components.size())
        return;
    const QString& component = components[depth];
    QVariantMap children = node.value(SubCategoriesKey).toMap();
    QVariantMap child = children.value(component).toMap();
    if (child.isEmpty()) {
        child.insert(NameKey, component);
        child.insert(PathKey, depth == 0 ? component : parentPath + QLatin1Char('.') + component);
    }
    fileInTree(child, components, depth + 1, child.value(PathKey).toString());
    children.insert(component, child);
    node.insert(SubCategoriesKey, children);
}

QImage emptyIcon()
{
    QImage image(100, 100, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

} // namespace

GMBlueprintCatalog& GMBlueprintCatalog::sharedInstance()
{
    static GMBlueprintCatalog* shared = [] {
        auto* catalog = new GMBlueprintCatalog;
        BundleReader::loadAllPluginsInPhotoToolCatalog(*catalog);
        return catalog;
    }();
    return *shared;
}

void GMBlueprintCatalog::registerBlueprint(const QVariantMap& blueprint)
{
    std::lock_guard lock(m_mutex);
    const QString name = blueprint.value(NameKey).toString();
    const QString category = blueprint.value(QStringLiteral("category")).toString();
    // A replaced blueprint must not stay behind under its old category, nor as its parsed object.
    auto previous = m_byName.find(name);
    if (previous != m_byName.end()) {
        const QString oldCategory = previous->value(QStringLiteral("category")).toString();
        auto filed = m_byCategory.find(oldCategory);
        if (filed != m_byCategory.end())
            filed->remove(name);
        m_loaded.remove(name);
    }
    if (!category.isEmpty()) {
        fileInTree(m_hierarchy, category.split(QLatin1Char('.')), 0, QString());
        m_byCategory[category].insert(name, blueprint);
    }
    m_byName.insert(name, blueprint);
}

std::shared_ptr<GMEffectBlueprint> GMBlueprintCatalog::effectBlueprintWithName(const QString& name)
{
    QVariantMap dictionary;
    {
        std::lock_guard lock(m_mutex);
        auto loaded = m_loaded.find(name);
        if (loaded != m_loaded.end())
            return *loaded;
        auto it = m_byName.find(name);
        if (it == m_byName.end()) {
            pf::warning(QStringLiteral("BlueprintCatalog could not load %1").arg(name));
            return nullptr;
        }
        dictionary = *it;
    }
    // Parsed outside the lock (it builds filters); a blueprint made twice at once keeps the first.
    auto blueprint = std::make_shared<GMEffectBlueprint>(dictionary);
    std::lock_guard lock(m_mutex);
    auto existing = m_loaded.find(name);
    if (existing != m_loaded.end())
        return *existing;
    m_loaded.insert(name, blueprint);
    return blueprint;
}

QVariantMap GMBlueprintCatalog::blueprintDictionaryWithName(const QString& name) const
{
    std::lock_guard lock(m_mutex);
    return m_byName.value(name);
}

QStringList GMBlueprintCatalog::effectBlueprintNames() const
{
    std::lock_guard lock(m_mutex);
    return m_byName.keys();
}

QStringList GMBlueprintCatalog::effectBlueprintNamesInCategoryWithPath(const QString& path) const
{
    std::lock_guard lock(m_mutex);
    return m_byCategory.value(path).keys();
}

QVariantMap GMBlueprintCatalog::rootCategory() const
{
    std::lock_guard lock(m_mutex);
    return m_hierarchy;
}

QVariantList GMBlueprintCatalog::collectionViewItemsWithImage(const QImage& photo)
{
    const QImage thumbnail =
        photo.isNull() ? QImage() : photo.scaled(120, 120, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QVariantList items;
    QHash<QString, QVariantMap> dictionaries;
    {
        std::lock_guard lock(m_mutex);
        dictionaries = m_byName;
    }
    for (auto it = dictionaries.cbegin(); it != dictionaries.cend(); ++it) {
        // What a tile shows is in the dictionary: the blueprint's filters (and their kernels) are made
        // only when the effect is used.
        const QVariantMap& blueprint = *it;
        QVariantMap item;
        item.insert(QStringLiteral("displayName"),
                    pf::localized(blueprint.value(QStringLiteral("displayName")).toString()));
        item.insert(NameKey, it.key());
        if (const QVariant best = blueprint.value(QStringLiteral("best")); best.isValid())
            item.insert(QStringLiteral("best"), best);
        QImage before =
            GMBundleImage::qimageNamed(blueprint.value(QStringLiteral("previewBeforeIcon")).toString());
        if (before.isNull())
            before = thumbnail.isNull() ? emptyIcon() : thumbnail;
        QImage after =
            GMBundleImage::qimageNamed(blueprint.value(QStringLiteral("previewAfterIcon")).toString());
        if (after.isNull())
            after = emptyIcon();
        item.insert(QStringLiteral("previewBeforeIcon"), before);
        item.insert(QStringLiteral("previewAfterIcon"), after);
        items.append(item);
    }
    std::stable_sort(items.begin(), items.end(), [](const QVariant& a, const QVariant& b) {
        return a.toMap().value(QStringLiteral("displayName")).toString() <
               b.toMap().value(QStringLiteral("displayName")).toString();
    });
    return items;
}

std::shared_future<void> GMBlueprintCatalog::prepareAllInBackground()
{
    std::lock_guard lock(m_mutex);
    if (m_prepared.valid())
        return m_prepared;
    std::packaged_task<void()> task([this] {
        for (const QString& name : effectBlueprintNames())
            (void)effectBlueprintWithName(name);
    });
    m_prepared = task.get_future().share();
    std::thread(std::move(task)).detach();
    return m_prepared;
}
