#include "Classes/ToolObjects/OVBrushFramework/OVPNGWriter.h"

#include "Platform/Image/CpuRendering.h"

#include <QtEndian>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <vector>
#include <zlib.h>

namespace {

// About this much raw data per band: large enough that a band compresses as well as the whole, small
// enough that every core gets several.
constexpr qint64 BandBytes = 1 << 20;

struct Band
{
    bool zero = true;
    uLong adler = 1;
    QByteArray compressed; // raw deflate blocks ending on a full flush; empty for a band of zeros
};

// Deflates `data` (at the fastest level unless told otherwise) into blocks that end byte-aligned on a full
// flush, so that nothing after them refers back into them.
bool deflateBand(const unsigned char* data, size_t size, QByteArray& out, int level = 1)
{
    z_stream stream{};
    if (deflateInit2(&stream, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    out.resize(qsizetype(deflateBound(&stream, uLong(size)) + 64));
    stream.next_in = const_cast<unsigned char*>(data);
    stream.avail_in = uInt(size);
    stream.next_out = reinterpret_cast<unsigned char*>(out.data());
    stream.avail_out = uInt(out.size());
    const int result = deflate(&stream, Z_FULL_FLUSH);
    const bool ok = result == Z_OK && stream.avail_in == 0;
    out.resize(qsizetype(stream.total_out));
    deflateEnd(&stream);
    return ok;
}

void appendChunk(QByteArray& png, const char* type, const char* data, qsizetype size)
{
    char length[4];
    qToBigEndian(quint32(size), length);
    png.append(length, 4);
    const qsizetype start = png.size();
    png.append(type, 4);
    png.append(data, size);
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(png.constData() + start), uInt(4 + size));
    char crcBytes[4];
    qToBigEndian(quint32(crc), crcBytes);
    png.append(crcBytes, 4);
}

} // namespace

std::optional<QByteArray> OVPNGWriter::encode16(int width, int height, bool grey,
                                                const std::function<void(int y, quint16* line)>& row,
                                                QString* error, const std::function<bool(int y)>& empty)
{
    auto fail = [&](const QString& reason) -> std::optional<QByteArray> {
        if (error)
            *error = reason;
        return std::nullopt;
    };
    if (width <= 0 || height <= 0)
        return fail(QStringLiteral("a PNG of %1 x %2 pixels cannot be written").arg(width).arg(height));
    const int channels = grey ? 1 : 4;
    const qint64 values = qint64(width) * channels;
    const qint64 rowBytes = 1 + values * 2; // the filter byte, then big-endian samples
    const int rowsPerBand = int(std::clamp<qint64>(BandBytes / rowBytes, 1, height));
    const int bandCount = (height + rowsPerBand - 1) / rowsPerBand;

    std::vector<Band> bands(static_cast<size_t>(bandCount));
    std::atomic<bool> failed{false};
    pf::CpuRendering::inBands(
        bandCount,
        [&](int begin, int end) {
            std::vector<quint16> line(static_cast<size_t>(values));
            const std::vector<quint16> zeros(static_cast<size_t>(values), 0);
            std::vector<unsigned char> raw;
            for (int b = begin; b < end && !failed.load(); ++b) {
                const int first = b * rowsPerBand;
                const int rows = std::min(rowsPerBand, height - first);
                Band& band = bands[size_t(b)];
                bool zero = true;
                for (int r = 0; r < rows && zero; ++r)
                    zero = empty && empty(first + r);
                if (zero)
                    continue; // its bytes are made once for all bands of zeros of its size
                raw.assign(size_t(rowBytes) * size_t(rows), 0);
                zero = true;
                for (int r = 0; r < rows; ++r) {
                    if (empty && empty(first + r))
                        continue;
                    row(first + r, line.data());
                    if (std::memcmp(line.data(), zeros.data(), size_t(values) * sizeof(quint16)) == 0)
                        continue;
                    zero = false;
                    qToBigEndian<quint16>(line.data(), values, raw.data() + size_t(rowBytes) * size_t(r) + 1);
                }
                band.zero = zero;
                if (zero)
                    continue;
                band.adler = adler32(1, raw.data(), uInt(raw.size()));
                if (!deflateBand(raw.data(), raw.size(), band.compressed))
                    failed = true;
            }
        },
        2);
    if (failed.load())
        return fail(QStringLiteral("the PNG's pixels could not be compressed"));

    // Bands of zeros: at most two sizes (the last band may be shorter).
    std::map<size_t, Band> zeros;
    for (int b = 0; b < bandCount; ++b) {
        if (!bands[size_t(b)].zero)
            continue;
        const size_t size = size_t(rowBytes) * size_t(std::min(rowsPerBand, height - b * rowsPerBand));
        if (zeros.count(size))
            continue;
        const std::vector<unsigned char> raw(size, 0);
        Band made;
        made.adler = adler32(1, raw.data(), uInt(raw.size()));
        // Made once and repeated: worth squeezing as hard as deflate can.
        if (!deflateBand(raw.data(), raw.size(), made.compressed, 9))
            return fail(QStringLiteral("the PNG's pixels could not be compressed"));
        zeros.emplace(size, std::move(made));
    }

    // One zlib stream: its header, the bands in order, an empty final block and the checksum of all.
    QByteArray stream;
    stream.append(char(0x78));
    stream.append(char(0x01));
    uLong adler = 1;
    for (int b = 0; b < bandCount; ++b) {
        const size_t size = size_t(rowBytes) * size_t(std::min(rowsPerBand, height - b * rowsPerBand));
        const Band& band = bands[size_t(b)].zero ? zeros.at(size) : bands[size_t(b)];
        stream.append(band.compressed);
        adler = adler32_combine(adler, band.adler, z_off_t(size));
    }
    stream.append(char(0x03)); // a final fixed-code block holding only its end
    stream.append(char(0x00));
    char checksum[4];
    qToBigEndian(quint32(adler), checksum);
    stream.append(checksum, 4);

    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    char header[13];
    qToBigEndian(quint32(width), header);
    qToBigEndian(quint32(height), header + 4);
    header[8] = 16;              // bits per sample
    header[9] = grey ? 0 : 6;    // grey, or RGBA
    header[10] = header[11] = 0; // deflate, adaptive filtering (every row says "none")
    header[12] = 0;              // not interlaced
    png.reserve(stream.size() + 1024);
    appendChunk(png, "IHDR", header, 13);
    constexpr qsizetype ChunkBytes = 1 << 20;
    for (qsizetype at = 0; at < stream.size(); at += ChunkBytes)
        appendChunk(png, "IDAT", stream.constData() + at, std::min(ChunkBytes, stream.size() - at));
    appendChunk(png, "IEND", nullptr, 0);
    return png;
}
