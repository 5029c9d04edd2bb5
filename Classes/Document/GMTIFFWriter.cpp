#include "Classes/Document/GMTIFFWriter.h"

#include "Classes/Document/GMPhotoFile.h"
#include "Classes/Document/GMTIFFLayout.h"

#include <QBuffer>
#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <jpeglib.h>
#include <map>
#include <optional>
#include <tiffio.h>
#include <vector>

namespace {

bool failed(QString* errorMessage, const QString& message)
{
    if (errorMessage)
        *errorMessage = message;
    return false;
}

// A TIFF held in memory, opened by the library on a buffer of its own.
class MemoryTIFF
{
public:
    explicit MemoryTIFF(const QByteArray& data)
    {
        m_buffer.setData(data);
        m_buffer.open(QIODevice::ReadOnly);
        // Strips as the file has them: the library would read a large uncompressed one as several.
        m_tiff = GMTIFFLayout::open(&m_buffer, "rmc");
    }
    // A new one, its numbers in that byte order.
    explicit MemoryTIFF(bool bigEndian)
    {
        m_buffer.open(QIODevice::ReadWrite);
        m_tiff = GMTIFFLayout::open(&m_buffer, bigEndian ? "wb" : "wl");
    }
    ~MemoryTIFF() { close(); }
    MemoryTIFF(const MemoryTIFF&) = delete;
    MemoryTIFF& operator=(const MemoryTIFF&) = delete;
    TIFF* get() const { return m_tiff; }
    // Closes the file (writing what is pending) and gives its bytes.
    QByteArray close()
    {
        if (m_tiff)
            TIFFClose(m_tiff);
        m_tiff = nullptr;
        return m_buffer.data();
    }

private:
    QBuffer m_buffer;
    TIFF* m_tiff = nullptr;
};

// What a first page stores, as the library reads it.
struct Layout
{
    uint32_t width = 0, height = 0;
    uint16_t samples = 1, bits = 8, format = SAMPLEFORMAT_UINT, photometric = PHOTOMETRIC_RGB;
    uint16_t compression = COMPRESSION_NONE, predictor = PREDICTOR_NONE;
    uint16_t extraCount = 0;
    std::vector<uint16_t> extra;
    uint16_t subsamplingH = 2, subsamplingV = 2;
    bool tiled = false;
    uint32_t tileWidth = 0, tileHeight = 0, rowsPerStrip = 0;
    int jpegQuality = 90;
    QByteArray jpegTables; // the tables every JPEG-compressed piece of the page is read with
    bool bigEndian = false;

    int colours() const { return photometric == PHOTOMETRIC_RGB || photometric == PHOTOMETRIC_YCBCR ? 3 : 1; }
};

Layout layoutOf(TIFF* tiff)
{
    Layout l;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &l.width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &l.height);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &l.samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &l.bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &l.format);
    TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &l.photometric);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &l.compression);
    if (l.compression == COMPRESSION_LZW || l.compression == COMPRESSION_ADOBE_DEFLATE ||
        l.compression == COMPRESSION_DEFLATE)
        TIFFGetFieldDefaulted(tiff, TIFFTAG_PREDICTOR, &l.predictor);
    uint16_t* extra = nullptr;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_EXTRASAMPLES, &l.extraCount, &extra);
    l.extra.assign(extra, extra + (extra ? l.extraCount : 0));
    if (l.photometric == PHOTOMETRIC_YCBCR)
        TIFFGetFieldDefaulted(tiff, TIFFTAG_YCBCRSUBSAMPLING, &l.subsamplingH, &l.subsamplingV);
    l.tiled = TIFFIsTiled(tiff);
    l.bigEndian = TIFFIsBigEndian(tiff);
    if (l.tiled) {
        TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &l.tileWidth);
        TIFFGetField(tiff, TIFFTAG_TILELENGTH, &l.tileHeight);
    } else {
        TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &l.rowsPerStrip);
        l.rowsPerStrip = std::min(l.rowsPerStrip, l.height);
    }
    if (l.compression == COMPRESSION_JPEG) {
        uint32_t size = 0;
        void* tables = nullptr;
        if (TIFFGetField(tiff, TIFFTAG_JPEGTABLES, &size, &tables) && tables && size > 0) {
            l.jpegTables = QByteArray(static_cast<const char*>(tables), qsizetype(size));
            l.jpegQuality = std::max(1, GMPhotoFile::estimateJPEGQuality(l.jpegTables));
        }
    }
    return l;
}

