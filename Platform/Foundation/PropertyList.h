#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <optional>

namespace pf {

// Reads and writes property lists in the XML and the binary format.
//
// Values are QVariants:
//   dictionary <-> QVariantMap (keys are strings; written in sorted key order)
//   array      <-> QVariantList (QStringList is accepted when writing)
//   string     <-> QString
//   integer    <-> qint64; values above INT64_MAX read as quint64. Writing also takes int, uint, short,
//                  ushort, long, ulong and quint64.
//   real       <-> double (float accepted when writing); a real stays a real even when integral
//   boolean    <-> bool
//   date       <-> QDateTime in UTC, millisecond precision (any time spec is accepted when writing)
//   data       <-> QByteArray
//   UID        <-> pf::ArchiveUid (in XML the conventional one-entry dictionary {"CF$UID": n})
//
// Everything read is untrusted: damaged or hostile input gives an error message, never a crash, a
// hang or an allocation out of proportion to the input. Inputs larger than maxDataSize and values
// nested deeper than maxDepth are refused, and so is a binary list whose shared objects would expand
// to an unreasonable number of values.
//
// XML dates are written with whole seconds, as the format has them; a date with milliseconds gets a
// fraction (".123") so that nothing is lost, and the reader takes both. The XML format cannot hold
// some characters (U+0000 and most other control characters): writing such a string as XML fails, the
// binary format holds any string.
class PropertyList
{
public:
    enum class Format
    {
        Xml,
        Binary
    };

    static constexpr int maxDepth = 512;
    static constexpr qint64 maxDataSize = qint64(256) * 1024 * 1024;

    // Detects the format from the first bytes.
    static std::optional<QVariant> fromData(const QByteArray& data, QString* errorMessage = nullptr);
    static std::optional<QVariant> fromFile(const QString& path, QString* errorMessage = nullptr);

    // Fails, naming the type and where it is, for a value that has no property-list form (and for an
    // invalid QVariant or QDateTime), rather than leaving it out.
    static std::optional<QByteArray> toData(const QVariant& value, Format format,
                                            QString* errorMessage = nullptr);
};

} // namespace pf
