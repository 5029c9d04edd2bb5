#pragma once

#include "Classes/Frames/OVTextureDescription.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <memory>

// The texture images that frames and the texturize filter fill shapes with: every "jpg" of a resource
// type's folder ("ORV-T", "Textures"), its drawing options parsed from the file name, found by ID name
// ("ORV-T#010#Wood-Light-Knots"), by resource ID ("ORV-T#010") or by plain name ("Wood-Light-Knots").
// Main thread only.
class OVTextureCatalog
{
public:
    // The catalog of "ORV-T" in the main bundle, made on first use.
    static OVTextureCatalog& sharedTextureCatalog();
    // "Plain Color", "-", then the shared catalog's ID names and the headers "Paper -" and "Wood -",
    // sorted by their localised texts. Made once.
    static const QStringList& sharedTextureNames();
    // The attribute record of a filter input that names one of the shared textures: the names to choose
    // from, the first as the default.
    static QVariantMap textureNameAttributes();

    // Every "jpg" in the type's folder of `resourcePaths` (the main bundle's folders when empty), in
    // name order, so that a later file with the same name part wins predictably.
    explicit OVTextureCatalog(const QString& resourceType, const QStringList& resourcePaths = {});

    // Parses one texture file's options and registers it; a later file with the same ID name, resource
    // ID or plain name replaces the earlier mapping.
    void addTextureWithFileName(const QString& path);
    // The texture by ID name, resource ID or plain name; `name` becomes the texture's ID name, or empty
    // when nothing matches.
    std::shared_ptr<const OVTextureDescription> textureForName(QString& name) const;
    const QStringList& textureIDNames() const { return m_textureIDNames; }

    // The display text of a resource's name part: the first "-" parts the group from the rest, which
    // reads with blanks ("Wood-Light-Knots" gives "Wood - Light Knots"), so that menus sorted by
    // display text put it under its group's header ("Wood -").
    static QString displayTextForName(const QString& name);
    // Registers that text (OVLocalizeHelper) as the display text of the resource's ID name.
    static void registerDisplayText(const QString& idName, const QString& name);

    // The options of a texture file name (what follows the third "#"), as the catalog reads them.
    static OVTextureDescription descriptionForOptions(const QString& path, const QString& options);

private:
    QHash<QString, std::shared_ptr<const OVTextureDescription>> m_textureDetails;
    QHash<QString, QString> m_textureIDs;
    QHash<QString, QString> m_textureNames;
    QStringList m_textureIDNames;
};