struct JPEGErrors
{
    jpeg_error_mgr base;
    std::jmp_buf* jump = nullptr;
};

// What one JPEG-compressed piece is encoded with, made before the library may jump out, let go after.
struct JPEGPiece
{
    std::jmp_buf jump;
    JPEGErrors errors[2];
    jpeg_decompress_struct old{};
    jpeg_compress_struct fresh{};
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    ~JPEGPiece()
    {
        jpeg_destroy_decompress(&old);
        jpeg_destroy_compress(&fresh);
        std::free(buffer);
    }
};

bool encodeJPEGPiece(JPEGPiece& job, const Layout& l, uint32_t width, uint32_t rows,
                     const std::vector<uchar>& samples, const QByteArray& old)
{
    for (JPEGErrors& e : job.errors) {
        jpeg_std_error(&e.base);
        e.base.error_exit = [](j_common_ptr info) {
            std::longjmp(*reinterpret_cast<JPEGErrors*>(info->err)->jump, 1);
        };
        e.base.output_message = [](j_common_ptr) {};
        e.jump = &job.jump;
    }
    job.old.err = &job.errors[0].base;
    job.fresh.err = &job.errors[1].base;
    if (setjmp(job.jump))
        return false;
    // The page's tables, then the old piece's header: which tables each component is coded with.
    jpeg_create_decompress(&job.old);
    if (!l.jpegTables.isEmpty()) {
        jpeg_mem_src(&job.old, reinterpret_cast<const unsigned char*>(l.jpegTables.constData()),
                     static_cast<unsigned long>(l.jpegTables.size()));
        jpeg_read_header(&job.old, FALSE);
    }
    jpeg_mem_src(&job.old, reinterpret_cast<const unsigned char*>(old.constData()),
                 static_cast<unsigned long>(old.size()));
    jpeg_read_header(&job.old, TRUE);
    jpeg_compress_struct& c = job.fresh;
    jpeg_create_compress(&c);
    jpeg_mem_dest(&c, &job.buffer, &job.size);
    c.image_width = width;
    c.image_height = rows;
    c.input_components = l.colours();
    c.in_color_space = l.colours() == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_colorspace(&c, job.old.jpeg_color_space);
    if (c.num_components != job.old.num_components)
        return false;
    for (int n = 0; n < NUM_QUANT_TBLS; ++n)
        if (job.old.quant_tbl_ptrs[n]) {
            if (!c.quant_tbl_ptrs[n])
                c.quant_tbl_ptrs[n] = jpeg_alloc_quant_table(reinterpret_cast<j_common_ptr>(&c));
            std::memcpy(c.quant_tbl_ptrs[n]->quantval, job.old.quant_tbl_ptrs[n]->quantval,
                        sizeof(c.quant_tbl_ptrs[n]->quantval));
        }
    for (int n = 0; n < NUM_HUFF_TBLS; ++n)
        for (const auto& [to, from] : {std::pair{c.dc_huff_tbl_ptrs + n, job.old.dc_huff_tbl_ptrs[n]},
                                       std::pair{c.ac_huff_tbl_ptrs + n, job.old.ac_huff_tbl_ptrs[n]}})
            if (from) {
                if (!*to)
                    *to = jpeg_alloc_huff_table(reinterpret_cast<j_common_ptr>(&c));
                std::memcpy((*to)->bits, from->bits, sizeof(from->bits));
                std::memcpy((*to)->huffval, from->huffval, sizeof(from->huffval));
            }
    for (int k = 0; k < c.num_components; ++k) {
        c.comp_info[k].component_id = job.old.comp_info[k].component_id;
        c.comp_info[k].h_samp_factor = job.old.comp_info[k].h_samp_factor;
        c.comp_info[k].v_samp_factor = job.old.comp_info[k].v_samp_factor;
        c.comp_info[k].quant_tbl_no = job.old.comp_info[k].quant_tbl_no;
        c.comp_info[k].dc_tbl_no = job.old.comp_info[k].dc_tbl_no;
        c.comp_info[k].ac_tbl_no = job.old.comp_info[k].ac_tbl_no;
    }
    c.restart_interval = job.old.restart_interval;
    c.optimize_coding = FALSE;
    c.write_JFIF_header = FALSE;
    c.write_Adobe_marker = FALSE;
    // Coded with the page's own tables and without them, as every other piece: a reader loads the
    // page's tables once, and a piece bringing its own would change them for the pieces after it.
    jpeg_suppress_tables(&c, TRUE);
    jpeg_start_compress(&c, FALSE);
    const size_t rowBytes = size_t(width) * size_t(l.colours());
    while (c.next_scanline < c.image_height) {
        JSAMPROW line[1] = {const_cast<uchar*>(samples.data()) + size_t(c.next_scanline) * rowBytes};
        jpeg_write_scanlines(&c, line, 1);
    }
    jpeg_finish_compress(&c);
    return true;
}

