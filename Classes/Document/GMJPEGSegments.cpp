#include "Classes/Document/GMJPEGSegments.h"

#include <map>

namespace {

const QByteArray exifTag("Exif\0\0", 6);
const QByteArray xmpTag("http://ns.adobe.com/xap/1.0/\0", 29);
const QByteArray profileTag("ICC_PROFILE\0", 12);
const QByteArray indexTag("MPF\0", 4);
// A segment's payload is at most this long (its length counts itself).
constexpr qint64 segmentLimit = 65533;

QByteArray segment(uchar marker, const QByteArray& payload)
{
    QByteArray s;
    s.append(char(0xFF)).append(char(marker));
    s.append(char((payload.size() + 2) >> 8)).append(char((payload.size() + 2) & 0xFF));
    return s + payload;
}

// The segments of metadata as a file holds them (no start-of-image marker before them).
std::vector<GMJPEGSegments::Segment> segmentsOf(const QByteArray& data, qint64 from)
{
    std::vector<GMJPEGSegments::Segment> segments;
    const auto* d = reinterpret_cast<const uchar*>(data.constData());
    const qint64 size = data.size();
    qint64 i = from;
    while (i + 4 <= size) {
        if (d[i] != 0xFF)
            break;
        const uchar marker = d[i + 1];
        if (marker == 0xFF) {
            ++i;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9)
            break;
        const qint64 length = (qint64(d[i + 2]) << 8) | d[i + 3];
        if (length < 2 || i + 2 + length > size)
            break;
        segments.push_back({marker, i, i + 2 + length});
        i += 2 + length;
    }
    return segments;
}

// One past the end-of-image marker of the picture starting at `from`; -1 when the data has none.
qint64 pictureEnd(const QByteArray& data, qint64 from)
{
    const auto* d = reinterpret_cast<const uchar*>(data.constData());
    const qint64 size = data.size();
    if (from + 2 > size || d[from] != 0xFF || d[from + 1] != 0xD8)
        return -1;
    qint64 i = from + 2;
    while (i + 1 < size) {
        if (d[i] != 0xFF) {
            ++i; // entropy-coded data
            continue;
        }
        const uchar marker = d[i + 1];
        if (marker == 0x00 || marker == 0xFF || (marker >= 0xD0 && marker <= 0xD7)) {
            i += marker == 0xFF ? 1 : 2; // a stuffed byte, fill, a restart
            continue;
        }
        if (marker == 0xD9)
            return i + 2;
        if (i + 4 > size)
            return -1;
        const qint64 length = (qint64(d[i + 2]) << 8) | d[i + 3];
        if (length < 2)
            return -1;
        i += 2 + length; // a segment (tables, a scan's header), then perhaps entropy-coded data
    }
    return -1;
}

// The byte order and fields of a multi-picture index.
class Index
{
public:
    Index(QByteArray& data, qint64 start) : m_data(data), m_start(start)
    {
        m_big = data.mid(start, 2) == "MM";
        m_valid = start + 8 <= data.size() && (data.mid(start, 4) == QByteArray("MM\0*", 4) ||
                                               data.mid(start, 4) == QByteArray("II*\0", 4));
    }
    bool isValid() const { return m_valid; }
    qint64 start() const { return m_start; }
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
        for (int i = 0; i < 2; ++i)
            m_data[at + i] = char(m_big ? (v >> (8 - 8 * i)) & 0xFF : (v >> (8 * i)) & 0xFF);
    }
    void put32(qint64 at, quint32 v)
    {
        for (int i = 0; i < 4; ++i)
            m_data[at + i] = char(m_big ? (v >> (24 - 8 * i)) & 0xFF : (v >> (8 * i)) & 0xFF);
    }
    // The entry of `tag` in the index's first directory: its place in the data.
    qint64 entry(quint32 tag) const
    {
        const qint64 ifd = m_start + u32(m_start + 4);
        if (ifd + 2 > m_data.size())
            return -1;
        for (quint32 k = 0, n = u16(ifd); k < n; ++k) {
            const qint64 at = ifd + 2 + 12 * k;
            if (at + 12 > m_data.size())
                return -1;
            if (u16(at) == tag)
                return at;
        }
        return -1;
    }

private:
    QByteArray& m_data;
    qint64 m_start;
    bool m_big = false;
    bool m_valid = false;
};

// Where the index of a JPEG's metadata starts (its byte order mark); -1 without one.
qint64 indexStart(const QByteArray& data)
{
    for (const GMJPEGSegments::Segment& s : GMJPEGSegments::header(data))
        if (s.marker == 0xE2 && data.mid(s.start + 4, 4) == indexTag)
            return s.start + 8;
    return -1;
}

} // namespace

