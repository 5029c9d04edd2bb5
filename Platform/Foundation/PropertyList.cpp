#include "Platform/Foundation/PropertyList.h"

#include "Platform/Foundation/ArchiveUid.h"
#include "Platform/Foundation/ReferenceDate.h"

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QXmlStreamReader>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

// Both formats are read and written here rather than through libplist 2.2: its parsers report no
// reason for a failure, turn malformed numbers into 0, and are not safe on hostile input, and its
// writers cannot hold integers above INT64_MAX, dates outside 1933-2069 (32-bit seconds) or strings
// with U+0000. The tests check our binary output against libplist's reader and the other way round.

namespace pf {
namespace {

QString damaged(const QString& reason)
{
    return QStringLiteral("The property list is damaged (%1).").arg(reason);
}

QString tooLarge()
{
    return QStringLiteral("The property list is too large (more than %1 MB).")
        .arg(PropertyList::maxDataSize / (1024 * 1024));
}

// Unpaired surrogates have no encoding in either format's readers; refuse them on both sides.
bool isWellFormedUtf16(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate()) {
            if (i + 1 >= text.size() || !text[i + 1].isLowSurrogate())
                return false;
            ++i;
        } else if (c.isLowSurrogate()) {
            return false;
        }
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Writing: what a QVariant becomes.

enum class Kind
{
    Invalid,
    String,
    Integer,
    Unsigned,
    Real,
    Boolean,
    Date,
    Data,
    Uid,
    Array,
    Dictionary,
    Other
};

Kind kindOf(const QVariant& value)
{
    switch (value.metaType().id()) {
    case QMetaType::UnknownType:
        return Kind::Invalid;
    case QMetaType::QString:
        return Kind::String;
    case QMetaType::Bool:
        return Kind::Boolean;
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return Kind::Integer;
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        return value.toULongLong() > quint64(std::numeric_limits<qint64>::max()) ? Kind::Unsigned
                                                                                 : Kind::Integer;
    case QMetaType::Double:
    case QMetaType::Float:
        return Kind::Real;
    case QMetaType::QDateTime:
        return Kind::Date;
    case QMetaType::QByteArray:
        return Kind::Data;
    case QMetaType::QVariantList:
    case QMetaType::QStringList:
        return Kind::Array;
    case QMetaType::QVariantMap:
        return Kind::Dictionary;
    default:
        return value.metaType() == QMetaType::fromType<ArchiveUid>() ? Kind::Uid : Kind::Other;
    }
}

// Walks a value tree for a writer, keeping the path for error messages.
class WriterBase
{
protected:
    QString m_error;
    QStringList m_path;

    bool fail(const QString& problem)
    {
        if (m_error.isEmpty()) {
            const QString where = m_path.isEmpty()
                                      ? QStringLiteral("the top-level value")
                                      : QStringLiteral("the value at “/%1”").arg(m_path.join('/'));
            m_error = QStringLiteral("The property list cannot be written: %1 %2.").arg(where, problem);
        }
        return false;
    }

    bool checkValue(const QVariant& value, Kind kind, int depth)
    {
        if (depth > PropertyList::maxDepth)
            return fail(QStringLiteral("is nested more than %1 levels deep").arg(PropertyList::maxDepth));
        switch (kind) {
        case Kind::Invalid:
            return fail(QStringLiteral("is empty (an invalid QVariant)"));
        case Kind::Other:
            return fail(QStringLiteral("has the type “%1”, which a property list cannot hold")
                            .arg(QString::fromLatin1(value.typeName())));
        case Kind::Date: {
            const QDateTime date = value.toDateTime();
            if (!date.isValid())
                return fail(QStringLiteral("is an invalid date"));
            if (!referencedate::toSeconds(date))
                return fail(QStringLiteral("is a date too far from the present"));
            return true;
        }
        case Kind::String:
            if (!isWellFormedUtf16(value.toString()))
                return fail(QStringLiteral("is a string with an unpaired surrogate"));
            return true;
        default:
            return true;
        }
    }
};

// ---------------------------------------------------------------------------------------------
// Binary format: "bplist00", the objects, a table of object offsets, and a 32-byte trailer.

void appendBigEndian(QByteArray& out, quint64 value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out.append(char((value >> (8 * i)) & 0xFF));
}

int bytesNeeded(quint64 value)
{
    if (value <= 0xFF)
        return 1;
    if (value <= 0xFFFF)
        return 2;
    if (value <= 0xFFFFFFFFULL)
        return 4;
    return 8;
}

int log2Bytes(int bytes)
{
    return bytes == 1 ? 0 : bytes == 2 ? 1 : bytes == 4 ? 2 : 3;
}

class BinaryWriter : public WriterBase
{
public:
    std::optional<QByteArray> write(const QVariant& root, QString* errorMessage)
    {
        if (!add(root, 0) || !serialize()) {
            if (errorMessage)
                *errorMessage = m_error;
            return std::nullopt;
        }
        return m_out;
    }

private:
    struct Entry
    {
        QVariant value;
        Kind kind;
        std::vector<quint64> children; // arrays: elements; dictionaries: keys, then values
    };