// One strip or tile as a TIFF of its own in the page's layout, and the bytes its encoder wrote for it:
// what takes the old piece's place.
QByteArray encodedPiece(const Layout& l, uint32_t width, uint32_t rows, std::vector<uchar>& samples,
                        const QByteArray& old, QString* errorMessage)
{
    if (l.compression == COMPRESSION_JPEG) {
        JPEGPiece job;
        if (!encodeJPEGPiece(job, l, width, rows, samples, old) || !job.buffer) {
            failed(errorMessage,
                   QStringLiteral("a part of it cannot be encoded with the tables its other parts "
                                  "are read with."));
            return {};
        }
        return QByteArray(reinterpret_cast<const char*>(job.buffer), qsizetype(job.size));
    }
    QByteArray file;
    {
        // Deep samples stand in the file's byte order also where they are compressed.
        MemoryTIFF piece(l.bigEndian);
        TIFF* t = piece.get();
        if (!t)
            return {};
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, width);
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, rows);
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, l.samples);
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, l.bits);
        TIFFSetField(t, TIFFTAG_SAMPLEFORMAT, l.format);
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, l.photometric);
        TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        if (l.extraCount)
            TIFFSetField(t, TIFFTAG_EXTRASAMPLES, l.extraCount, l.extra.data());
        TIFFSetField(t, TIFFTAG_COMPRESSION, l.compression);
        if (l.predictor != PREDICTOR_NONE)
            TIFFSetField(t, TIFFTAG_PREDICTOR, l.predictor);
        bool written = false;
        if (l.tiled) {
            TIFFSetField(t, TIFFTAG_TILEWIDTH, width);
            TIFFSetField(t, TIFFTAG_TILELENGTH, rows);
            written = TIFFWriteEncodedTile(t, 0, samples.data(), tmsize_t(samples.size())) >= 0;
        } else {
            TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, rows);
            written = TIFFWriteEncodedStrip(t, 0, samples.data(), tmsize_t(samples.size())) >= 0;
        }
        if (!written || !TIFFWriteDirectory(t)) {
            failed(errorMessage, QStringLiteral("A part of the picture cannot be encoded in its TIFF's "
                                                "compression."));
            return {};
        }
        file = piece.close();
    }
    MemoryTIFF read(file);
    TIFF* t = read.get();
    if (!t)
        return {};
    const uint64_t size = TIFFGetStrileByteCount(t, 0);
    QByteArray raw(qsizetype(size), '\0');
    const tmsize_t got = l.tiled ? TIFFReadRawTile(t, 0, raw.data(), tmsize_t(size))
                                 : TIFFReadRawStrip(t, 0, raw.data(), tmsize_t(size));
    if (got != tmsize_t(size))
        return {};
    return raw;
}

