#include "Classes/Document/GMExif.h"

#include <optional>

namespace {

// An EXIF block's directories, read within its bounds.
class Block
{
public:
    explicit Block(const QByteArray& data) : m_data(data)
    {
        m_valid = data.size() >= 8 && (data.startsWith("II*") || data.startsWith(QByteArray("MM\0*", 4)));
        m_big = data.startsWith("MM");
    }
    bool isValid() const { return m_valid; }
    QByteArray& data() { return m_data; }

    quint32 u16(qint64 at) const
    {
        if (at < 0 || at + 2 > m_data.size())
            return 0;
        const auto* d = reinterpret_cast<const uchar*>(m_data.constData()) + at;
        return m_big ? (d[0] << 8) | d[1] : d[0] | (d[1] << 8);
    }
    quint32 u32(qint64 at) const
    {
        if (at < 0 || at + 4 > m_data.size())
            return 0;
        const auto* d = reinterpret_cast<const uchar*>(m_data.constData()) + at;
        return m_big ? (quint32(d[0]) << 24) | (quint32(d[1]) << 16) | (quint32(d[2]) << 8) | d[3]
                     : quint32(d[0]) | (quint32(d[1]) << 8) | (quint32(d[2]) << 16) | (quint32(d[3]) << 24);
    }
    void put16(qint64 at, quint32 v)
    {
        if (at < 0 || at + 2 > m_data.size())
            return;
        m_data[at] = char(m_big ? v >> 8 : v & 0xFF);
        m_data[at + 1] = char(m_big ? v & 0xFF : v >> 8);
    }
    void put32(qint64 at, quint32 v)
    {
        if (at < 0 || at + 4 > m_data.size())
            return;
        for (int i = 0; i < 4; ++i)
            m_data[at + i] = char(m_big ? (v >> (24 - 8 * i)) & 0xFF : (v >> (8 * i)) & 0xFF);
    }

    // Where a directory starts, when it lies within the block.
    std::optional<qint64> directory(qint64 offset) const
    {
        if (offset < 8 || offset + 2 > m_data.size() ||
            offset + 2 + 12 * qint64(u16(offset)) + 4 > m_data.size())
            return std::nullopt;
        return offset;
    }
    std::optional<qint64> first() const { return directory(u32(4)); }
    std::optional<qint64> next(qint64 ifd) const
    {
        const quint32 offset = u32(ifd + 2 + 12 * qint64(u16(ifd)));
        return offset ? directory(offset) : std::nullopt;
    }
    // The entry of `tag` in the directory; its place.
    std::optional<qint64> entry(qint64 ifd, quint32 tag) const
    {
        for (quint32 k = 0, n = u16(ifd); k < n; ++k)
            if (u16(ifd + 2 + 12 * k) == tag)
                return ifd + 2 + 12 * k;
        return std::nullopt;
    }
    // An entry's single SHORT or LONG value.
    std::optional<quint32> value(qint64 entry) const
    {
        const quint32 type = u16(entry + 2), count = u32(entry + 4);
        if (count != 1)
            return std::nullopt;
        if (type == 3)
            return u16(entry + 8);
        if (type == 4)
            return u32(entry + 8);
        return std::nullopt;
    }
    void setValue(qint64 entry, quint32 v)
    {
        const quint32 type = u16(entry + 2);
        if (type == 3 && v <= 0xFFFF)
            put16(entry + 8, v);
        else if (type == 4)
            put32(entry + 8, v);
    }

private:
    QByteArray m_data;
    bool m_valid = false;
    bool m_big = false;
};

// The width and height a JPEG's frame header names.
QSize jpegSize(const QByteArray& jpeg)
{
    const auto* d = reinterpret_cast<const uchar*>(jpeg.constData());
    for (qint64 i = 2; i + 9 < jpeg.size() && d[i] == 0xFF;) {
        const uchar marker = d[i + 1];
        const qint64 length = (qint64(d[i + 2]) << 8) | d[i + 3];
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
            return QSize((d[i + 7] << 8) | d[i + 8], (d[i + 5] << 8) | d[i + 6]);
        if (marker == 0xDA || length < 2)
            break;
        i += 2 + length;
    }
    return {};
}

} // namespace

