#pragma once

#include <QByteArray>
#include <QColorSpace>
#include <QString>
#include <functional>

class QIODevice;

// The ancillary chunks of a PNG that stay true when its pixels are encoded anew (colour profile and
// gamma, text, resolution, EXIF, and chunks marked safe to copy), read from the file without trusting
// it, and put back into a freshly encoded PNG in their places. Safe from any thread.
class GMPNGChunks
{
public:
    // Whole chunks (length, type, data, checksum) as the file has them, in its order.
    struct Kept
    {
        QByteArray header;       // the data of the file's IHDR (13 bytes); empty when it has none
        QByteArray beforePixels; // the chunks standing before its image data
        QByteArray afterPixels;  // those after it

        bool isValid() const { return header.size() == headerSize; }
        bool operator==(const Kept&) const = default;
    };

    GMPNGChunks() = delete;

    // The chunks of the PNG on the device (read from its start) that a save over it keeps. A chunk that
    // is damaged (its checksum does not match, it is cut short, its length or type is impossible) is
    // left out, with a warning naming `name`; after a damaged length or type nothing further is kept.
    // Invalid when the device holds no PNG.
    static Kept read(QIODevice* device, const QString& name);

    // `encoded` (a PNG just written) with the kept chunks in place of its own ancillary ones: those from
    // before the original's pixels before the new ones, the others after them. Chunks whose meaning
    // hangs on the layout of the pixels (background colour, significant bits) are kept only when the
    // new file stores its pixels as the original did. `encoded` as it is when it is no sound PNG.
    static QByteArray merged(const QByteArray& encoded, const Kept& kept);

    // The colour space a PNG reader gives pixels stored under the kept chunks; invalid where they name
    // none (sRGB is then assumed).
    static QColorSpace colorSpace(const Kept& kept);

    // The EXIF block (eXIf) and the XMP packet (an uncompressed iTXt "XML:com.adobe.xmp") the kept
    // chunks hold; empty without them.
    static QByteArray exif(const Kept& kept);
    static QByteArray xmp(const Kept& kept);
    // The kept chunks with the EXIF block `edit` gives in place of their own (none where it gives none).
    static Kept withExif(const Kept& kept, const std::function<QByteArray(const QByteArray&)>& edit);
    // Chunks carrying a colour profile, an EXIF block and an XMP packet, for a PNG made from a file of
    // another kind.
    static Kept metadata(const QByteArray& profile, const QByteArray& exif, const QByteArray& xmp);

    static constexpr int headerSize = 13;
    // Kept chunks beyond this many bytes in all are left out: a file may claim any length.
    static constexpr qint64 keptLimit = qint64(16) << 20;
};
