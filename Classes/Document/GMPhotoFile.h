#pragma once

#include "Classes/Document/GMJPEGSegments.h"
#include "Classes/Document/GMPNGChunks.h"
#include "Platform/Image/Bitmap.h"

#include <QByteArray>
#include <QColorSpace>
#include <QImageIOHandler>
#include <QString>
#include <array>
#include <map>
#include <utility>
#include <vector>

class GMPaintedRegion;

// What a plain photo file is besides its pixels (format, channels, depth, JPEG quality, metadata, the
// turn its EXIF orientation asks for), and writing a retouched picture back into such a file the same
// way: saving over a photo must not change its kind, nor anything the retouch did not change. Safe from
// any thread.
class GMPhotoFile
{
public:
    struct Kind
    {
        QByteArray format; // Qt's format name: "jpeg", "png", "tiff", ...; empty when unknown
        bool hasAlpha = false;
        bool grey = false;
        int bitsPerComponent = 8;
        // Its samples are floating point (a TIFF's), which may hold values beyond 0..1.
        bool floatingPoint = false;
        int jpegQuality = -1; // estimated from the file's quantisation tables; -1 when unknown
        // A JPEG's metadata segments (APPn and comments: EXIF, colour profile, XMP...) as they stand.
        QByteArray jpegMetadata;
        // A PNG's chunks that a save over it keeps (profile, text, resolution, EXIF...) as they stand.
        GMPNGChunks::Kept pngChunks;
        // The file's colour space; invalid when it names none (sRGB).
        QColorSpace colorSpace;
        // What turns the stored pixels upright (reading applies it).
        QImageIOHandler::Transformations orientation = QImageIOHandler::TransformationNone;
        // The file's colour profile as its own bytes; empty when it has none.
        QByteArray iccProfile;
        // Its EXIF block (from the byte order mark) and XMP packet, whatever the kind keeps them in, for a
        // file of another kind made from it (Export); empty without them.
        QByteArray exif;
        QByteArray xmp;
        // A JPEG's layout: its components' sampling factors (horizontal, vertical), whether it is
        // progressive, and for four components (CMYK, or YCCK when `adobeTransform` is 2) whether its
        // inks are stored inverted, as the Adobe marker tells.
        std::vector<std::pair<int, int>> jpegSampling;
        // Its quantisation tables (its quality) by number, in natural order, and the table each
        // component uses: written with the same, the pixels no layer changed change least.
        std::map<int, std::array<quint16, 64>> jpegTables;
        std::vector<int> jpegTableOfComponent;
        // The pictures its multi-picture index names after the first (a depth or gain map, a preview),
        // as they stand.
        std::vector<GMJPEGSegments::Attachment> jpegAttachments;
        bool progressive = false;
        bool cmyk = false;
        int adobeTransform = -1; // -1: no Adobe marker
        // A WebP stored without loss, and its metadata chunks (EXIF, XMP) as they stand.
        bool lossless = false;
        QByteArray webpMetadata;
        // Its pixels are compressed without loss (a TIFF's LZW and the like): a save compresses them too.
        bool compressed = false;
        // A TIFF's compression and predictor (libtiff's numbers), and whether its alpha is premultiplied.
        int tiffCompression = 0;
        int tiffPredictor = 0;
        bool associatedAlpha = false;
        // A TIFF whose first page a save writes back in place: every other page, tag and strip kept.
        bool tiffRewritable = false;
        // Pictures the file holds (a TIFF's pages, a GIF's frames).
        int pages = 1;
        // A file of this format made from a photo of another kind: its metadata is `exif`, `xmp` and
        // `iccProfile` (nothing else of the photo's containers fits it) and its pixels are stored upright.
        bool madeFromAnother = false;
        // Why a save over the file cannot keep what it holds (more than one page, inks the writer cannot
        // store, no writer for its format); empty when it can be saved over.
        QString refusal;

        bool isValid() const { return !format.isEmpty(); }
    };

    GMPhotoFile() = delete;

    // Reads what the file's headers tell, without decoding its pixels. Invalid when it is no picture.
    static Kind inspect(const QString& path);
    static Kind inspectData(const QByteArray& data);

    // What a save takes besides the composed picture: the photo's own file as it was opened (the kept
    // original's bytes), whose stored values are written wherever no layer painted, and where the layers
    // painted (upright, the picture's size; null: everywhere).
    struct Source
    {
        QByteArray original;
        const GMPaintedRegion* painted = nullptr;
        // The photo's file as it is now, for what the original's bytes cannot tell (a TIFF's tags, when
        // the kept original is of another kind).
        QString file;
    };

    // The picture (upright, sRGB, as the application holds pictures) encoded as a file of that kind:
    // the same format, channels and depth, its colour space and orientation, its metadata (for JPEG a
    // quality no lower than its own, for PNG the chunks it keeps). Where the source's original is of
    // the same stored layout, every pixel no layer painted is the original's own stored value (a JPEG's
    // untouched MCUs its own coefficients, a TIFF's untouched strips its own bytes); the picture is
    // read only where they painted. Empty, with a message, when it cannot be encoded.
    static QByteArray encode(const pf::Bitmap& picture, const Kind& kind, QString* errorMessage,
                             const Source& source);
    static QByteArray encode(const pf::Bitmap& picture, const Kind& kind, QString* errorMessage);

    // The quality (1..100) a JPEG was written at, from its luminance quantisation table; -1 when the
    // data holds none.
    static int estimateJPEGQuality(const QByteArray& data);

    // The untouched original kept without loss: the file's own bytes where they are at hand (whatever its
    // kind), else the decoded picture as a PNG (16 bits per component where it has more than 8).
    static QByteArray losslessOriginal(const pf::Bitmap& decoded, const QByteArray& fileBytes);

    // The same kind for a new file (Save As, Export) of that format: everything the file's kind holds
    // when the format is its own, else invalid.
    static Kind forCopy(const Kind& kind, const QByteArray& format);
    // A file of another format (Export, Save As) made from a photo of that kind: what the format can
    // hold of it (depth, grey, transparency, colour profile, EXIF and XMP), stored upright. Invalid for
    // an invalid kind.
    static Kind forExport(const Kind& kind, const QByteArray& format);

    // The quality a JPEG gets when its own cannot be told.
    static constexpr int defaultJPEGQuality = 92;
    // A lossy WebP's quality cannot be told from the file.
    static constexpr int defaultWebPQuality = 90;
};