    std::vector<Entry> m_entries;
    QHash<QString, quint64> m_strings; // equal strings are stored once
    qint64 m_payload = 0;
    QByteArray m_out;

    std::optional<quint64> addString(const QString& text)
    {
        if (const auto it = m_strings.constFind(text); it != m_strings.cend())
            return *it;
        if (!isWellFormedUtf16(text)) {
            fail(QStringLiteral("contains a key with an unpaired surrogate"));
            return std::nullopt;
        }
        m_payload += 2 * text.size() + 10;
        m_entries.push_back({text, Kind::String, {}});
        m_strings.insert(text, m_entries.size() - 1);
        return m_entries.size() - 1;
    }

    std::optional<quint64> add(const QVariant& value, int depth)
    {
        const Kind kind = kindOf(value);
        if (!checkValue(value, kind, depth))
            return std::nullopt;
        if (kind == Kind::String)
            return addString(value.toString());

        const quint64 index = m_entries.size();
        m_entries.push_back({value, kind, {}});
        m_payload += 18;
        if (kind == Kind::Data)
            m_payload += value.toByteArray().size();

        if (kind == Kind::Array) {
            const QVariantList list = value.toList();
            std::vector<quint64> children;
            children.reserve(list.size());
            for (qsizetype i = 0; i < list.size(); ++i) {
                m_path.append(QString::number(i));
                const auto child = add(list[i], depth + 1);
                if (!child)
                    return std::nullopt;
                m_path.removeLast();
                children.push_back(*child);
            }
            m_entries[index].children = std::move(children);
        } else if (kind == Kind::Dictionary) {
            const QVariantMap map = value.toMap();
            std::vector<quint64> children;
            children.reserve(2 * map.size());
            for (auto it = map.cbegin(); it != map.cend(); ++it) {
                const auto key = addString(it.key());
                if (!key)
                    return std::nullopt;
                children.push_back(*key);
            }
            for (auto it = map.cbegin(); it != map.cend(); ++it) {
                m_path.append(it.key());
                const auto child = add(it.value(), depth + 1);
                if (!child)
                    return std::nullopt;
                m_path.removeLast();
                children.push_back(*child);
            }
            m_entries[index].children = std::move(children);
        }
        if (m_payload > PropertyList::maxDataSize) {
            m_path.clear();
            m_error = tooLarge();
            return std::nullopt;
        }
        return index;
    }

    void appendMarker(int type, quint64 count)
    {
        if (count < 15) {
            m_out.append(char((type << 4) | int(count)));
            return;
        }
        m_out.append(char((type << 4) | 0xF));
        const int bytes = bytesNeeded(count);
        m_out.append(char(0x10 | log2Bytes(bytes)));
        appendBigEndian(m_out, count, bytes);
    }

    void appendReal(int marker, double value)
    {
        quint64 bits;
        std::memcpy(&bits, &value, sizeof bits);
        m_out.append(char(marker));
        appendBigEndian(m_out, bits, 8);
    }

    void appendEntry(const Entry& entry, int refSize)
    {
        switch (entry.kind) {
        case Kind::String: {
            const QString text = entry.value.toString();
            bool ascii = true;
            for (const QChar c : text)
                ascii = ascii && c.unicode() < 0x80;
            if (ascii) {
                appendMarker(0x5, text.size());
                m_out.append(text.toLatin1());
            } else {
                appendMarker(0x6, text.size());
                for (const QChar c : text)
                    appendBigEndian(m_out, c.unicode(), 2);
            }
            break;
        }
        case Kind::Integer: {
            const qint64 value = entry.value.toLongLong();
            const int bytes = value < 0 || value > 0xFFFFFFFFLL ? 8 : bytesNeeded(quint64(value));
            m_out.append(char(0x10 | log2Bytes(bytes)));
            appendBigEndian(m_out, quint64(value), bytes);
            break;
        }
        case Kind::Unsigned: // a 128-bit integer whose high half is zero
            m_out.append(char(0x14));
            appendBigEndian(m_out, 0, 8);
            appendBigEndian(m_out, entry.value.toULongLong(), 8);
            break;
        case Kind::Real:
            appendReal(0x23, entry.value.toDouble());
            break;
        case Kind::Boolean:
            m_out.append(char(entry.value.toBool() ? 0x09 : 0x08));
            break;
        case Kind::Date:
            appendReal(0x33, *referencedate::toSeconds(entry.value.toDateTime()));
            break;
        case Kind::Data: {
            const QByteArray data = entry.value.toByteArray();
            appendMarker(0x4, data.size());
            m_out.append(data);
            break;
        }
        case Kind::Uid: {
            const quint64 uid = entry.value.value<ArchiveUid>().value;
            const int bytes = bytesNeeded(uid);
            m_out.append(char(0x80 | (bytes - 1)));
            appendBigEndian(m_out, uid, bytes);
            break;
        }
        case Kind::Array:
        case Kind::Dictionary: {
            const quint64 count =
                entry.kind == Kind::Array ? entry.children.size() : entry.children.size() / 2;
            appendMarker(entry.kind == Kind::Array ? 0xA : 0xD, count);
            for (const quint64 child : entry.children)
                appendBigEndian(m_out, child, refSize);
            break;
        }
        case Kind::Invalid:
        case Kind::Other:
            break; // refused in add()
        }
    }

