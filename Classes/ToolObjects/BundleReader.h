#pragma once

#include <QString>

class GMBlueprintCatalog;

namespace pf {
class Bundle;
}

// Loads effect blueprints from the resources into a catalog: "BundleInfo.plist" names further plists
// (its values, read in sorted key order), each mapping effect names to blueprint dictionaries.
class BundleReader
{
public:
    static void loadAllPluginsInPhotoToolCatalog(GMBlueprintCatalog& catalog);
    static void loadAllPluginsInPhotoToolCatalog(GMBlueprintCatalog& catalog, const pf::Bundle& bundle);
    static void loadPluginsFromBundle(const QString& plistName, GMBlueprintCatalog& catalog,
                                      const pf::Bundle& bundle);
};
