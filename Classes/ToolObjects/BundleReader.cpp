#include "Classes/ToolObjects/BundleReader.h"

#include "Classes/ToolObjects/GMBlueprintCatalog.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/FileRead.h"

namespace {

// The plist of that name at the top of the resources or in "Blueprints"; empty when it is missing
// (silently) or damaged (with a warning).
QVariantMap readPlist(const QString& name, const pf::Bundle& bundle)
{
    QString path = bundle.pathForResource(name, QStringLiteral("plist"), QStringLiteral("Blueprints"));
    if (path.isEmpty())
        path = bundle.pathForResource(name, QStringLiteral("plist"));
    if (path.isEmpty())
        return {};
    return pf::FileRead::dictionary(path, QStringLiteral("BundleReader could not read %1: %2"))
        .value_or(QVariantMap());
}

} // namespace

void BundleReader::loadAllPluginsInPhotoToolCatalog(GMBlueprintCatalog& catalog)
{
    loadAllPluginsInPhotoToolCatalog(catalog, pf::Bundle::main());
}

void BundleReader::loadAllPluginsInPhotoToolCatalog(GMBlueprintCatalog& catalog, const pf::Bundle& bundle)
{
    const QVariantMap info = readPlist(QStringLiteral("BundleInfo"), bundle);
    for (auto it = info.begin(); it != info.end(); ++it)
        loadPluginsFromBundle(it.value().toString(), catalog, bundle);
}

void BundleReader::loadPluginsFromBundle(const QString& plistName, GMBlueprintCatalog& catalog,
                                         const pf::Bundle& bundle)
{
    const QVariantMap effects = readPlist(plistName, bundle);
    for (auto it = effects.begin(); it != effects.end(); ++it) {
        QVariantMap blueprint = it.value().toMap();
        blueprint.insert(QStringLiteral("name"), it.key());
        catalog.registerBlueprint(blueprint);
    }
}
