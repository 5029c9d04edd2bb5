#pragma once

#include "Classes/Document/GMPaintedRegion.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <functional>

// Writing TIFFs as the photo's file held them. A save over a TIFF writes its first page back in place:
// the strips (or tiles) no painted pixel touches keep their bytes, the touched ones are decoded, given
// the retouched pixels where painted and encoded again with the file's own compression, and every
// other byte of the file (its tags, its other pages, its metadata) stays. A TIFF of another source is
// written whole, with the descriptive tags of the photo's file. Safe from any thread.
class GMTIFFWriter
{
public:
    GMTIFFWriter() = delete;

    // The retouched pixels for a rectangle of the stored picture, in the file's colours, straight: RGBA64
    // for 16-bit samples, RGBA8888 for 8, RGBA32FPx4 for floating point.
    using Pixels = std::function<QImage(const QRect& stored)>;

    // `original` with the strips or tiles of its first page that `painted` (stored coordinates) touches
    // written anew. Empty, with a message, when its first page cannot be written so.
    static QByteArray patched(const QByteArray& original, const GMPaintedRegion& painted,
                              const Pixels& pixels, QString* errorMessage);

    struct Options
    {
        bool grey = false;
        bool alpha = false;
        bool associatedAlpha = false;
        bool floatingPoint = false;
        int bits = 8; // 8 or 16 (32 for floating point)
        int compression = 1;
        int predictor = 1;
        int jpegQuality = 90; // for a JPEG-compressed TIFF
        int orientation = 1;
        QByteArray iccProfile;
        QByteArray xmp;
        // A TIFF whose first page's descriptive tags (artist, make, description, resolution, dates, XMP
        // and the like) the new file carries.
        QByteArray tagsFrom;
    };
    // A TIFF of `image` (stored as it is to be, straight: RGBA64, RGBA8888 or RGBA32FPx4; grey taken
    // from its colours). Empty, with a message, when it cannot be written.
    static QByteArray written(const QImage& image, const Options& options, QString* errorMessage);
};
