#pragma once

#include "Platform/Image/Bitmap.h"

#include <QByteArray>
#include <QImage>
#include <QString>

// Writes pictures to files in the format their names ask for. Safe from any thread; failures come back
// as messages, and telling the user is the caller's affair.
class OVImageWriter
{
public:
    OVImageWriter() = delete;

    // Where and how an image named `path` is written. The final extension decides first: "jpg" and
    // "jpeg" give JPEG, "png" PNG, any other format Qt can write is written as itself under the same name.
    // Otherwise a name containing ".jpg" or ".jpeg" gives JPEG and one containing "png" PNG; failing
    // all that, the extension is replaced by "png" (a picture with alpha) or "jpg".
    struct ImageTarget
    {
        QString path;
        QByteArray format; // Qt's format name: "jpeg", "png", "tiff", ...
    };
    static ImageTarget targetForPath(const QString& path, bool hasAlpha);
    // Whether a picture named `path` is written under that very name.
    static bool writesUnderTheSameName(const QString& path);
    // The picture encoded as it would be written to `path` (into `writtenPath`); empty with a message
    // when it cannot be.
    static QByteArray encodedImage(const pf::Bitmap& bitmap, const QString& path, QString* errorMessage,
                                   QString* writtenPath);
    // Encodes and writes atomically; false with a message. `writtenPath` is the file written.
    static bool writeImage(const pf::Bitmap& bitmap, const QString& path, QString* errorMessage = nullptr,
                           QString* writtenPath = nullptr);
    static bool saveImage(const QImage& image, const QString& path, QString* errorMessage = nullptr);
};