// The retouched colours put into the decoded samples of a piece wherever `painted` holds; every
// other sample (alpha and extra channels among them) stays as decoded.
void splice(const Layout& l, std::vector<uchar>& samples, uint32_t pieceWidth, const QRect& rect,
            const GMPaintedRegion& painted, const QImage& pixels)
{
    const int colours = l.colours();
    const int bytes = l.bits / 8;
    const size_t pixelBytes = size_t(l.samples) * size_t(bytes);
    const bool inverted = l.photometric == PHOTOMETRIC_MINISWHITE;
    const bool premultiplied = !l.extra.empty() && l.extra[0] == EXTRASAMPLE_ASSOCALPHA;
    for (int y = 0; y < rect.height(); ++y) {
        uchar* row = samples.data() + size_t(y) * size_t(pieceWidth) * pixelBytes;
        const uchar* from = pixels.constScanLine(y);
        for (int x = 0; x < rect.width(); ++x) {
            if (!painted.contains(rect.x() + x, rect.y() + y))
                continue;
            uchar* pixel = row + size_t(x) * pixelBytes;
            double c[3];
            if (l.bits == 32) {
                const auto* f = reinterpret_cast<const float*>(from) + 4 * x;
                c[0] = f[0], c[1] = f[1], c[2] = f[2];
            } else if (l.bits == 16) {
                const auto* w = reinterpret_cast<const quint16*>(from) + 4 * x;
                c[0] = w[0] / 65535.0, c[1] = w[1] / 65535.0, c[2] = w[2] / 65535.0;
            } else {
                c[0] = from[4 * x] / 255.0, c[1] = from[4 * x + 1] / 255.0, c[2] = from[4 * x + 2] / 255.0;
            }
            if (colours == 1)
                c[0] = 0.2126 * c[0] + 0.7152 * c[1] + 0.0722 * c[2];
            // The pixel's own alpha, as stored: a retouch never changes what is transparent.
            double alpha = 1;
            if (premultiplied) {
                const uchar* a = pixel + size_t(colours) * size_t(bytes);
                alpha = l.bits == 32   ? *reinterpret_cast<const float*>(a)
                        : l.bits == 16 ? *reinterpret_cast<const quint16*>(a) / 65535.0
                                       : *a / 255.0;
            }
            for (int k = 0; k < colours; ++k) {
                double v = c[k] * alpha;
                if (inverted)
                    v = 1 - v;
                uchar* s = pixel + size_t(k) * size_t(bytes);
                if (l.bits == 32)
                    *reinterpret_cast<float*>(s) = float(v);
                else if (l.bits == 16)
                    *reinterpret_cast<quint16*>(s) = quint16(std::lround(std::clamp(v, 0.0, 1.0) * 65535));
                else
                    *s = uchar(std::lround(std::clamp(v, 0.0, 1.0) * 255));
            }
        }
    }
}

// The first directory's fields that place the pieces, read and rewritten in the file's own bytes.
class Directory
{
public:
    explicit Directory(QByteArray& data) : m_data(data)
    {
        if (data.size() < 8)
            return;
        m_bigEndian = data.startsWith("MM");
        if (!m_bigEndian && !data.startsWith("II"))
            return;
        const quint64 magic = read(2, 2);
        if (magic == 42) {
            m_first = read(4, 4);
        } else if (magic == 43 && data.size() >= 16 && read(4, 2) == 8) {
            m_big = true;
            m_first = read(8, 8);
        }
    }
    bool isValid() const { return m_first > 0 && qint64(m_first) < m_data.size(); }
    bool isBig() const { return m_big; }
    bool bigEndian() const { return m_bigEndian; }

