#pragma once

#include "Platform/Image/Bitmap.h"

#include <QByteArray>
#include <QImageIOHandler>
#include <QString>

namespace pf {

// Reading and writing image files. Reading takes every format Qt's image plug-ins know, turns the
// picture upright by its EXIF orientation, converts other colour profiles to sRGB and keeps 16-bit
// files at full precision (as RGBAf or Gray16). Writing is atomic: the file appears whole or not at all.
class ImageFile
{
public:
    // How closely a picture is kept. Compact: 8 bits a component where the file has 8 (transparency
    // premultiplied in them), other profiles converted to sRGB within its range. Exact, for a photo
    // that may be written back: float where 8 bits would lose something (partial transparency, a
    // profile other than sRGB, converted without clipping the colours sRGB cannot show), so that every
    // pixel converts back to what the file held.
    enum class Precision
    {
        Compact,
        Exact
    };

    // A null bitmap, with a message fit for the user, when the file is missing, unreadable or damaged.
    // `reduction`: read Exact, why the picture is held in less than the file holds (too large for its
    // exact copy, it is converted to sRGB in 8 bits); empty when it is not.
    static Bitmap read(const QString& path, QString* errorMessage = nullptr,
                       Precision precision = Precision::Compact, QString* reduction = nullptr);
    static Bitmap readData(const QByteArray& data, QString* errorMessage = nullptr,
                           Precision precision = Precision::Compact, QString* reduction = nullptr);
    // A picture this application wrote itself (a layer's mask or healed pixels): read as `read` does, within
    // a limit that admits everything the application can make for the largest photo it opens, so that
    // what was saved always reads back.
    static Bitmap readWritten(const QString& path, QString* errorMessage = nullptr);
    // What one picture from elsewhere may take, in megabytes (tests make it small; 0 gives back the usual).
    static void setAllocationLimitForTesting(int megabytes);

    // What the exact copy of an 8-bit opaque picture may take, in megabytes, before the picture is held
    // in 8 bits instead (tests make it small; 0 gives back the usual limit).
    static void setExactCopyLimitForTesting(int megabytes);

    // What turns the file's stored pixels upright, as reading does: a JPEG's EXIF orientation, and a
    // PNG's (which Qt's reader does not tell).
    static QImageIOHandler::Transformations orientation(const QString& path);
    static QImageIOHandler::Transformations orientation(const QByteArray& data);

    // A 16-bit RGB PNG with a transparent colour (a tRNS key), decoded as 16-bit RGBA with that colour
    // clear: Qt's reader lays its three-sample rows into four-sample pixels. Null for any other file,
    // which Qt's reader reads as it is.
    static QImage deepKeyedPNG(const uchar* data, qint64 size);

    // PNG: grey bitmaps as grey, others as RGBA; 8 or 16 bits per component.
    static QByteArray encodePNG(const Bitmap& bitmap, int bitsPerComponent = 8);
    // JPEG at a quality from 0 to 1; alpha is dropped (composited over black).
    static QByteArray encodeJPEG(const Bitmap& bitmap, double quality = 0.9);

    static bool writePNG(const Bitmap& bitmap, const QString& path, int bitsPerComponent = 8,
                         QString* errorMessage = nullptr);
    static bool writeJPEG(const Bitmap& bitmap, const QString& path, double quality = 0.9,
                          QString* errorMessage = nullptr);
};

} // namespace pf