int GMExif::orientation(const QByteArray& data)
{
    const Block block(data);
    const auto ifd = block.isValid() ? block.first() : std::nullopt;
    const auto entry = ifd ? block.entry(*ifd, 0x0112) : std::nullopt;
    const auto value = entry ? block.value(*entry) : std::nullopt;
    return value && *value >= 1 && *value <= 8 ? int(*value) : 0;
}

QByteArray GMExif::withOrientation(const QByteArray& data, int value)
{
    Block block(data);
    const auto ifd = block.isValid() ? block.first() : std::nullopt;
    if (const auto entry = ifd ? block.entry(*ifd, 0x0112) : std::nullopt)
        block.setValue(*entry, quint32(value));
    return block.data();
}

QByteArray GMExif::withPixelSize(const QByteArray& data, QSize size)
{
    Block block(data);
    const auto ifd = block.isValid() ? block.first() : std::nullopt;
    const auto pointer = ifd ? block.entry(*ifd, 0x8769) : std::nullopt;
    const auto offset = pointer ? block.value(*pointer) : std::nullopt;
    const auto exif = offset ? block.directory(*offset) : std::nullopt;
    if (!exif)
        return data;
    if (const auto width = block.entry(*exif, 0xA002))
        block.setValue(*width, quint32(size.width()));
    if (const auto height = block.entry(*exif, 0xA003))
        block.setValue(*height, quint32(size.height()));
    return block.data();
}

namespace {

struct Thumbnail
{
    qint64 directory = 0; // IFD1
    qint64 offsetEntry = 0, lengthEntry = 0;
    qint64 offset = 0, length = 0;
};

std::optional<Thumbnail> findThumbnail(const Block& block)
{
    const auto ifd0 = block.isValid() ? block.first() : std::nullopt;
    const auto ifd1 = ifd0 ? block.next(*ifd0) : std::nullopt;
    if (!ifd1)
        return std::nullopt;
    Thumbnail t;
    t.directory = *ifd1;
    const auto offsetEntry = block.entry(*ifd1, 0x0201), lengthEntry = block.entry(*ifd1, 0x0202);
    const auto offset = offsetEntry ? block.value(*offsetEntry) : std::nullopt;
    const auto length = lengthEntry ? block.value(*lengthEntry) : std::nullopt;
    if (offset && length) {
        t.offsetEntry = *offsetEntry;
        t.lengthEntry = *lengthEntry;
        t.offset = *offset;
        t.length = *length;
    }
    return t;
}

} // namespace

QSize GMExif::thumbnailSize(const QByteArray& data)
{
    const Block block(data);
    const auto t = findThumbnail(block);
    if (!t || t->length <= 0 || t->offset + t->length > data.size())
        return {};
    return jpegSize(data.mid(t->offset, t->length));
}

QByteArray GMExif::withThumbnail(const QByteArray& data,
                                 const std::function<QByteArray(QSize size, qint64 maxBytes)>& thumbnail,
                                 qint64 limit)
{
    Block block(data);
    const auto t = findThumbnail(block);
    if (!t)
        return data;
    const bool sound = t->length > 0 && t->offset >= 8 && t->offset + t->length <= data.size();
    const QSize size = sound ? jpegSize(data.mid(t->offset, t->length)) : QSize();
    if (sound && size.isValid()) {
        // Last in the block (as cameras write it), it may grow up to the limit; anywhere else it must fit
        // where the old one was.
        const bool last = t->offset + t->length == data.size();
        const qint64 room = last ? limit - t->offset : t->length;
        const QByteArray fresh = room > 0 ? thumbnail(size, room) : QByteArray();
        if (!fresh.isEmpty() && fresh.size() <= room) {
            if (last) {
                block.data().truncate(t->offset);
                block.data() += fresh;
            } else {
                block.data().replace(t->offset, fresh.size(), fresh);
            }
            block.setValue(t->lengthEntry, quint32(fresh.size()));
            return block.data();
        }
    }
    // Dropped: the first directory no longer leads to the second.
    const auto ifd0 = block.first();
    block.put32(*ifd0 + 2 + 12 * qint64(block.u16(*ifd0)), 0);
    return block.data();
}