    struct Field
    {
        qint64 entry = -1;
        quint16 type = 0;
        quint64 count = 0;
    };
    Field field(quint16 tag) const
    {
        const qint64 countBytes = m_big ? 8 : 2, entryBytes = m_big ? 20 : 12;
        const quint64 entries = read(qint64(m_first), int(countBytes));
        for (quint64 k = 0; k < entries && k < 10000; ++k) {
            const qint64 at = qint64(m_first) + countBytes + qint64(k) * entryBytes;
            if (at + entryBytes > m_data.size())
                break;
            if (read(at, 2) == tag)
                return {at, quint16(read(at + 2, 2)), read(at + 4, m_big ? 8 : 4)};
        }
        return {};
    }
    std::optional<std::vector<quint64>> values(const Field& f) const
    {
        const int size = typeSize(f.type);
        if (f.entry < 0 || size == 0 || f.count > quint64(m_data.size()))
            return std::nullopt;
        const qint64 where = location(f, size);
        if (where < 0 || where + qint64(f.count) * size > m_data.size())
            return std::nullopt;
        std::vector<quint64> out(f.count);
        for (quint64 k = 0; k < f.count; ++k)
            out[k] = read(where + qint64(k) * size, size);
        return out;
    }
    // Sets the field's values, moving them to the end of the file as wider numbers when the field's type
    // cannot hold them. False when the file's offsets cannot reach that far.
    bool setValues(const Field& f, const std::vector<quint64>& values)
    {
        const quint64 largest = values.empty() ? 0 : *std::max_element(values.begin(), values.end());
        int size = typeSize(f.type);
        quint16 type = f.type;
        if ((size == 2 && largest > 0xFFFF) || (size == 4 && largest > 0xFFFFFFFFull)) {
            if (!m_big && largest > 0xFFFFFFFFull)
                return false;
            type = m_big ? 16 : 4; // LONG8 or LONG
            size = m_big ? 8 : 4;
        }
        const qint64 inline_ = m_big ? 8 : 4;
        qint64 where = 0;
        if (type == f.type) {
            where = location(f, size);
        } else {
            put(f.entry + 2, 2, type);
            if (qint64(values.size()) * size <= inline_) {
                where = f.entry + (m_big ? 12 : 8);
            } else {
                where = append(QByteArray(qsizetype(values.size()) * size, '\0'));
                if (where < 0)
                    return false;
                put(f.entry + (m_big ? 12 : 8), m_big ? 8 : 4, quint64(where));
            }
        }
        for (size_t k = 0; k < values.size(); ++k)
            put(where + qint64(k) * size, size, values[k]);
        return true;
    }
    // Puts bytes at the end of the file (at an even place); where they went, or -1 past what the file's
    // offsets reach.
    qint64 append(const QByteArray& bytes)
    {
        if (m_data.size() % 2)
            m_data.append('\0');
        const qint64 at = m_data.size();
        if (!m_big && quint64(at) + quint64(bytes.size()) > 0xFFFFFFFFull)
            return -1;
        m_data.append(bytes);
        return at;
    }
    void replace(qint64 at, const QByteArray& bytes) { m_data.replace(at, bytes.size(), bytes); }

private:
    static int typeSize(quint16 type)
    {
        return type == 3 ? 2 : type == 4 || type == 13 ? 4 : type == 16 || type == 18 ? 8 : 0;
    }
    qint64 location(const Field& f, int size) const
    {
        const qint64 valueField = f.entry + (m_big ? 12 : 8);
        if (qint64(f.count) * size <= (m_big ? 8 : 4))
            return valueField;
        const quint64 offset = read(valueField, m_big ? 8 : 4);
        return offset < quint64(m_data.size()) ? qint64(offset) : -1;
    }
    quint64 read(qint64 at, int bytes) const
    {
        if (at < 0 || at + bytes > m_data.size())
            return 0;
        const auto* d = reinterpret_cast<const uchar*>(m_data.constData()) + at;
        quint64 v = 0;
        for (int i = 0; i < bytes; ++i)
            v |= quint64(d[i]) << (8 * (m_bigEndian ? bytes - 1 - i : i));
        return v;
    }
    void put(qint64 at, int bytes, quint64 v)
    {
        if (at < 0 || at + bytes > m_data.size())
            return;
        for (int i = 0; i < bytes; ++i)
            m_data[at + i] = char((v >> (8 * (m_bigEndian ? bytes - 1 - i : i))) & 0xFF);
    }

    QByteArray& m_data;
    quint64 m_first = 0;
    bool m_big = false;
    bool m_bigEndian = false;
};

} // namespace