    bool serialize()
    {
        const quint64 count = m_entries.size();
        const int refSize = bytesNeeded(count - 1);
        std::vector<quint64> offsets;
        offsets.reserve(count);
        m_out = QByteArrayLiteral("bplist00");
        for (const Entry& entry : m_entries) {
            offsets.push_back(m_out.size());
            appendEntry(entry, refSize);
            if (m_out.size() > PropertyList::maxDataSize) {
                m_path.clear();
                m_error = tooLarge();
                return false;
            }
        }
        const quint64 tableOffset = m_out.size();
        const int offsetSize = bytesNeeded(offsets.back());
        for (const quint64 offset : offsets)
            appendBigEndian(m_out, offset, offsetSize);
        m_out.append(6, '\0');
        m_out.append(char(offsetSize));
        m_out.append(char(refSize));
        appendBigEndian(m_out, count, 8);
        appendBigEndian(m_out, 0, 8);
        appendBigEndian(m_out, tableOffset, 8);
        return true;
    }
};

class BinaryReader
{
public:
    explicit BinaryReader(const QByteArray& data)
        : m_data(reinterpret_cast<const uchar*>(data.constData())), m_size(quint64(data.size()))
    {}

    std::optional<QVariant> read(QString* errorMessage)
    {
        std::optional<QVariant> result;
        if (readTrailer()) {
            quint64 expanded = 0;
            result = readObject(m_topObject, 0, expanded);
        }
        if (!result && errorMessage)
            *errorMessage = damaged(m_error);
        return result;
    }

private:
    static constexpr quint64 headerSize = 8;
    static constexpr quint64 trailerSize = 32;

    const uchar* m_data;
    quint64 m_size;
    int m_offsetSize = 0;
    int m_refSize = 0;
    quint64 m_objectCount = 0;
    quint64 m_topObject = 0;
    quint64 m_tableOffset = 0; // objects lie in [headerSize, m_tableOffset)
    quint64 m_expansionLimit = 0;
    std::vector<bool> m_active; // objects being read: meeting one again is a cycle
    // Containers already read, with the number of values they expand to; a container referenced
    // from several places is read once and shared.
    QHash<quint64, std::pair<QVariant, quint64>> m_done;
    QString m_error;

    std::nullopt_t fail(const QString& reason)
    {
        if (m_error.isEmpty())
            m_error = reason;
        return std::nullopt;
    }

    quint64 bigEndian(quint64 position, int bytes) const
    {
        quint64 value = 0;
        for (int i = 0; i < bytes; ++i)
            value = (value << 8) | m_data[position + i];
        return value;
    }

    bool readTrailer()
    {
        if (m_size < headerSize + 1 + trailerSize) {
            fail(QStringLiteral("truncated binary data"));
            return false;
        }
        const quint64 trailer = m_size - trailerSize;
        m_offsetSize = m_data[trailer + 6];
        m_refSize = m_data[trailer + 7];
        m_objectCount = bigEndian(trailer + 8, 8);
        m_topObject = bigEndian(trailer + 16, 8);
        m_tableOffset = bigEndian(trailer + 24, 8);
        if (m_offsetSize < 1 || m_offsetSize > 8 || m_refSize < 1 || m_refSize > 8) {
            fail(QStringLiteral("invalid binary trailer"));
            return false;
        }
        if (m_tableOffset < headerSize + 1 || m_tableOffset > trailer ||
            m_objectCount > (trailer - m_tableOffset) / quint64(m_offsetSize)) {
            fail(QStringLiteral("truncated binary data"));
            return false;
        }
        if (m_topObject >= m_objectCount) {
            fail(QStringLiteral("invalid top object"));
            return false;
        }
        m_active.assign(m_objectCount, false);
        // Without sharing, every value needs at least one byte of the file: a list that expands far
        // beyond its size is built to exhaust whoever walks it.
        m_expansionLimit = std::max<quint64>(quint64(1) << 20, 8 * m_size);
        return true;
    }

    // A count either fits in the marker's low nibble or follows as an integer object.
    bool readCount(int info, quint64& position, quint64& count)
    {
        if (info != 0xF) {
            count = quint64(info);
            return true;
        }
        if (position >= m_tableOffset) {
            fail(QStringLiteral("truncated binary data"));
            return false;
        }
        const uchar marker = m_data[position];
        if ((marker & 0xF0) != 0x10 || (marker & 0x0F) > 3) {
            fail(QStringLiteral("invalid length"));
            return false;
        }
        const int bytes = 1 << (marker & 0x0F);
        if (m_tableOffset - position - 1 < quint64(bytes)) {
            fail(QStringLiteral("truncated binary data"));
            return false;
        }
        count = bigEndian(position + 1, bytes);
        position += 1 + bytes;
        return true;
    }

