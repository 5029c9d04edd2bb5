#include "Platform/Foundation/KeyedArchiver.h"

#include "Platform/Foundation/ArchiveClassRegistry.h"
#include "Platform/Foundation/ArchiveUid.h"
#include "Platform/Foundation/ArchivedObject.h"
#include "Platform/Foundation/Assert.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Foundation/ReferenceDate.h"

#include <QHash>
#include <QSet>
#include <vector>

namespace pf {
namespace {

QVariant uidValue(quint64 uid)
{
    return QVariant::fromValue(ArchiveUid{uid});
}

// Keys starting with '$' belong to the layout ("$class"); an object's own such keys get one more '$'.
QString escapedKey(const QString& key)
{
    return key.startsWith(u'$') ? u'$' + key : key;
}

bool isInlineScalar(const QVariant& value)
{
    switch (value.metaType().id()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

} // namespace

class KeyedArchiver::Impl
{
public:
    explicit Impl(KeyedArchiver& owner) : m_owner(owner) {}

    QVariantList objects{QStringLiteral("$null")};
    QStringList path;
    QString error;

    std::optional<quint64> encode(const QVariant& value)
    {
        if (!error.isEmpty())
            return std::nullopt;
        if (m_depth > PropertyList::maxDepth)
            return fail(QStringLiteral("is nested more than %1 levels deep").arg(PropertyList::maxDepth));
        if (isInlineScalar(value) || value.metaType().id() == QMetaType::QByteArray)
            return append(value);
        switch (value.metaType().id()) {
        case QMetaType::UnknownType:
            return 0;
        case QMetaType::QString: {
            const QString text = value.toString();
            if (const auto it = m_strings.constFind(text); it != m_strings.cend())
                return *it;
            const quint64 uid = append(text);
            m_strings.insert(text, uid);
            return uid;
        }
        case QMetaType::QDateTime: {
            const auto seconds = referencedate::toSeconds(value.toDateTime());
            if (!seconds)
                return fail(QStringLiteral("is an invalid date, or one too far from the present"));
            return append(QVariantMap{{QStringLiteral("NS.time"), *seconds},
                                      {QStringLiteral("$class"), classUid("NSDate", {"NSObject"})}});
        }
        case QMetaType::QVariantList:
        case QMetaType::QStringList:
            return encodeArray(value.toList());
        case QMetaType::QVariantMap:
            return encodeDictionary(value.toMap());
        default:
            break;
        }
        if (value.metaType() == QMetaType::fromType<ArchivedObject>())
            return encodeArchivedObject(value.value<ArchivedObject>());
        if (value.metaType() == QMetaType::fromType<ArchiveUid>())
            return fail(QStringLiteral("is an archive UID, which is not a value that can be archived"));
        if (const auto archiveClass = ArchiveClassRegistry::classForType(value.metaType()))
            return encodeRegistered(*archiveClass, value);
        return fail(QStringLiteral("has the type “%1”, which cannot be archived")
                        .arg(QString::fromLatin1(value.typeName())));
    }

    void setField(const QString& key, const QVariant& value)
    {
        PF_ASSERT(!m_fields.empty(), "encode...() is only for the object a coder is encoding");
        m_fields.back().insert(escapedKey(key), value);
    }

    // The next unkeyed value of the object being encoded, under "$0", "$1", ...
    void setUnkeyedField(const QVariant& value)
    {
        PF_ASSERT(!m_fields.empty(), "encode...() is only for the object a coder is encoding");
        m_fields.back().insert(QStringLiteral("$%1").arg(m_unkeyed.back()++), value);
    }

private:
    KeyedArchiver& m_owner;
    QHash<QString, quint64> m_strings;
    QHash<QString, quint64> m_classes;
    QHash<const void*, quint64> m_identities;
    QSet<const void*> m_inProgress;
    std::vector<QVariantMap> m_fields; // the objects being encoded by coders, innermost last
    std::vector<int> m_unkeyed;        // how many unkeyed values each of them has so far
    int m_depth = 0;

    std::nullopt_t fail(const QString& problem)
    {
        if (error.isEmpty()) {
            error = QStringLiteral("The archive cannot be written: the value at “%1” %2.")
                        .arg(path.join(u'/'), problem);
        }
        return std::nullopt;
    }

    quint64 append(const QVariant& object)
    {
        objects.append(object);
        return objects.size() - 1;
    }

    QVariant classUid(const QString& name, const QStringList& superclasses)
    {
        if (const auto it = m_classes.constFind(name); it != m_classes.cend())
            return uidValue(*it);
        QVariantList chain{name};
        for (const QString& superclass : superclasses)
            chain.append(superclass);
        const quint64 uid =
            append(QVariantMap{{QStringLiteral("$classname"), name}, {QStringLiteral("$classes"), chain}});
        m_classes.insert(name, uid);
        return uidValue(uid);
    }

    // Encodes a child of the object being built, under `key` in error messages.
    std::optional<QVariant> child(const QString& key, const QVariant& value)
    {
        path.append(key);
        ++m_depth;
        const auto uid = encode(value);
        --m_depth;
        path.removeLast();
        if (!uid)
            return std::nullopt;
        return uidValue(*uid);
    }

    std::optional<quint64> encodeArray(const QVariantList& list)
    {
        const quint64 slot = append(QVariant()); // parents come before their children
        QVariantList references;
        references.reserve(list.size());
        for (qsizetype i = 0; i < list.size(); ++i) {
            const auto reference = child(QString::number(i), list[i]);
            if (!reference)
                return std::nullopt;
            references.append(*reference);
        }
        objects[slot] = QVariantMap{{QStringLiteral("NS.objects"), references},
                                    {QStringLiteral("$class"), classUid("NSArray", {"NSObject"})}};
        return slot;
    }

    std::optional<quint64> encodeDictionary(const QVariantMap& map)
    {
        const quint64 slot = append(QVariant());
        QVariantList keys, values;
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            const auto key = child(it.key(), it.key());
            const auto value = key ? child(it.key(), it.value()) : std::nullopt;
            if (!value)
                return std::nullopt;
            keys.append(*key);
            values.append(*value);
        }
        objects[slot] = QVariantMap{{QStringLiteral("NS.keys"), keys},
                                    {QStringLiteral("NS.objects"), values},
                                    {QStringLiteral("$class"), classUid("NSDictionary", {"NSObject"})}};
        return slot;
    }

    std::optional<quint64> encodeArchivedObject(const ArchivedObject& object)
    {
        if (object.className.isEmpty())
            return fail(QStringLiteral("is an archived object without a class name"));
        const quint64 slot = append(QVariant());
        QVariantMap fields;
        for (auto it = object.fields.cbegin(); it != object.fields.cend(); ++it) {
            if (isInlineScalar(it.value())) {
                fields.insert(escapedKey(it.key()), it.value());
                continue;
            }
            const auto reference = child(it.key(), it.value());
            if (!reference)
                return std::nullopt;
            fields.insert(escapedKey(it.key()), *reference);
        }
        QStringList superclasses = object.classes;
        if (!superclasses.isEmpty() && superclasses.first() == object.className)
            superclasses.removeFirst();
        fields.insert(QStringLiteral("$class"), classUid(object.className, superclasses));
        objects[slot] = fields;
        return slot;
    }

    std::optional<quint64> encodeRegistered(const ArchiveClass& archiveClass, const QVariant& value)
    {
        const void* identity = archiveClass.identity ? archiveClass.identity(value) : nullptr;
        if (archiveClass.identity && !identity)
            return 0; // a null pointer is nil
        if (identity) {
            if (const auto it = m_identities.constFind(identity); it != m_identities.cend())
                return *it;
            if (m_inProgress.contains(identity))
                return fail(
                    QStringLiteral("is an object of class “%1” that contains itself").arg(archiveClass.name));
            m_inProgress.insert(identity);
        }
        const quint64 slot = append(QVariant());
        m_fields.emplace_back();
        m_unkeyed.push_back(0);
        ++m_depth;
        archiveClass.encode(value, m_owner);
        --m_depth;
        QVariantMap fields = std::move(m_fields.back());
        m_fields.pop_back();
        m_unkeyed.pop_back();
        if (!error.isEmpty())
            return std::nullopt;
        fields.insert(QStringLiteral("$class"), classUid(archiveClass.name, archiveClass.superclasses));
        objects[slot] = fields;
        if (identity) {
            m_inProgress.remove(identity);
            m_identities.insert(identity, slot);
        }
        return slot;
    }
};

KeyedArchiver::KeyedArchiver() : m_impl(std::make_unique<Impl>(*this)) {}

KeyedArchiver::~KeyedArchiver() = default;

std::optional<QByteArray> KeyedArchiver::archivedData(const QVariantMap& rootObjects, QString* errorMessage)
{
    KeyedArchiver archiver;
    Impl& d = *archiver.m_impl;
    QVariantMap top;
    for (auto it = rootObjects.cbegin(); it != rootObjects.cend(); ++it) {
        d.path = QStringList{it.key()};
        const auto uid = d.encode(it.value());
        if (!uid) {
            if (errorMessage)
                *errorMessage = d.error;
            return std::nullopt;
        }
        top.insert(it.key(), uidValue(*uid));
    }
    const QVariantMap archive{{QStringLiteral("$archiver"), QStringLiteral("NSKeyedArchiver")},
                              {QStringLiteral("$version"), qint64(100000)},
                              {QStringLiteral("$top"), top},
                              {QStringLiteral("$objects"), d.objects}};
    return PropertyList::toData(archive, PropertyList::Format::Binary, errorMessage);
}

void KeyedArchiver::encodeInt32(const QString& key, qint32 value)
{
    m_impl->setField(key, qint64(value));
}

void KeyedArchiver::encodeInt64(const QString& key, qint64 value)
{
    m_impl->setField(key, value);
}

void KeyedArchiver::encodeDouble(const QString& key, double value)
{
    m_impl->setField(key, value);
}

void KeyedArchiver::encodeBool(const QString& key, bool value)
{
    m_impl->setField(key, value);
}

void KeyedArchiver::encodeObject(const QString& key, const QVariant& value)
{
    m_impl->path.append(key);
    const auto uid = m_impl->encode(value);
    m_impl->path.removeLast();
    if (uid)
        m_impl->setField(key, uidValue(*uid));
}

void KeyedArchiver::encodeUnkeyedObject(const QVariant& value)
{
    m_impl->path.append(QStringLiteral("(unkeyed)"));
    const auto uid = m_impl->encode(value);
    m_impl->path.removeLast();
    if (uid)
        m_impl->setUnkeyedField(uidValue(*uid));
}

void KeyedArchiver::failWithError(const QString& message)
{
    if (m_impl->error.isEmpty())
        m_impl->error = message;
}

} // namespace pf