QByteArray GMTIFFWriter::patched(const QByteArray& original, const GMPaintedRegion& painted,
                                 const Pixels& pixels, QString* errorMessage)
{
    const auto cannot = [&](const QString& why) {
        failed(errorMessage, QStringLiteral("The picture cannot be written back into its TIFF: %1").arg(why));
        return QByteArray();
    };
    MemoryTIFF in(original);
    TIFF* tiff = in.get();
    if (!tiff || !GMTIFFLayout::isRewritable(tiff))
        return cannot(QStringLiteral("its layout is not one this application writes."));
    const Layout l = layoutOf(tiff);
    if (int(l.width) != painted.width() || int(l.height) != painted.height())
        return cannot(QStringLiteral("its size is not the picture's."));
    if (l.compression == COMPRESSION_JPEG && l.photometric == PHOTOMETRIC_YCBCR)
        TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    const uint32_t pieces = l.tiled ? TIFFNumberOfTiles(tiff) : TIFFNumberOfStrips(tiff);
    const tmsize_t pieceSize = l.tiled ? TIFFTileSize(tiff) : TIFFStripSize(tiff);
    const uint32_t across = l.tiled ? (l.width + l.tileWidth - 1) / l.tileWidth : 1;
    std::map<uint32_t, QByteArray> fresh;
    std::vector<uchar> samples;
    for (uint32_t p = 0; p < pieces; ++p) {
        QRect rect;
        uint32_t pieceWidth = l.width, pieceRows = 0;
        if (l.tiled) {
            rect = QRect(int((p % across) * l.tileWidth), int((p / across) * l.tileHeight), int(l.tileWidth),
                         int(l.tileHeight));
            pieceWidth = l.tileWidth;
            pieceRows = l.tileHeight;
        } else {
            const uint32_t top = p * std::max<uint32_t>(1, l.rowsPerStrip);
            pieceRows = std::min(l.rowsPerStrip, l.height - std::min(top, l.height));
            rect = QRect(0, int(top), int(l.width), int(pieceRows));
        }
        // Pieces of other pages' planes, or beyond the picture, are no business of this page's paint.
        rect = rect.intersected(QRect(0, 0, int(l.width), int(l.height)));
        if (rect.isEmpty() || !painted.intersects(rect))
            continue;
        samples.assign(size_t(pieceSize), 0);
        const tmsize_t got = l.tiled ? TIFFReadEncodedTile(tiff, p, samples.data(), pieceSize)
                                     : TIFFReadEncodedStrip(tiff, p, samples.data(), pieceSize);
        if (got < 0)
            return cannot(QStringLiteral("a part of it cannot be read."));
        const QImage retouched = pixels(rect);
        if (retouched.size() != rect.size())
            return cannot(QStringLiteral("the retouched picture could not be made."));
        splice(l, samples, pieceWidth, rect, painted, retouched);
        if (!l.tiled)
            samples.resize(size_t(pieceRows) * size_t(TIFFScanlineSize(tiff)));
        QByteArray old;
        if (l.compression == COMPRESSION_JPEG) {
            old = QByteArray(qsizetype(TIFFGetStrileByteCount(tiff, p)), '\0');
            const tmsize_t read = l.tiled ? TIFFReadRawTile(tiff, p, old.data(), tmsize_t(old.size()))
                                          : TIFFReadRawStrip(tiff, p, old.data(), tmsize_t(old.size()));
            if (read != tmsize_t(old.size()))
                return cannot(QStringLiteral("a part of it cannot be read."));
        }
        QString error;
        const QByteArray raw = encodedPiece(l, pieceWidth, pieceRows, samples, old, &error);
        if (raw.isEmpty())
            return cannot(error.isEmpty() ? QStringLiteral("a part of it cannot be encoded.") : error);
        fresh[p] = raw;
    }
    in.close();

    // The file as it was, the new pieces where the old ones were when they fit, else at its end.
    QByteArray out = original;
    Directory directory(out);
    if (!directory.isValid())
        return cannot(QStringLiteral("its first directory cannot be read."));
    const Directory::Field offsetsField = directory.field(l.tiled ? 324 : 273);
    const Directory::Field countsField = directory.field(l.tiled ? 325 : 279);
    auto offsets = directory.values(offsetsField);
    auto counts = directory.values(countsField);
    if (!offsets || !counts || offsets->size() != pieces || counts->size() != pieces)
        return cannot(QStringLiteral("its strips cannot be found."));
    // A piece whose bytes another piece shares is never written over.
    std::map<quint64, int> users;
    for (const quint64 offset : *offsets)
        ++users[offset];
    for (const auto& [p, raw] : fresh) {
        const quint64 oldOffset = (*offsets)[p], oldCount = (*counts)[p];
        if (quint64(raw.size()) <= oldCount && users[oldOffset] == 1 &&
            oldOffset + oldCount <= quint64(out.size())) {
            directory.replace(qint64(oldOffset), raw);
        } else {
            const qint64 at = directory.append(raw);
            if (at < 0)
                return cannot(QStringLiteral("the file would grow beyond what its offsets reach."));
            (*offsets)[p] = quint64(at);
        }
        (*counts)[p] = quint64(raw.size());
    }
    if (!directory.setValues(offsetsField, *offsets) || !directory.setValues(countsField, *counts))
        return cannot(QStringLiteral("the file would grow beyond what its offsets reach."));
    return out;
}

