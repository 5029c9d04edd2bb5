#pragma once

#include "Platform/Image/Bitmap.h"
#include "Platform/Image/Image.h"

#include <QByteArray>
#include <QImage>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QVariantMap>

// The framework's file service: images written to a file in the format its name asks for, random
// names, unique names in a folder, temporary image files and the working area's folders. Safe from any
// thread; the alert of a failed write is always shown on the main thread.
class OVBundleManager
{
public:
    OVBundleManager() = delete;

    // As OVImageWriter::writeImage (which picks the format, encodes and writes), but a failure is told
    // to the user in an alert ("Could not save File").
    static bool saveBitmapRep(const pf::Bitmap& bitmap, const QString& path);
    static bool saveImage(const QImage& image, const QString& path);
    // Renders the recipe over its extent first (a recipe of infinite extent cannot be saved).
    static bool saveCIImage(const pf::Image& image, const QString& path);

    // `length` characters of a-z, A-Z and 0-9 from the system's entropy, drawn again while `avoid`
    // holds the result.
    static QString randomStringWithLength(int length, const QStringList& avoid = {});
    // The image in a new temporary place (10 random characters; with a name, a folder of that name
    // holding the file); an extension other than "jpg" or "png" gets ".jpg". Registered for deletion at
    // quit. Empty when it could not be written.
    static QString tempFileForImage(const QImage& image, const QString& name = QString());
    // The first of "name", "stem 1.ext", "stem 2.ext", ... that does not exist in `directory`.
    static QString uniqueFileURL(const QString& name, const QString& directory);
    // The folder of that kind with `component` appended, created with its parents; empty (with the
    // reason) when there is none or it cannot be made.
    static QString directoryPath(QStandardPaths::StandardLocation kind, const QString& component,
                                 QString* errorMessage = nullptr);
    static QString applicationSupportDirectory();
    static QVariantMap shadowCopyDictionary();

    // The support address named in failure messages (the "SupportMail" link); empty when none is set.
    static QString supportAddress();
};