    // Whether `count` items of `unit` bytes fit between `position` and the end of the objects.
    bool fits(quint64 position, quint64 count, quint64 unit)
    {
        if (position > m_tableOffset || count > (m_tableOffset - position) / unit) {
            fail(QStringLiteral("truncated binary data"));
            return false;
        }
        return true;
    }

    std::optional<QVariant> readObject(quint64 index, int depth, quint64& expanded)
    {
        if (index >= m_objectCount)
            return fail(QStringLiteral("object reference out of range"));
        if (depth > PropertyList::maxDepth)
            return fail(QStringLiteral("nested more than %1 levels deep").arg(PropertyList::maxDepth));
        if (const auto it = m_done.constFind(index); it != m_done.cend()) {
            expanded = it->second;
            return it->first;
        }
        if (m_active[index])
            return fail(QStringLiteral("an object contains itself"));

        const quint64 offset = bigEndian(m_tableOffset + index * quint64(m_offsetSize), m_offsetSize);
        if (offset < headerSize || offset >= m_tableOffset)
            return fail(QStringLiteral("object offset out of range"));
        const uchar marker = m_data[offset];
        const int type = marker >> 4;
        const int info = marker & 0x0F;
        quint64 position = offset + 1;
        expanded = 1;

        switch (type) {
        case 0x0:
            if (info == 0x8 || info == 0x9)
                return QVariant(info == 0x9);
            return fail(QStringLiteral("unsupported object type 0x%1").arg(marker, 2, 16, QLatin1Char('0')));
        case 0x1:
            return readInteger(position, info);
        case 0x2:
        case 0x3: {
            const int bytes = 1 << info;
            if ((type == 0x2 && bytes != 4 && bytes != 8) || (type == 0x3 && bytes != 8))
                return fail(QStringLiteral("invalid real or date"));
            if (!fits(position, bytes, 1))
                return std::nullopt;
            double value;
            if (bytes == 4) {
                const quint32 bits = quint32(bigEndian(position, 4));
                float single;
                std::memcpy(&single, &bits, sizeof single);
                value = single;
            } else {
                const quint64 bits = bigEndian(position, 8);
                std::memcpy(&value, &bits, sizeof value);
            }
            if (type == 0x2)
                return QVariant(value);
            const auto date = referencedate::fromSeconds(value);
            if (!date)
                return fail(QStringLiteral("invalid date"));
            return QVariant(*date);
        }
        case 0x4:
        case 0x5:
        case 0x6: {
            quint64 count = 0;
            const quint64 unit = type == 0x6 ? 2 : 1;
            if (!readCount(info, position, count) || !fits(position, count, unit))
                return std::nullopt;
            const char* bytes = reinterpret_cast<const char*>(m_data + position);
            if (type == 0x4)
                return QVariant(QByteArray(bytes, qsizetype(count)));
            if (type == 0x5) // Latin-1 maps every byte, so an odd byte cannot make it fail
                return QVariant(QString::fromLatin1(bytes, qsizetype(count)));
            QString text(qsizetype(count), Qt::Uninitialized);
            for (quint64 i = 0; i < count; ++i)
                text[qsizetype(i)] = QChar(char16_t(bigEndian(position + 2 * i, 2)));
            if (!isWellFormedUtf16(text))
                return fail(QStringLiteral("invalid UTF-16 string"));
            return QVariant(text);
        }
        case 0x8: {
            const int bytes = info + 1;
            if (!fits(position, bytes, 1))
                return std::nullopt;
            for (int i = 0; i < bytes - 8; ++i)
                if (m_data[position + i] != 0)
                    return fail(QStringLiteral("UID out of range"));
            const int low = std::min(bytes, 8);
            return QVariant::fromValue(ArchiveUid{bigEndian(position + bytes - low, low)});
        }
        case 0xA:
        case 0xD:
            return readContainer(index, type == 0xD, info, position, depth, expanded);
        default:
            return fail(QStringLiteral("unsupported object type 0x%1").arg(marker, 2, 16, QLatin1Char('0')));
        }
    }

    std::optional<QVariant> readInteger(quint64 position, int info)
    {
        if (info > 4)
            return fail(QStringLiteral("invalid integer"));
        const int bytes = 1 << info;
        if (!fits(position, bytes, 1))
            return std::nullopt;
        if (bytes < 8) // 1, 2 and 4 bytes are unsigned
            return QVariant(qint64(bigEndian(position, bytes)));
        if (bytes == 8)
            return QVariant(qint64(bigEndian(position, 8)));
        // 16 bytes: a signed 128-bit integer, used for values that need 64 unsigned bits.
        const quint64 high = bigEndian(position, 8);
        const quint64 low = bigEndian(position + 8, 8);
        if (high == 0)
            return low > quint64(std::numeric_limits<qint64>::max()) ? QVariant(low) : QVariant(qint64(low));
        if (high == ~quint64(0) && (low >> 63) != 0)
            return QVariant(qint64(low));
        return fail(QStringLiteral("integer out of range"));
    }