namespace {

// The descriptive tags of `from`'s first page, put on the page being written: who made it, with what,
// when, what it shows, its resolution and its metadata packets.
void copyDescription(TIFF* to, const QByteArray& from)
{
    MemoryTIFF source(from);
    TIFF* s = source.get();
    if (!s)
        return;
    for (const ttag_t tag : {TIFFTAG_ARTIST, TIFFTAG_MAKE, TIFFTAG_MODEL, TIFFTAG_IMAGEDESCRIPTION,
                             TIFFTAG_SOFTWARE, TIFFTAG_DATETIME, TIFFTAG_COPYRIGHT, TIFFTAG_HOSTCOMPUTER,
                             TIFFTAG_DOCUMENTNAME, TIFFTAG_PAGENAME}) {
        char* text = nullptr;
        if (TIFFGetField(s, tag, &text) && text)
            TIFFSetField(to, tag, text);
    }
    float x = 0, y = 0;
    uint16_t unit = RESUNIT_INCH;
    if (TIFFGetField(s, TIFFTAG_XRESOLUTION, &x) && TIFFGetField(s, TIFFTAG_YRESOLUTION, &y)) {
        TIFFGetFieldDefaulted(s, TIFFTAG_RESOLUTIONUNIT, &unit);
        TIFFSetField(to, TIFFTAG_XRESOLUTION, x);
        TIFFSetField(to, TIFFTAG_YRESOLUTION, y);
        TIFFSetField(to, TIFFTAG_RESOLUTIONUNIT, unit);
    }
    for (const ttag_t tag : {TIFFTAG_XMLPACKET, TIFFTAG_PHOTOSHOP}) {
        uint32_t size = 0;
        void* data = nullptr;
        if (TIFFGetField(s, tag, &size, &data) && data && size > 0)
            TIFFSetField(to, tag, size, data);
    }
    uint32_t count = 0;
    void* iptc = nullptr;
    if (TIFFGetField(s, TIFFTAG_RICHTIFFIPTC, &count, &iptc) && iptc && count > 0)
        TIFFSetField(to, TIFFTAG_RICHTIFFIPTC, count, iptc);
}

} // namespace

