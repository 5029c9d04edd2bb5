#pragma once

#include <QImage>
#include <QStandardPaths>
#include <QString>
#include <QUrl>
#include <QVariantMap>

// The application's working area in the user's data folder and the shadow-copy registry: which plain
// image files have an editable shadow copy, a folder of the working area named by a random
// 20-character name.
//
// The registry is the property list "files" in the application's folder: original path ->
// {"filename": folder name, "modification_time": date, "pinned": boolean}. Its "filename" values are
// trusted only when they are names this class makes (20 letters and digits), so a damaged or forged
// registry can never make it touch anything outside the application's folder. Changes read the registry
// whole and write it whole under a process-wide lock. A registry that cannot be read counts as empty and
// is kept aside as "files.damaged" before anything overwrites it.
class GMFileUtilities
{
public:
    GMFileUtilities() = delete;

    // `length` characters from a-z, A-Z and 0-9, drawn from the system's entropy; empty for length <= 0.
    static QString genRandStringLength(int length);
    // Whether `name` is a folder name genRandStringLength(20) could have made.
    static bool isShadowCopyFilename(const QString& name);

    // The first writable folder of that kind, with the component appended when given, created with its
    // missing parents. On success `error` is cleared; on a failed creation it says why and the result
    // is empty; when the kind has no folder the result is empty and `error` is left as it was.
    static QString findOrCreateDirectory(QStandardPaths::StandardLocation kind,
                                         const QString& appendComponent, QString* error);
    // The application's folder, created when missing; empty, with the warning "Unable to find or create
    // application support directory:" and the reason, when it cannot be made.
    static QString applicationSupportDirectory();
    // Creates the folder and its missing parents (succeeds when it exists).
    static bool createDirectoryAtURL(const QUrl& url, QString* error);

    // The registry; empty when it is missing or unreadable.
    static QVariantMap shadowCopyDictionary();
    // Writes the registry atomically (XML). Failures are logged.
    static bool writeDictionaryAsShadowCopyDictionary(const QVariantMap& dictionary);
    // The folder of the image's shadow copy: the registered one (its time moved to now), or a new name
    // registered for it. The folder itself is not created. Empty without an application folder, and
    // (with an error logged) when a new name cannot be registered.
    static QUrl handleURLAsShadowCopy(const QUrl& imageURL);
    // "preview.jpg" of that shadow-copy folder; null when unreadable or not a shadow-copy name.
    static QImage previewImageForShadowCopyWithFilename(const QString& filename);
    // For a registered path: "pinned" and "modification_time" = now. Nothing for other paths.
    static void setPinned(bool pinned, const QString& path);
    // Merges `values` into a registered entry (an invalid value removes its key; "filename" is never
    // changed). False for an unregistered path or when the registry cannot be written.
    static bool setShadowCopyValues(const QString& path, const QVariantMap& values);
    // Deletes the path's shadow-copy folder (when registered) and its entry; the registry is written in
    // any case.
    static void removeShadowCopyWithPath(const QString& path);
};