    std::optional<QVariant> readContainer(quint64 index, bool isDictionary, int info, quint64 position,
                                          int depth, quint64& expanded)
    {
        quint64 count = 0;
        if (!readCount(info, position, count) ||
            !fits(position, count, quint64(m_refSize) * (isDictionary ? 2 : 1)))
            return std::nullopt;
        const quint64 valueRefs = position + (isDictionary ? count * quint64(m_refSize) : 0);

        m_active[index] = true;
        QVariantList list;
        QVariantMap map;
        if (!isDictionary)
            list.reserve(qsizetype(count));
        for (quint64 i = 0; i < count; ++i) {
            quint64 childExpanded = 0;
            const auto value = readObject(bigEndian(valueRefs + i * quint64(m_refSize), m_refSize), depth + 1,
                                          childExpanded);
            if (!value)
                return std::nullopt;
            expanded += childExpanded;
            if (expanded > m_expansionLimit)
                return fail(QStringLiteral("shared objects expand to too many values"));
            if (!isDictionary) {
                list.append(*value);
                continue;
            }
            quint64 keyExpanded = 0;
            const auto key =
                readObject(bigEndian(position + i * quint64(m_refSize), m_refSize), depth + 1, keyExpanded);
            if (!key)
                return std::nullopt;
            if (key->metaType().id() != QMetaType::QString)
                return fail(QStringLiteral("a dictionary key is not a string"));
            map.insert(key->toString(), *value);
        }
        m_active[index] = false;
        const QVariant result = isDictionary ? QVariant(map) : QVariant(list);
        m_done.insert(index, {result, expanded});
        return result;
    }
};

// ---------------------------------------------------------------------------------------------
// XML format.

// Characters XML 1.0 can carry at all (as text or as a character reference).
bool isXmlCharacter(char16_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c != 0xFFFE && c != 0xFFFF);
}

class XmlWriter : public WriterBase
{
public:
    std::optional<QByteArray> write(const QVariant& root, QString* errorMessage)
    {
        m_out = QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n");
        if (!add(root, 0)) {
            if (errorMessage)
                *errorMessage = m_error;
            return std::nullopt;
        }
        m_out.append("</plist>\n");
        return m_out;
    }

private:
    QByteArray m_out;

    void indent(int depth) { m_out.append(depth, '\t'); }

    bool appendText(const QString& text)
    {
        if (!isWellFormedUtf16(text))
            return fail(QStringLiteral("contains an unpaired surrogate"));
        for (const QChar c : text) {
            if (!isXmlCharacter(c.unicode()))
                return fail(
                    QStringLiteral("contains the character U+%1, which XML cannot hold; use the binary "
                                   "format")
                        .arg(QString::number(c.unicode(), 16).toUpper().rightJustified(4, u'0')));
        }
        QString escaped;
        escaped.reserve(text.size());
        for (const QChar c : text) {
            switch (c.unicode()) {
            case '&':
                escaped += QLatin1String("&amp;");
                break;
            case '<':
                escaped += QLatin1String("&lt;");
                break;
            case '>':
                escaped += QLatin1String("&gt;");
                break;
            case '\r': // a literal CR would come back as LF
                escaped += QLatin1String("&#13;");
                break;
            default:
                escaped += c;
            }
        }
        m_out.append(escaped.toUtf8());
        return true;
    }

    void element(int depth, const char* name, const QByteArray& text)
    {
        indent(depth);
        m_out.append('<').append(name).append('>').append(text).append("</").append(name).append(">\n");
    }

