#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <memory>
#include <optional>

namespace pf {

// Reads a keyed archive (the standard keyed-archive layout, binary or XML property list).
//
// Values come back as the KeyedArchiver takes them: inline strings, numbers (qint64 or double),
// booleans and data as they are stored; dates as QDateTime (UTC); arrays as QVariantList; dictionaries
// as QVariantMap (their keys must be strings); nil as an invalid QVariant; objects of registered classes
// through their decoders; objects of any other class as an ArchivedObject. An object referenced from
// several places is decoded once and shared.
//
// The archive is untrusted: a wrong archiver or version, a missing or malformed object table,
// references out of range, objects that contain themselves, nesting beyond PropertyList::maxDepth and
// fields of the wrong type are reported as errors, never a crash.
class KeyedUnarchiver
{
public:
    static std::optional<QVariantMap> unarchive(const QByteArray& data, QString* errorMessage = nullptr);

    // For a registered class's decoder, about the object being decoded. A missing key gives 0, false or
    // an invalid QVariant; a value of the wrong type (or out of range) is an error that unarchive()
    // reports, and the calls after it return those defaults too.
    bool containsValueForKey(const QString& key) const;
    qint32 decodeInt32(const QString& key);
    qint64 decodeInt64(const QString& key);
    double decodeDouble(const QString& key); // integers are converted
    bool decodeBool(const QString& key);     // integers are accepted: non-zero is true
    QVariant decodeObject(const QString& key);
    // The object's next unkeyed value (see KeyedArchiver::encodeUnkeyedObject), in the order they were
    // written; invalid once there are no more.
    QVariant decodeUnkeyedObject();
    // The object under `key` as a T; a value of another type is an error. T is one of the types this
    // class returns (QString, qint64, double, QVariantList, ...) or a registered class's type.
    template <typename T> T decodeObjectOfType(const QString& key)
    {
        const QVariant value = decodeObject(key);
        if (!value.isValid())
            return T();
        if (value.metaType() != QMetaType::fromType<T>()) {
            failWrongType(key, QMetaType::fromType<T>(), value.metaType());
            return T();
        }
        return value.value<T>();
    }
    // The archived class name of the object being decoded.
    QString className() const;
    // Gives up unarchiving, for a decoder that finds its object's fields unacceptable.
    void failWithError(const QString& message);
    bool hasFailed() const;

    KeyedUnarchiver(const KeyedUnarchiver&) = delete;
    KeyedUnarchiver& operator=(const KeyedUnarchiver&) = delete;

private:
    KeyedUnarchiver();
    void failWrongType(const QString& key, QMetaType expected, QMetaType actual);
    ~KeyedUnarchiver();
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace pf
