#include "Classes/Document/GMPNGChunks.h"

#include "Platform/Foundation/Log.h"

#include <QIODevice>
#include <QImage>
#include <QtEndian>
#include <zlib.h>

namespace {

const QByteArray signature("\x89PNG\r\n\x1a\n", 8);

// The largest length a chunk may have.
constexpr quint32 lengthLimit = 0x7FFFFFFFu;

enum class Policy
{
    Drop,
    Keep,
    KeepWithSameLayout,
};

bool isChunkType(const QByteArray& type)
{
    if (type.size() != 4)
        return false;
    for (const char c : type)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
            return false;
    return true;
}

bool isCritical(const QByteArray& type)
{
    return (type[0] & 0x20) == 0;
}

// Whether a chunk stays true once the pixels are encoded anew, in the same colour space, size and
// orientation but perhaps in another layout (the encoder chooses its own bit depth and colour type).
Policy policy(const QByteArray& type)
{
    if (isCritical(type))
        return Policy::Drop;
    // Chunks marked unsafe to copy that the application knows stay true: the colour the pixels are
    // converted back into, the physical scale.
    static const QByteArrayList known{"iCCP", "sRGB", "gAMA", "cHRM", "cICP", "mDCV", "cLLI", "sCAL"};
    if (known.contains(type))
        return Policy::Keep;
    // A background colour and the significant bits are written in the terms of the stored layout.
    if (type == "bKGD" || type == "sBIT")
        return Policy::KeepWithSameLayout;
    // Anything else only where it says it may be copied into an edited file (text, resolution, EXIF
    // and the like). That leaves out the transparency and palette chunks, the modification time, an
    // animation's frames and a signature, all made untrue by the new pixels.
    return (type[3] & 0x20) != 0 ? Policy::Keep : Policy::Drop;
}

quint32 checksum(const char* typeAndData, qint64 size)
{
    uLong crc = crc32(0, nullptr, 0);
    // zlib takes at most 4 GB at once; a chunk holds at most 2 GB.
    return quint32(crc32(crc, reinterpret_cast<const Bytef*>(typeAndData), uInt(size)));
}

QByteArray chunk(const char* type, const QByteArray& data)
{
    QByteArray out(4, Qt::Uninitialized);
    qToBigEndian(quint32(data.size()), out.data());
    out.append(type, 4);
    out.append(data);
    char crc[4];
    qToBigEndian(checksum(out.constData() + 4, 4 + data.size()), crc);
    out.append(crc, 4);
    return out;
}

struct Span
{
    QByteArray type;
    qsizetype start = 0; // at its length
    qsizetype end = 0;   // one past its checksum
};

// The chunks of data that are whole, from `from` on (past the signature of a file, 0 in a run of chunks).
std::vector<Span> spans(const QByteArray& data, qsizetype from)
{
    std::vector<Span> out;
    qsizetype i = from;
    while (i + 12 <= data.size()) {
        const quint32 length = qFromBigEndian<quint32>(data.constData() + i);
        const QByteArray type = data.mid(i + 4, 4);
        if (length > lengthLimit || !isChunkType(type) || qsizetype(length) > data.size() - i - 12)
            break;
        out.push_back({type, i, i + 12 + qsizetype(length)});
        i += 12 + qsizetype(length);
    }
    return out;
}

// The kept chunks of a run, less those tied to a stored layout the new file does not share.
QByteArray chunksFor(const QByteArray& run, bool sameLayout)
{
    QByteArray out;
    for (const Span& s : spans(run, 0))
        if (sameLayout || policy(s.type) != Policy::KeepWithSameLayout)
            out += run.mid(s.start, s.end - s.start);
    return out;
}

} // namespace

GMPNGChunks::Kept GMPNGChunks::read(QIODevice* device, const QString& name)
{
    if (!device || !device->seek(0) || device->read(signature.size()) != signature)
        return {};
    Kept kept;
    qint64 total = 0;
    bool pixelsSeen = false;
    const auto leftOut = [&](const QByteArray& type, const QString& why) {
        pf::warning(QStringLiteral("The chunk “%1” of “%2” %3: saving over the picture leaves it out")
                        .arg(QString::fromLatin1(type), name, why));
    };
    const auto skip = [&](quint32 length) { return device->seek(device->pos() + qint64(length) + 4); };
    QByteArray previous;
    for (;;) {
        const QByteArray head = device->read(8);
        if (head.size() < 8) {
            // The file ends without its closing chunk: the decoder had what it needed, or it failed.
            break;
        }
        const quint32 length = qFromBigEndian<quint32>(head.constData());
        const QByteArray type = head.mid(4, 4);
        if (length > lengthLimit || !isChunkType(type)) {
            if (kept.isValid())
                pf::warning(QStringLiteral("“%1” is damaged after its chunk “%2”: saving over the picture "
                                           "keeps none of the chunks from there on")
                                .arg(name, QString::fromLatin1(previous)));
            break;
        }
        previous = type;
        if (!kept.isValid()) {
            // A PNG starts with its header, of a fixed size.
            if (type != "IHDR" || length != quint32(headerSize))
                return {};
            const QByteArray body = device->read(headerSize + 4);
            if (body.size() != headerSize + 4)
                return {};
            kept.header = body.left(headerSize);
            continue;
        }
        if (type == "IEND")
            break;
        if (type == "IDAT")
            pixelsSeen = true;
        if (policy(type) == Policy::Drop) {
            if (!skip(length))
                break;
            continue;
        }
        if (total + 12 + qint64(length) > keptLimit) {
            leftOut(type, QStringLiteral("is too large to keep (%1 bytes)").arg(length));
            if (!skip(length))
                break;
            continue;
        }
        const QByteArray body = device->read(qint64(length) + 4);
        if (body.size() != qsizetype(length) + 4) {
            leftOut(type, QStringLiteral("is cut short"));
            break;
        }
        const QByteArray whole = head + body;
        if (checksum(whole.constData() + 4, 4 + qint64(length)) !=
            qFromBigEndian<quint32>(whole.constData() + whole.size() - 4)) {
            leftOut(type, QStringLiteral("is damaged (its checksum does not match)"));
            continue;
        }
        (pixelsSeen ? kept.afterPixels : kept.beforePixels) += whole;
        total += whole.size();
    }
    return kept;
}

