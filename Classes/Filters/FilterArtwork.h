#pragma once

#include "Platform/Foundation/Bundle.h"
#include "Platform/Image/Image.h"

#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <memory>

// The ready-made artwork of the decorating filters: image files in the resource folder of a type code
// ("ORV-M" masks in "Masks", "ORV-F" frames in "Frames", "ORV-S" shadows in "Shadows"), named
// "TYPE#NNN#name#options" with an image extension. Matching is on file names only, so the folder the
// application is installed in never decides what matches. Every function may be called from any thread.
class FilterArtwork
{
public:
    static inline const QString MaskType = QStringLiteral("ORV-M");
    static inline const QString FrameType = QStringLiteral("ORV-F");
    static inline const QString ShadowType = QStringLiteral("ORV-S");

    // The resource ID names ("TYPE#NNN#name") of the folder's image files, image types in their search
    // order (tiff, png, jpg, pdf) and by file name within each, leaving out files whose name contains
    // `avoiding` (when given). Read from disk once per process; the last entry is the default artwork.
    static QStringList choices(const QString& type, const QString& avoiding = {});
    // The attributes of an input that names one of those artworks: the choices, and the last of them
    // as the default when there is any.
    static QVariantMap choiceAttributes(const QString& type, const QString& avoiding = {});
    // The path of the first such file whose name contains `text` and not `avoiding`; empty when there
    // is none, and always for an empty text (which would otherwise match every file).
    static QString firstFileContaining(const QString& type, const QString& text,
                                       const QString& avoiding = {});
    // The path of the file of exactly that name in the type's folder, or empty.
    static QString fileNamed(const QString& type, const QString& fileName);
    // The picture in a file, and whether it has an alpha channel that is not opaque throughout; no image
    // when it cannot be read.
    static pf::Image read(const QString& path, bool* hasAlpha = nullptr);

    // A file looked up by a resource name: the first whose file name holds the name's type and number
    // ("ORV-F#003" for "ORV-F#003#Anything"; a name with neither finds nothing).
    struct Found
    {
        QString path;        // empty when nothing was found
        QString idName;      // the file's "TYPE#NNN#name" (the given name when nothing was found)
        QStringList options; // the file's options split at "-"; none without a file or options
    };
    static Found lookUp(const QString& type, const QString& name, const QString& avoiding = {});
    // lookUp, reporting what the decorating filters cannot use: options other than `count` numbers
    // ("Error: <what> <name> has wrong number of Name-Components ...", also when nothing was found)
    // and a name that finds no file ("Warning: <missing> '<name>' not found").
    static Found lookUpReported(const QString& type, const QString& name, const QString& avoiding, int count,
                                const QString& what, const QString& missing);

    // Tests point the look-up at a folder of their own; an empty path restores the application's
    // resources. Either way the lists of choices are read again.
    static void setResourcePathForTesting(const QString& resourcePath);

private:
    static std::shared_ptr<const pf::Bundle> bundle();
    static QStringList imageFiles(const QString& type);
};
