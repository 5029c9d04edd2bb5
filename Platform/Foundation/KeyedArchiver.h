#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <memory>
#include <optional>

namespace pf {

// Writes values as a keyed archive: the standard keyed-archive layout, as a binary property list.
//
// Archivable values: QString, QByteArray, numbers and booleans (stored inline), QDateTime, QVariantList
// and QStringList (arrays), QVariantMap (dictionaries with string keys), an invalid QVariant (nil),
// ArchivedObject (written back under its own class chain), and any type registered with
// ArchiveClassRegistry. Anything else fails with a message naming the type and where it is. Equal
// strings, and registered objects with the same identity, are stored once.
class KeyedArchiver
{
public:
    // Each root key becomes an entry of the archive's top dictionary.
    static std::optional<QByteArray> archivedData(const QVariantMap& rootObjects,
                                                  QString* errorMessage = nullptr);

    // For a registered class's encoder, about the object being encoded. A key may be used once per
    // object; keys starting with '$' are escaped, so any key is allowed.
    void encodeInt32(const QString& key, qint32 value);
    void encodeInt64(const QString& key, qint64 value);
    void encodeDouble(const QString& key, double value);
    void encodeBool(const QString& key, bool value);
    void encodeObject(const QString& key, const QVariant& value); // an invalid QVariant encodes nil
    // A value without a key, for formats that store a sequence: the object's n-th unkeyed value (n from
    // 0) goes under the layout's own key "$n", where KeyedUnarchiver::decodeUnkeyedObject() finds it.
    void encodeUnkeyedObject(const QVariant& value);
    // Gives up archiving; archivedData() returns this message.
    void failWithError(const QString& message);

    KeyedArchiver(const KeyedArchiver&) = delete;
    KeyedArchiver& operator=(const KeyedArchiver&) = delete;

private:
    KeyedArchiver();
    ~KeyedArchiver();
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace pf