QByteArray GMPNGChunks::merged(const QByteArray& encoded, const Kept& kept)
{
    if (!kept.isValid() || !encoded.startsWith(signature))
        return encoded;
    const std::vector<Span> own = spans(encoded, signature.size());
    if (own.size() < 2 || own.front().type != "IHDR" ||
        own.front().end - own.front().start != 12 + headerSize || own.back().type != "IEND")
        return encoded;
    // Bit depth and colour type follow the width and height.
    const bool sameLayout = encoded.mid(own.front().start + 8 + 8, 2) == kept.header.mid(8, 2);
    QByteArray out = signature + encoded.mid(own.front().start, own.front().end - own.front().start);
    out += chunksFor(kept.beforePixels, sameLayout);
    // The encoder's own ancillary chunks (its resolution, its profile) give way to the original's.
    for (size_t i = 1; i + 1 < own.size(); ++i)
        if (isCritical(own[i].type))
            out += encoded.mid(own[i].start, own[i].end - own[i].start);
    out += chunksFor(kept.afterPixels, sameLayout);
    out += encoded.mid(own.back().start, own.back().end - own.back().start);
    return out;
}

QColorSpace GMPNGChunks::colorSpace(const Kept& kept)
{
    if (!kept.isValid())
        return {};
    static const QByteArrayList colour{"iCCP", "sRGB", "gAMA", "cHRM", "cICP"};
    QByteArray colourChunks;
    for (const Span& s : spans(kept.beforePixels, 0))
        if (colour.contains(s.type))
            colourChunks += kept.beforePixels.mid(s.start, s.end - s.start);
    if (colourChunks.isEmpty())
        return {};
    // The reader's own reading of them, from a picture of one pixel stored as the file stores its
    // colours (a grey profile belongs to grey pixels): what the photo was converted from when it was
    // opened is exactly what its pixels go back into.
    const uchar colourType = uchar(kept.header[9]);
    const bool grey = colourType == 0 || colourType == 4;
    QByteArray header(headerSize, '\0');
    qToBigEndian(quint32(1), header.data());
    qToBigEndian(quint32(1), header.data() + 4);
    header[8] = 8;
    header[9] = grey ? 0 : 2;
    const QByteArray row(grey ? 2 : 4, '\0'); // the filter byte, then the pixel
    const QByteArray probe = signature + chunk("IHDR", header) + colourChunks +
                             chunk("IDAT", qCompress(row).mid(4)) + chunk("IEND", {});
    return QImage::fromData(probe, "png").colorSpace();
}

namespace {

const QByteArray xmpKeyword("XML:com.adobe.xmp\0", 18);

} // namespace

QByteArray GMPNGChunks::exif(const Kept& kept)
{
    for (const QByteArray* run : {&kept.beforePixels, &kept.afterPixels})
        for (const Span& s : spans(*run, 0))
            if (s.type == "eXIf")
                return run->mid(s.start + 8, s.end - s.start - 12);
    return {};
}

QByteArray GMPNGChunks::xmp(const Kept& kept)
{
    for (const QByteArray* run : {&kept.beforePixels, &kept.afterPixels})
        for (const Span& s : spans(*run, 0)) {
            const QByteArray data = run->mid(s.start + 8, s.end - s.start - 12);
            if (s.type != "iTXt" || !data.startsWith(xmpKeyword) || data.size() < xmpKeyword.size() + 2 ||
                data[xmpKeyword.size()] != 0)
                continue;
            // Not compressed: then a language and a translated keyword, each ended by a zero.
            qsizetype at = data.indexOf('\0', xmpKeyword.size() + 2);
            at = at < 0 ? -1 : data.indexOf('\0', at + 1);
            if (at >= 0)
                return data.mid(at + 1);
        }
    return {};
}

GMPNGChunks::Kept GMPNGChunks::withExif(const Kept& kept,
                                        const std::function<QByteArray(const QByteArray&)>& edit)
{
    Kept out = kept;
    for (QByteArray* run : {&out.beforePixels, &out.afterPixels}) {
        QByteArray rebuilt;
        for (const Span& s : spans(*run, 0)) {
            if (s.type != "eXIf") {
                rebuilt += run->mid(s.start, s.end - s.start);
                continue;
            }
            const QByteArray edited = edit(run->mid(s.start + 8, s.end - s.start - 12));
            if (!edited.isEmpty())
                rebuilt += chunk("eXIf", edited);
        }
        *run = rebuilt;
    }
    return out;
}

GMPNGChunks::Kept GMPNGChunks::metadata(const QByteArray& profile, const QByteArray& exif,
                                        const QByteArray& xmp)
{
    Kept kept;
    kept.header = QByteArray(headerSize, '\0');
    if (!profile.isEmpty())
        kept.beforePixels += chunk("iCCP", QByteArray("ICC profile\0\0", 13) + qCompress(profile).mid(4));
    if (!exif.isEmpty())
        kept.beforePixels += chunk("eXIf", exif);
    if (!xmp.isEmpty())
        kept.beforePixels += chunk("iTXt", xmpKeyword + QByteArray("\0\0\0\0", 4) + xmp);
    return kept;
}