std::vector<GMJPEGSegments::Segment> GMJPEGSegments::header(const QByteArray& data)
{
    if (data.size() < 4 || uchar(data[0]) != 0xFF || uchar(data[1]) != 0xD8)
        return {};
    return segmentsOf(data, 2);
}

QByteArray GMJPEGSegments::profile(const QByteArray& data, const std::vector<Segment>& segments)
{
    // The profile may be split over several APP2 segments, numbered.
    std::map<int, QByteArray> chunks;
    for (const Segment& s : segments) {
        if (s.marker != 0xE2)
            continue;
        const QByteArray payload = data.mid(s.start + 4, s.end - s.start - 4);
        if (payload.size() > 14 && payload.startsWith(profileTag))
            chunks[uchar(payload[12])] = payload.mid(14);
    }
    QByteArray profile;
    for (const auto& [number, chunk] : chunks)
        profile += chunk;
    return profile;
}

QByteArray GMJPEGSegments::exif(const QByteArray& data, const std::vector<Segment>& segments)
{
    for (const Segment& s : segments)
        if (s.marker == 0xE1 && data.mid(s.start + 4, 6) == exifTag)
            return data.mid(s.start + 10, s.end - s.start - 10);
    return {};
}

QByteArray GMJPEGSegments::xmp(const QByteArray& data, const std::vector<Segment>& segments)
{
    for (const Segment& s : segments)
        if (s.marker == 0xE1 && data.mid(s.start + 4, xmpTag.size()) == xmpTag)
            return data.mid(s.start + 4 + xmpTag.size(), s.end - s.start - 4 - xmpTag.size());
    return {};
}

QByteArray GMJPEGSegments::metadataSegments(const QByteArray& exif, const QByteArray& xmp,
                                            const QByteArray& profile)
{
    QByteArray out;
    if (!exif.isEmpty() && exifTag.size() + exif.size() <= segmentLimit)
        out += segment(0xE1, exifTag + exif);
    if (!xmp.isEmpty() && xmpTag.size() + xmp.size() <= segmentLimit)
        out += segment(0xE1, xmpTag + xmp);
    // A profile longer than a segment goes in several, numbered.
    constexpr qint64 chunk = segmentLimit - 14;
    const qint64 chunks = (profile.size() + chunk - 1) / chunk;
    for (qint64 k = 0; k < chunks && chunks < 256; ++k)
        out += segment(0xE2, profileTag + char(k + 1) + char(chunks) + profile.mid(k * chunk, chunk));
    return out;
}

QByteArray GMJPEGSegments::withMetadata(const QByteArray& data, const QByteArray& metadata)
{
    qint64 pixelsStart = 2;
    for (const Segment& s : header(data)) {
        if (!isMetadata(s.marker))
            break;
        pixelsStart = s.end;
    }
    return data.left(2) + metadata + data.mid(pixelsStart);
}

QByteArray GMJPEGSegments::withExif(const QByteArray& metadata,
                                    const std::function<QByteArray(const QByteArray&)>& edit)
{
    QByteArray out;
    qint64 done = 0;
    for (const Segment& s : segmentsOf(metadata, 0)) {
        if (s.marker != 0xE1 || metadata.mid(s.start + 4, 6) != exifTag)
            continue;
        const QByteArray edited = edit(metadata.mid(s.start + 10, s.end - s.start - 10));
        out += metadata.mid(done, s.start - done);
        if (!edited.isEmpty() && exifTag.size() + edited.size() <= segmentLimit)
            out += segment(0xE1, exifTag + edited);
        done = s.end;
    }
    return out + metadata.mid(done);
}

std::vector<GMJPEGSegments::Attachment> GMJPEGSegments::attachments(const QByteArray& data)
{
    return attachments(data, [&data](qint64 at, qint64 size) { return data.mid(at, size); });
}