    bool add(const QVariant& value, int depth)
    {
        const Kind kind = kindOf(value);
        if (!checkValue(value, kind, depth))
            return false;
        switch (kind) {
        case Kind::String:
            indent(depth);
            m_out.append("<string>");
            if (!appendText(value.toString()))
                return false;
            m_out.append("</string>\n");
            return true;
        case Kind::Integer:
            element(depth, "integer", QByteArray::number(value.toLongLong()));
            return true;
        case Kind::Unsigned:
            element(depth, "integer", QByteArray::number(value.toULongLong()));
            return true;
        case Kind::Real: {
            const double real = value.toDouble();
            const QByteArray text = std::isnan(real)   ? QByteArrayLiteral("nan")
                                    : std::isinf(real) ? (real > 0 ? QByteArrayLiteral("+infinity")
                                                                   : QByteArrayLiteral("-infinity"))
                                    : real == 0 && std::signbit(real)
                                        ? QByteArrayLiteral("-0") // the shortest form drops the sign of zero
                                        : QByteArray::number(real, 'g', QLocale::FloatingPointShortest);
            element(depth, "real", text);
            return true;
        }
        case Kind::Boolean:
            indent(depth);
            m_out.append(value.toBool() ? "<true/>\n" : "<false/>\n");
            return true;
        case Kind::Date: {
            const QDateTime date = value.toDateTime().toUTC();
            const QDate day = date.date();
            const QTime time = date.time();
            if (day.year() < 1 || day.year() > 9999)
                return fail(
                    QStringLiteral("is a date outside the years 1 to 9999, which XML cannot hold; use "
                                   "the binary format"));
            QByteArray text = QString::asprintf("%04d-%02d-%02dT%02d:%02d:%02d", day.year(), day.month(),
                                                day.day(), time.hour(), time.minute(), time.second())
                                  .toLatin1();
            if (time.msec() != 0)
                text += QString::asprintf(".%03d", time.msec()).toLatin1();
            element(depth, "date", text + 'Z');
            return true;
        }
        case Kind::Data:
            element(depth, "data", value.toByteArray().toBase64());
            return true;
        case Kind::Uid:
            indent(depth);
            m_out.append("<dict>\n");
            element(depth + 1, "key", QByteArrayLiteral("CF$UID"));
            element(depth + 1, "integer", QByteArray::number(value.value<ArchiveUid>().value));
            indent(depth);
            m_out.append("</dict>\n");
            return true;
        case Kind::Array: {
            const QVariantList list = value.toList();
            indent(depth);
            if (list.isEmpty()) {
                m_out.append("<array/>\n");
                return true;
            }
            m_out.append("<array>\n");
            for (qsizetype i = 0; i < list.size(); ++i) {
                m_path.append(QString::number(i));
                if (!add(list[i], depth + 1))
                    return false;
                m_path.removeLast();
            }
            indent(depth);
            m_out.append("</array>\n");
            return true;
        }
        case Kind::Dictionary: {
            const QVariantMap map = value.toMap();
            if (map.size() == 1 && map.contains(QStringLiteral("CF$UID")))
                return fail(QStringLiteral("is a dictionary whose only key is “CF$UID”, which XML would turn "
                                           "into a UID; use the binary format"));
            indent(depth);
            if (map.isEmpty()) {
                m_out.append("<dict/>\n");
                return true;
            }
            m_out.append("<dict>\n");
            for (auto it = map.cbegin(); it != map.cend(); ++it) {
                m_path.append(it.key());
                indent(depth + 1);
                m_out.append("<key>");
                if (!appendText(it.key()))
                    return false;
                m_out.append("</key>\n");
                if (!add(it.value(), depth + 1))
                    return false;
                m_path.removeLast();
            }
            indent(depth);
            m_out.append("</dict>\n");
            return true;
        }
        case Kind::Invalid:
        case Kind::Other:
            break; // refused by checkValue()
        }
        return false;
    }
};

std::optional<QVariant> parseInteger(QStringView text)
{
    bool negative = false;
    if (text.startsWith(u'-') || text.startsWith(u'+')) {
        negative = text.startsWith(u'-');
        text = text.mid(1);
    }
    int base = 10;
    if (text.startsWith(u"0x") || text.startsWith(u"0X")) {
        base = 16;
        text = text.mid(2);
    }
    if (text.isEmpty())
        return std::nullopt;
    quint64 magnitude = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const int digit = u >= '0' && u <= '9'                 ? u - '0'
                          : base == 16 && u >= 'a' && u <= 'f' ? u - 'a' + 10
                          : base == 16 && u >= 'A' && u <= 'F' ? u - 'A' + 10
                                                               : -1;
        if (digit < 0 || digit >= base || magnitude > (std::numeric_limits<quint64>::max() - digit) / base)
            return std::nullopt;
        magnitude = magnitude * base + digit;
    }
    constexpr quint64 int64Max = quint64(std::numeric_limits<qint64>::max());
    if (negative) {
        if (magnitude > int64Max + 1)
            return std::nullopt;
        return QVariant(qint64(0 - magnitude));
    }
    return magnitude > int64Max ? QVariant(magnitude) : QVariant(qint64(magnitude));
}