QByteArray GMTIFFWriter::written(const QImage& image, const Options& o, QString* errorMessage)
{
    if (image.isNull()) {
        failed(errorMessage, QStringLiteral("There is no picture to write."));
        return {};
    }
    const int bits = o.floatingPoint ? 32 : o.bits > 8 ? 16 : 8;
    const QImage pixels = image.convertToFormat(bits == 32   ? QImage::Format_RGBA32FPx4
                                                : bits == 16 ? QImage::Format_RGBA64
                                                             : QImage::Format_RGBA8888);
    const int colours = o.grey ? 1 : 3, samples = colours + (o.alpha ? 1 : 0);
    // A compression the library cannot write here (an old-style JPEG, JPEG of deep samples) is
    // replaced by the lossless one every reader knows.
    int compression = o.compression;
    if (compression == COMPRESSION_OJPEG || (compression == COMPRESSION_JPEG && bits != 8) ||
        !TIFFIsCODECConfigured(uint16_t(compression)))
        compression = COMPRESSION_LZW;
    const bool jpeg = compression == COMPRESSION_JPEG;
    MemoryTIFF file(false);
    TIFF* t = file.get();
    if (!t) {
        failed(errorMessage, QStringLiteral("The picture cannot be encoded as TIFF."));
        return {};
    }
    if (!o.tagsFrom.isEmpty())
        copyDescription(t, o.tagsFrom);
    if (!o.xmp.isEmpty())
        TIFFSetField(t, TIFFTAG_XMLPACKET, uint32_t(o.xmp.size()), o.xmp.constData());
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(pixels.width()));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(pixels.height()));
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, uint16_t(samples));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, uint16_t(bits));
    TIFFSetField(t, TIFFTAG_SAMPLEFORMAT, bits == 32 ? SAMPLEFORMAT_IEEEFP : SAMPLEFORMAT_UINT);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_ORIENTATION, uint16_t(std::clamp(o.orientation, 1, 8)));
    TIFFSetField(t, TIFFTAG_COMPRESSION, uint16_t(compression));
    if (jpeg) {
        TIFFSetField(t, TIFFTAG_JPEGQUALITY, o.jpegQuality);
        if (!o.grey && !o.alpha) {
            TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
            TIFFSetField(t, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        } else {
            TIFFSetField(t, TIFFTAG_PHOTOMETRIC, o.grey ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
        }
    } else {
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, o.grey ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
        if (o.predictor > 1 && (compression == COMPRESSION_LZW || compression == COMPRESSION_ADOBE_DEFLATE ||
                                compression == COMPRESSION_DEFLATE))
            TIFFSetField(t, TIFFTAG_PREDICTOR,
                         uint16_t(bits == 32 ? PREDICTOR_FLOATINGPOINT : PREDICTOR_HORIZONTAL));
    }
    if (o.alpha) {
        const uint16_t extra = o.associatedAlpha ? EXTRASAMPLE_ASSOCALPHA : EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }
    if (!o.iccProfile.isEmpty())
        TIFFSetField(t, TIFFTAG_ICCPROFILE, uint32_t(o.iccProfile.size()), o.iccProfile.constData());
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));
    const int bytes = bits / 8;
    std::vector<uchar> row(size_t(pixels.width()) * size_t(samples) * size_t(bytes));
    for (int y = 0; y < pixels.height(); ++y) {
        const uchar* from = pixels.constScanLine(y);
        for (int x = 0; x < pixels.width(); ++x) {
            double c[4];
            for (int k = 0; k < 4; ++k)
                c[k] = bits == 32   ? reinterpret_cast<const float*>(from)[4 * x + k]
                       : bits == 16 ? reinterpret_cast<const quint16*>(from)[4 * x + k] / 65535.0
                                    : from[4 * x + k] / 255.0;
            double out[4] = {c[0], c[1], c[2], c[3]};
            if (o.grey)
                out[0] = 0.2126 * c[0] + 0.7152 * c[1] + 0.0722 * c[2];
            if (o.alpha) {
                for (int k = 0; k < colours && o.associatedAlpha; ++k)
                    out[k] *= c[3];
                out[colours] = c[3];
            }
            for (int k = 0; k < samples; ++k) {
                uchar* s = row.data() + (size_t(x) * size_t(samples) + size_t(k)) * size_t(bytes);
                if (bits == 32)
                    *reinterpret_cast<float*>(s) = float(out[k]);
                else if (bits == 16)
                    *reinterpret_cast<quint16*>(s) =
                        quint16(std::lround(std::clamp(out[k], 0.0, 1.0) * 65535));
                else
                    *s = uchar(std::lround(std::clamp(out[k], 0.0, 1.0) * 255));
            }
        }
        if (TIFFWriteScanline(t, row.data(), uint32_t(y), 0) < 0) {
            failed(errorMessage, QStringLiteral("The picture cannot be encoded as TIFF."));
            return {};
        }
    }
    if (!TIFFWriteDirectory(t)) {
        failed(errorMessage, QStringLiteral("The picture cannot be encoded as TIFF."));
        return {};
    }
    return file.close();
}