std::vector<GMJPEGSegments::Attachment>
GMJPEGSegments::attachments(const QByteArray& header, const std::function<QByteArray(qint64, qint64)>& read)
{
    std::vector<Attachment> out;
    const qint64 start = indexStart(header);
    if (start < 0)
        return out;
    QByteArray copy = header; // shared, never written
    const Index index(copy, start);
    const qint64 count = index.entry(0xB001), entries = index.entry(0xB002);
    if (!index.isValid() || count < 0 || entries < 0)
        return out;
    const quint32 pictures = index.u32(count + 8);
    const qint64 table = start + index.u32(entries + 8);
    if (pictures < 2 || pictures > 1000 || index.u32(entries + 4) < 16 * pictures ||
        table + 16 * qint64(pictures) > header.size())
        return out;
    for (quint32 k = 1; k < pictures; ++k) {
        const qint64 entry = table + 16 * k;
        const qint64 size = index.u32(entry + 4), offset = index.u32(entry + 8);
        if (offset == 0 || size < 4)
            continue;
        const QByteArray bytes = read(start + offset, size);
        if (bytes.size() != size || uchar(bytes[0]) != 0xFF || uchar(bytes[1]) != 0xD8)
            continue;
        out.push_back({bytes, index.u32(entry), int(k)});
    }
    return out;
}

bool GMJPEGSegments::isPreview(const Attachment& attachment)
{
    const quint32 type = attachment.attribute & 0x00FFFFFF;
    return type == 0x010001 || type == 0x010002;
}

QByteArray GMJPEGSegments::withAttachments(const QByteArray& picture, const std::vector<Attachment>& offered)
{
    const qint64 start = indexStart(picture);
    const qint64 end = pictureEnd(picture, 0);
    QByteArray out = end > 0 ? picture.left(end) : picture;
    if (start < 0)
        return out;
    Index index(out, start);
    const qint64 count = index.entry(0xB001), entries = index.entry(0xB002);
    if (!index.isValid() || count < 0 || entries < 0)
        return out;
    const quint32 before = index.u32(count + 8);
    const qint64 table = start + index.u32(entries + 8);
    if (before < 1 || before > 1000 || table + 16 * qint64(before) > out.size())
        return out;
    // Only pictures this index names can be named again.
    std::vector<Attachment> kept;
    for (const Attachment& a : offered)
        if (a.index >= 1 && quint32(a.index) < before)
            kept.push_back(a);
    // Entries by their number in the old index (1 for the first picture, 0 for none) to the new.
    std::map<quint32, quint32> renumbered{{0, 0}, {1, 1}};
    for (size_t k = 0; k < kept.size(); ++k)
        renumbered[quint32(kept[k].index) + 1] = quint32(k) + 2;
    const auto dependent = [&](quint32 old) {
        const auto it = renumbered.find(old);
        return it == renumbered.end() ? 0u : it->second;
    };
    const QByteArray oldTable = out.mid(table, 16 * qint64(before));
    const bool big = out.mid(start, 2) == "MM";
    // A value of the old table, in the index's byte order.
    const auto old16 = [&](qint64 at) {
        const quint32 a = uchar(oldTable[at]), b = uchar(oldTable[at + 1]);
        return big ? (a << 8) | b : a | (b << 8);
    };
    const quint32 pictures = quint32(kept.size()) + 1;
    index.put32(count + 8, pictures);
    index.put32(entries + 4, 16 * pictures);
    // The first picture is the whole of this one; the others follow it, offsets counted from the index.
    qint64 offset = out.size() - start;
    for (quint32 k = 0; k < before; ++k) {
        const qint64 at = table + 16 * k;
        if (k >= pictures) {
            out.replace(at, 16, QByteArray(16, '\0'));
            continue;
        }
        const qint64 was = 16 * qint64(k == 0 ? 0 : kept[k - 1].index);
        if (k > 0) {
            index.put32(at, kept[k - 1].attribute);
            index.put32(at + 4, quint32(kept[k - 1].bytes.size()));
            index.put32(at + 8, quint32(offset));
            offset += kept[k - 1].bytes.size();
        }
        index.put16(at + 12, dependent(old16(was + 12)));
        index.put16(at + 14, dependent(old16(was + 14)));
    }
    // Unique identifiers, where the index has them, follow their pictures.
    if (const qint64 ids = index.entry(0xB003); ids >= 0 && index.u32(ids + 4) == 33 * before) {
        const qint64 list = start + index.u32(ids + 8);
        if (list + 33 * qint64(before) <= out.size()) {
            const QByteArray oldIds = out.mid(list, 33 * qint64(before));
            QByteArray newIds = oldIds.left(33);
            for (const Attachment& a : kept)
                newIds += oldIds.mid(33 * qint64(a.index), 33);
            newIds += QByteArray(oldIds.size() - newIds.size(), '\0');
            out.replace(list, newIds.size(), newIds);
            index.put32(ids + 4, 33 * pictures);
        }
    }
    // The size of the first picture is known only now that the index is written (its length is fixed).
    index.put32(table + 4, quint32(out.size()));
    for (const Attachment& a : kept)
        out += a.bytes;
    return out;
}
