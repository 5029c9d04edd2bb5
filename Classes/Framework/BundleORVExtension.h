#pragma once

#include "Platform/Foundation/Bundle.h"

#include <QImage>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

// Image resources of a bundle, found by name, prefix and folder, with their high-resolution ("@2x")
// variants, and the table from resource type codes ("ORV-B") to their folders ("Backgrounds").
// Every function may be called from any thread.
namespace ORVExtension {

// Adds or replaces a row of the type-code table.
void registerResourceDirectory(const QString& directory, const QString& type);
// The folder of that type code, or empty.
QString directoryForResourceType(const QString& type);

// The first image file (tiff, png, jpg or pdf, in name order) in base/directory whose name without
// extension begins with the prefix (when given) and does not end with the avoided text (when given).
// When there is none and `base` holds a symbolic link "Base.lnk", the search goes on from the link's
// destination (a relative one taken from the current folder). Empty when nothing is found; a folder
// that cannot be listed, a link that cannot be read and links that lead in a circle are logged.
QUrl URLForImageResourceIn(const QString& base, const QString& prefix, const QString& directory,
                           const QString& avoiding);

// The backing scale of the screen the user works on (of the focused window; 1 without one). Tests
// replace it; an empty function restores the real one.
void setBackingScaleFactorProvider(std::function<double()> provider);
double backingScaleFactor();

// Images are loaded from the bundle's resources folder; a null QImage when nothing is found.
QImage imageNamed(const pf::Bundle& bundle, const QString& name);
// Type "tiff" with the preference; if none, "png" without it (a PNG always prefers the plain file);
// if none, "jpg" with it.
QImage imageNamed(const pf::Bundle& bundle, const QString& name, bool prefer2X);
QImage imageNamed(const pf::Bundle& bundle, const QString& name, const QString& type);
// With the preference: name@2x first, then the plain name. Without it: the plain name, then name@2x
// only on a screen of backing scale below 1.5.
QImage imageNamed(const pf::Bundle& bundle, const QString& name, const QString& type, bool prefer2X);
QString pathForImageNamed(const pf::Bundle& bundle, const QString& name);
// The first "tiff" resource whose path contains the prefix, cleaned of variant marks ("~iPad",
// "~iPhone", "@2x") and loaded by that name.
QImage imageWithPrefix(const pf::Bundle& bundle, const QString& prefix);
QString pathForImageWithPrefix(const pf::Bundle& bundle, const QString& prefix);
// Over the image types in order, the first resource path of the folder that contains the prefix and
// not the avoided text (when given).
QString pathForImageResourceWithPrefix(const pf::Bundle& bundle, const QString& prefix,
                                       const QString& directory, const QString& avoiding);
QStringList pathsForImageResourcesAvoding(const pf::Bundle& bundle, const QString& avoiding,
                                          const QString& directory);
QStringList resourceIDNamesForImageResourcesAvoding(const pf::Bundle& bundle, const QString& avoiding,
                                                    const QString& directory);
// One path per "tiff" image of the folder (the resources folder itself when empty): the plain file
// where there is one, else the variant itself.
QStringList imagePathsInDirectory(const pf::Bundle& bundle, const QString& directory);

// The image file types, in search order.
QStringList imageFileTypes();

} // namespace ORVExtension