std::optional<double> parseReal(QStringView text)
{
    const QString lower = text.toString().toLower();
    if (lower == QLatin1String("nan"))
        return std::numeric_limits<double>::quiet_NaN();
    for (const char* name : {"inf", "+inf", "infinity", "+infinity"})
        if (lower == QLatin1String(name))
            return std::numeric_limits<double>::infinity();
    if (lower == QLatin1String("-inf") || lower == QLatin1String("-infinity"))
        return -std::numeric_limits<double>::infinity();
    for (const QChar c : lower)
        if (!(c >= u'0' && c <= u'9') && c != u'.' && c != u'e' && c != u'+' && c != u'-')
            return std::nullopt;
    bool ok = false;
    const double value = lower.toLatin1().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// yyyy-MM-ddTHH:mm:ss, an optional fraction of a second, and an optional Z; always UTC.
std::optional<QDateTime> parseDate(QStringView text)
{
    auto number = [&](qsizetype from, qsizetype length) -> int {
        if (from + length > text.size())
            return -1;
        int value = 0;
        for (qsizetype i = from; i < from + length; ++i) {
            if (text[i] < u'0' || text[i] > u'9')
                return -1;
            value = value * 10 + (text[i].unicode() - '0');
        }
        return value;
    };
    if (text.endsWith(u'Z'))
        text.chop(1);
    if (text.size() < 19 || text[4] != u'-' || text[7] != u'-' || text[10] != u'T' || text[13] != u':' ||
        text[16] != u':')
        return std::nullopt;
    int milliseconds = 0;
    if (text.size() > 19) {
        if (text[19] != u'.' || text.size() == 20)
            return std::nullopt;
        for (qsizetype i = 20; i < text.size(); ++i) {
            if (number(i, 1) < 0)
                return std::nullopt;
            if (i < 23)
                milliseconds = milliseconds * 10 + number(i, 1);
        }
        for (qsizetype i = text.size(); i < 23; ++i)
            milliseconds *= 10;
    }
    const QDate day(number(0, 4), number(5, 2), number(8, 2));
    const QTime time(number(11, 2), number(14, 2), number(17, 2), milliseconds);
    if (!day.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(day, time, Qt::UTC);
}

class XmlReader
{
public:
    explicit XmlReader(const QByteArray& data) : m_xml(data) {}

    std::optional<QVariant> read(QString* errorMessage)
    {
        auto result = readDocument();
        if (!result && errorMessage)
            *errorMessage = damaged(m_error);
        return result;
    }

private:
    QXmlStreamReader m_xml;
    QString m_error;

    std::nullopt_t fail(const QString& reason)
    {
        if (m_error.isEmpty()) {
            QString detail = m_xml.hasError() ? m_xml.errorString() : reason;
            if (detail.endsWith(u'.'))
                detail.chop(1);
            m_error = QStringLiteral("line %1: %2").arg(m_xml.lineNumber()).arg(detail);
        }
        return std::nullopt;
    }

    // The next start or end tag, skipping whitespace, comments and the like.
    QXmlStreamReader::TokenType nextTag()
    {
        for (;;) {
            switch (m_xml.readNext()) {
            case QXmlStreamReader::StartElement:
            case QXmlStreamReader::EndElement:
            case QXmlStreamReader::EndDocument:
                return m_xml.tokenType();
            case QXmlStreamReader::Characters:
                if (m_xml.isWhitespace())
                    continue;
                fail(QStringLiteral("unexpected text"));
                return QXmlStreamReader::Invalid;
            case QXmlStreamReader::StartDocument:
            case QXmlStreamReader::DTD:
            case QXmlStreamReader::Comment:
            case QXmlStreamReader::ProcessingInstruction:
                continue;
            case QXmlStreamReader::EntityReference:
                fail(QStringLiteral("unresolved entity"));
                return QXmlStreamReader::Invalid;
            default:
                fail(QStringLiteral("invalid XML"));
                return QXmlStreamReader::Invalid;
            }
        }
    }

    std::optional<QVariant> readDocument()
    {
        if (nextTag() != QXmlStreamReader::StartElement)
            return fail(QStringLiteral("no plist element"));
        if (m_xml.name() != QLatin1String("plist"))
            return fail(QStringLiteral("the document is not a property list"));
        if (nextTag() != QXmlStreamReader::StartElement)
            return fail(QStringLiteral("the plist element holds no value"));
        auto value = readValue(0);
        if (!value)
            return std::nullopt;
        if (nextTag() != QXmlStreamReader::EndElement)
            return fail(QStringLiteral("more than one value at the top level"));
        if (nextTag() != QXmlStreamReader::EndDocument)
            return fail(QStringLiteral("content after the plist element"));
        return value;
    }

    std::optional<QString> readText()
    {
        const QString text = m_xml.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
        if (m_xml.hasError())
            return fail(QString());
        // Undecodable bytes can reach here as lone surrogates, which no writer could store again.
        if (!isWellFormedUtf16(text))
            return fail(QStringLiteral("contains text that is not valid UTF-8"));
        return text;
    }

    // Reads the value whose start tag is the current token, through its end tag.
    std::optional<QVariant> readValue(int depth)
    {
        if (depth > PropertyList::maxDepth)
            return fail(QStringLiteral("nested more than %1 levels deep").arg(PropertyList::maxDepth));
        const QString name = m_xml.name().toString();
        if (name == QLatin1String("dict"))
            return readDictionary(depth);
        if (name == QLatin1String("array"))
            return readArray(depth);
        const auto text = readText();
        if (!text)
            return std::nullopt;
        const QStringView trimmed = QStringView(*text).trimmed();
        if (name == QLatin1String("string"))
            return QVariant(*text);
        if (name == QLatin1String("integer")) {
            if (auto value = parseInteger(trimmed))
                return value;
            return fail(QStringLiteral("invalid integer"));
        }
        if (name == QLatin1String("real")) {
            if (const auto value = parseReal(trimmed))
                return QVariant(*value);
            return fail(QStringLiteral("invalid real"));
        }
        if (name == QLatin1String("true") || name == QLatin1String("false")) {
            if (!trimmed.isEmpty())
                return fail(QStringLiteral("text inside a boolean"));
            return QVariant(name == QLatin1String("true"));
        }
        if (name == QLatin1String("date")) {
            if (const auto date = parseDate(trimmed))
                return QVariant(*date);
            return fail(QStringLiteral("invalid date"));
        }
        if (name == QLatin1String("data")) {
            QByteArray base64;
            base64.reserve(text->size());
            for (const QChar c : *text) {
                if (c.unicode() >= 0x80)
                    return fail(QStringLiteral("invalid base64 data"));
                if (!c.isSpace())
                    base64.append(char(c.unicode()));
            }
            auto decoded = QByteArray::fromBase64Encoding(base64, QByteArray::AbortOnBase64DecodingErrors);
            if (!decoded)
                return fail(QStringLiteral("invalid base64 data"));
            return QVariant(decoded.decoded);
        }
        if (name == QLatin1String("key"))
            return fail(QStringLiteral("a key outside a dictionary"));
        return fail(QStringLiteral("unknown element <%1>").arg(name));
    }

    std::optional<QVariant> readArray(int depth)
    {
        QVariantList list;
        for (;;) {
            const auto tag = nextTag();
            if (tag == QXmlStreamReader::EndElement)
                return QVariant(list);
            if (tag != QXmlStreamReader::StartElement)
                return fail(QStringLiteral("unterminated array"));
            auto value = readValue(depth + 1);
            if (!value)
                return std::nullopt;
            list.append(std::move(*value));
        }
    }

    std::optional<QVariant> readDictionary(int depth)
    {
        QVariantMap map;
        for (;;) {
            auto tag = nextTag();
            if (tag == QXmlStreamReader::EndElement)
                break;
            if (tag != QXmlStreamReader::StartElement)
                return fail(QStringLiteral("unterminated dictionary"));
            if (m_xml.name() != QLatin1String("key"))
                return fail(QStringLiteral("a dictionary value without a key"));
            const auto key = readText();
            if (!key)
                return std::nullopt;
            if (nextTag() != QXmlStreamReader::StartElement)
                return fail(QStringLiteral("a dictionary key without a value"));
            auto value = readValue(depth + 1);
            if (!value)
                return std::nullopt;
            map.insert(*key, std::move(*value));
        }
        // The XML form of a UID.
        if (map.size() == 1) {
            const QVariant uid = map.value(QStringLiteral("CF$UID"));
            if (uid.metaType().id() == QMetaType::ULongLong)
                return QVariant::fromValue(ArchiveUid{uid.toULongLong()});
            if (uid.metaType().id() == QMetaType::LongLong && uid.toLongLong() >= 0)
                return QVariant::fromValue(ArchiveUid{quint64(uid.toLongLong())});
        }
        return QVariant(map);
    }
};

} // namespace

std::optional<QVariant> PropertyList::fromData(const QByteArray& data, QString* errorMessage)
{
    auto refuse = [&](const QString& message) -> std::optional<QVariant> {
        if (errorMessage)
            *errorMessage = message;
        return std::nullopt;
    };
    if (data.isEmpty())
        return refuse(QStringLiteral("The property list is empty."));
    if (data.size() > maxDataSize)
        return refuse(tooLarge());
    if (data.startsWith("bplist")) {
        if (!data.startsWith("bplist00"))
            return refuse(
                QStringLiteral("The property list uses an unsupported version of the binary format."));
        return BinaryReader(data).read(errorMessage);
    }
    return XmlReader(data).read(errorMessage);
}

std::optional<QVariant> PropertyList::fromFile(const QString& path, QString* errorMessage)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (errorMessage)
            *errorMessage =
                QStringLiteral("The file “%1” could not be opened (%2).").arg(path, file.errorString());
        return std::nullopt;
    }
    // Read at most one byte more than allowed: a device may not know its size in advance.
    const QByteArray data = file.read(maxDataSize + 1);
    if (data.isEmpty() && file.error() != QFileDevice::NoError) {
        if (errorMessage)
            *errorMessage =
                QStringLiteral("The file “%1” could not be read (%2).").arg(path, file.errorString());
        return std::nullopt;
    }
    return fromData(data, errorMessage);
}

std::optional<QByteArray> PropertyList::toData(const QVariant& value, Format format, QString* errorMessage)
{
    if (format == Format::Binary)
        return BinaryWriter().write(value, errorMessage);
    return XmlWriter().write(value, errorMessage);
}

} // namespace pf
