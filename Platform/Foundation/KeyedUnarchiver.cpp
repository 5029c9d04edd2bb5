#include "Platform/Foundation/KeyedUnarchiver.h"

#include "Platform/Foundation/ArchiveClassRegistry.h"
#include "Platform/Foundation/ArchiveUid.h"
#include "Platform/Foundation/ArchivedObject.h"
#include "Platform/Foundation/Assert.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Foundation/ReferenceDate.h"

#include <QHash>
#include <limits>
#include <vector>

namespace pf {
namespace {

QString unescapedKey(const QString& key)
{
    return key.startsWith(QLatin1String("$$")) ? key.mid(1) : key;
}

QString escapedKey(const QString& key)
{
    return key.startsWith(u'$') ? u'$' + key : key;
}

bool is(const QVariant& value, QMetaType::Type type)
{
    return value.metaType().id() == type;
}

bool isUid(const QVariant& value)
{
    return value.metaType() == QMetaType::fromType<ArchiveUid>();
}

} // namespace

class KeyedUnarchiver::Impl
{
public:
    explicit Impl(KeyedUnarchiver& owner) : m_owner(owner) {}

    QString error;

    std::nullopt_t fail(const QString& reason)
    {
        if (error.isEmpty())
            error = QStringLiteral("The archive is damaged (%1).").arg(reason);
        return std::nullopt;
    }

    std::optional<QVariantMap> unarchive(const QByteArray& data)
    {
        auto plist = PropertyList::fromData(data, &error);
        if (!plist)
            return std::nullopt;
        if (!is(*plist, QMetaType::QVariantMap))
            return fail(QStringLiteral("the top level is not a dictionary"));
        const QVariantMap archive = plist->toMap();
        const QVariant archiver = archive.value(QStringLiteral("$archiver"));
        const QVariant version = archive.value(QStringLiteral("$version"));
        if (!is(archiver, QMetaType::QString) || !is(version, QMetaType::LongLong))
            return fail(QStringLiteral("it names no archiver or version"));
        if (archiver.toString() != QLatin1String("NSKeyedArchiver") || version.toLongLong() != 100000) {
            error = QStringLiteral("The archive has an unsupported format (archiver “%1”, version %2).")
                        .arg(archiver.toString())
                        .arg(version.toLongLong());
            return std::nullopt;
        }
        const QVariant objects = archive.value(QStringLiteral("$objects"));
        const QVariant top = archive.value(QStringLiteral("$top"));
        if (!is(objects, QMetaType::QVariantList) || !is(top, QMetaType::QVariantMap))
            return fail(QStringLiteral("the object table or the top dictionary is missing"));
        m_objects = objects.toList();
        if (m_objects.isEmpty() || m_objects.first() != QVariant(QStringLiteral("$null")))
            return fail(QStringLiteral("the object table does not start with the nil object"));
        m_active.assign(m_objects.size(), false);
        // Objects referenced from many places are decoded once, but whoever walks the result meets them
        // each time: refuse archives built to expand far beyond their size.
        m_expansionLimit = std::max<quint64>(quint64(1) << 20, 8 * quint64(data.size()));

        QVariantMap result;
        const QVariantMap roots = top.toMap();
        for (auto it = roots.cbegin(); it != roots.cend(); ++it) {
            if (!isUid(it.value()))
                return fail(QStringLiteral("the root “%1” is not an object reference").arg(it.key()));
            const auto value = decode(it.value().value<ArchiveUid>().value);
            if (!value)
                return std::nullopt;
            result.insert(it.key(), *value);
        }
        return result;
    }

    // The value of `key` in the object a coder is decoding; invalid when absent or after a failure.
    QVariant field(const QString& key, bool layoutKey = false) const
    {
        PF_ASSERT(!m_frames.empty(), "decode...() is only for the object a coder is decoding");
        if (!error.isEmpty())
            return QVariant();
        return m_frames.back().fields.value(layoutKey ? key : escapedKey(key));
    }

    bool contains(const QString& key) const
    {
        PF_ASSERT(!m_frames.empty(), "containsValueForKey() is only for the object a coder is decoding");
        return m_frames.back().fields.contains(escapedKey(key));
    }

    QString currentClassName() const
    {
        PF_ASSERT(!m_frames.empty(), "className() is only for the object a coder is decoding");
        return m_frames.back().className;
    }

    void failField(const QString& key, const QString& expected)
    {
        fail(QStringLiteral("the value for “%1” in an object of class “%2” is not %3")
                 .arg(key, m_frames.back().className, expected));
    }

    qint64 integer(const QString& key, qint64 minimum, qint64 maximum)
    {
        const QVariant value = field(key);
        if (!value.isValid())
            return 0;
        if (is(value, QMetaType::Bool))
            return value.toBool() ? 1 : 0;
        if (is(value, QMetaType::LongLong) && value.toLongLong() >= minimum && value.toLongLong() <= maximum)
            return value.toLongLong();
        failField(key, is(value, QMetaType::LongLong) || is(value, QMetaType::ULongLong)
                           ? QStringLiteral("an integer in range")
                           : QStringLiteral("an integer"));
        return 0;
    }

    double real(const QString& key)
    {
        const QVariant value = field(key);
        if (!value.isValid())
            return 0;
        if (is(value, QMetaType::Double) || is(value, QMetaType::LongLong) || is(value, QMetaType::ULongLong))
            return value.toDouble();
        failField(key, QStringLiteral("a number"));
        return 0;
    }

    bool boolean(const QString& key)
    {
        const QVariant value = field(key);
        if (!value.isValid())
            return false;
        if (is(value, QMetaType::Bool) || is(value, QMetaType::LongLong) || is(value, QMetaType::ULongLong))
            return value.toBool();
        failField(key, QStringLiteral("a boolean"));
        return false;
    }

    QVariant object(const QString& key, bool layoutKey = false)
    {
        const QVariant value = field(key, layoutKey);
        if (isUid(value))
            return decode(value.value<ArchiveUid>().value).value_or(QVariant());
        if (is(value, QMetaType::QVariantList) || is(value, QMetaType::QVariantMap) ||
            is(value, QMetaType::QDateTime)) {
            failField(key, QStringLiteral("an object reference"));
            return QVariant();
        }
        return value; // absent, or a number stored inline
    }

    // The next unkeyed value of the object being decoded, from "$0" on.
    QVariant nextUnkeyed()
    {
        PF_ASSERT(!m_frames.empty(), "decode...() is only for the object a coder is decoding");
        return object(QStringLiteral("$%1").arg(m_frames.back().unkeyed++), true);
    }

private:
    struct Frame
    {
        QVariantMap fields;
        QString className;
        int unkeyed = 0; // unkeyed values read so far
    };

    KeyedUnarchiver& m_owner;
    QVariantList m_objects;
    std::vector<bool> m_active; // objects being decoded: meeting one again is a cycle
    QHash<quint64, std::pair<QVariant, quint64>> m_done; // decoded objects, with their expanded size
    std::vector<Frame> m_frames;                         // objects being decoded by coders
    std::vector<quint64> m_expansion; // values counted so far for each object being decoded
    quint64 m_expansionLimit = 0;
    int m_depth = 0; // objects, and lists and dictionaries inside the fields of unknown classes

    bool enter()
    {
        if (m_depth >= PropertyList::maxDepth) {
            fail(QStringLiteral("objects nested more than %1 levels deep").arg(PropertyList::maxDepth));
            return false;
        }
        ++m_depth;
        return true;
    }

    void count(quint64 values)
    {
        if (!m_expansion.empty())
            m_expansion.back() += values;
    }

    std::optional<QVariant> decode(quint64 uid)
    {
        if (!error.isEmpty())
            return std::nullopt;
        if (uid >= quint64(m_objects.size()))
            return fail(QStringLiteral("a reference to object %1, which does not exist").arg(uid));
        if (const auto it = m_done.constFind(uid); it != m_done.cend()) {
            count(it->second);
            return it->first;
        }
        if (m_active[uid])
            return fail(QStringLiteral("object %1 contains itself").arg(uid));

        const QVariant& object = m_objects.at(qsizetype(uid));
        switch (object.metaType().id()) {
        case QMetaType::QString:
            if (uid == 0)
                return QVariant(); // nil
            [[fallthrough]];
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Double:
        case QMetaType::Bool:
        case QMetaType::QByteArray:
        case QMetaType::QDateTime:
            count(1);
            return object;
        case QMetaType::QVariantMap:
            break;
        default:
            return fail(QStringLiteral("object %1 is of a type the archive layout does not use").arg(uid));
        }

        if (!enter())
            return std::nullopt;
        m_active[uid] = true;
        m_expansion.push_back(1);
        auto result = decodeObject(uid, object.toMap());
        const quint64 expanded = m_expansion.back();
        m_expansion.pop_back();
        m_active[uid] = false;
        --m_depth;
        if (!result)
            return std::nullopt;
        if (expanded > m_expansionLimit)
            return fail(QStringLiteral("shared objects expand to too many values"));
        m_done.insert(uid, {*result, expanded});
        count(expanded);
        return result;
    }

    // The list of references under `key`, decoded.
    std::optional<QVariantList> decodeReferences(quint64 uid, const QVariantMap& fields, const QString& key)
    {
        const QVariant references = fields.value(key);
        if (!is(references, QMetaType::QVariantList))
            return fail(QStringLiteral("object %1 has no list “%2”").arg(uid).arg(key));
        QVariantList values;
        for (const QVariant& reference : references.toList()) {
            if (!isUid(reference))
                return fail(QStringLiteral("“%1” of object %2 holds something other than references")
                                .arg(key)
                                .arg(uid));
            auto value = decode(reference.value<ArchiveUid>().value);
            if (!value)
                return std::nullopt;
            values.append(*value);
        }
        return values;
    }

    std::optional<QVariant> decodeObject(quint64 uid, const QVariantMap& fields)
    {
        const QVariant classReference = fields.value(QStringLiteral("$class"));
        if (!isUid(classReference) || classReference.value<ArchiveUid>().value >= quint64(m_objects.size()))
            return fail(QStringLiteral("object %1 has no class").arg(uid));
        const QVariant classRecord = m_objects.at(qsizetype(classReference.value<ArchiveUid>().value));
        const QVariant name = classRecord.toMap().value(QStringLiteral("$classname"));
        if (!is(classRecord, QMetaType::QVariantMap) || !is(name, QMetaType::QString) ||
            name.toString().isEmpty())
            return fail(QStringLiteral("the class of object %1 is not a class record").arg(uid));
        const QString className = name.toString();
        QStringList classes{className};
        if (const QVariant chain = classRecord.toMap().value(QStringLiteral("$classes")); chain.isValid()) {
            if (!is(chain, QMetaType::QVariantList))
                return fail(QStringLiteral("the class chain of object %1 is not a list").arg(uid));
            classes.clear();
            for (const QVariant& entry : chain.toList()) {
                if (!is(entry, QMetaType::QString))
                    return fail(
                        QStringLiteral("the class chain of object %1 is not a list of names").arg(uid));
                classes.append(entry.toString());
            }
        }

        if (className == QLatin1String("NSDate")) {
            const QVariant time = fields.value(QStringLiteral("NS.time"));
            if (!is(time, QMetaType::Double) && !is(time, QMetaType::LongLong))
                return fail(QStringLiteral("date object %1 has no time").arg(uid));
            if (const auto date = referencedate::fromSeconds(time.toDouble()))
                return QVariant(*date);
            return fail(QStringLiteral("date object %1 is out of range").arg(uid));
        }
        if (className == QLatin1String("NSArray") || className == QLatin1String("NSMutableArray")) {
            auto values = decodeReferences(uid, fields, QStringLiteral("NS.objects"));
            return values ? std::optional<QVariant>(*values) : std::nullopt;
        }
        if (className == QLatin1String("NSDictionary") || className == QLatin1String("NSMutableDictionary"))
            return decodeDictionary(uid, fields);
        if (className == QLatin1String("NSString") || className == QLatin1String("NSMutableString")) {
            const QVariant text = fields.value(QStringLiteral("NS.string"));
            if (!is(text, QMetaType::QString))
                return fail(QStringLiteral("string object %1 holds no string").arg(uid));
            return text;
        }
        if (className == QLatin1String("NSData") || className == QLatin1String("NSMutableData")) {
            const QVariant data = fields.value(QStringLiteral("NS.data"));
            if (!is(data, QMetaType::QByteArray))
                return fail(QStringLiteral("data object %1 holds no data").arg(uid));
            return data;
        }
        if (const auto archiveClass = ArchiveClassRegistry::classNamed(className)) {
            m_frames.push_back({fields, className});
            const QVariant value = archiveClass->decode(m_owner);
            m_frames.pop_back();
            if (!error.isEmpty())
                return std::nullopt;
            if (!value.isValid())
                return fail(
                    QStringLiteral("object %1 of class “%2” could not be decoded").arg(uid).arg(className));
            return value;
        }

        ArchivedObject record{className, classes, {}};
        for (auto it = fields.cbegin(); it != fields.cend(); ++it) {
            if (it.key() == QLatin1String("$class"))
                continue;
            auto value = resolve(it.value());
            if (!value)
                return std::nullopt;
            record.fields.insert(unescapedKey(it.key()), *value);
        }
        return QVariant::fromValue(record);
    }

    std::optional<QVariant> decodeDictionary(quint64 uid, const QVariantMap& fields)
    {
        const auto keys = decodeReferences(uid, fields, QStringLiteral("NS.keys"));
        if (!keys)
            return std::nullopt;
        const auto values = decodeReferences(uid, fields, QStringLiteral("NS.objects"));
        if (!values)
            return std::nullopt;
        if (keys->size() != values->size())
            return fail(QStringLiteral("dictionary object %1 has %2 keys for %3 values")
                            .arg(uid)
                            .arg(keys->size())
                            .arg(values->size()));
        QVariantMap map;
        for (qsizetype i = 0; i < keys->size(); ++i) {
            if (!is(keys->at(i), QMetaType::QString))
                return fail(QStringLiteral("dictionary object %1 has a key that is not a string").arg(uid));
            map.insert(keys->at(i).toString(), values->at(i));
        }
        return map;
    }

    // A field of an object of an unknown class, with the references in it replaced by their values.
    std::optional<QVariant> resolve(const QVariant& value)
    {
        if (isUid(value))
            return decode(value.value<ArchiveUid>().value);
        const bool container = is(value, QMetaType::QVariantList) || is(value, QMetaType::QVariantMap);
        if (container && !enter())
            return std::nullopt;
        auto result = resolveContents(value);
        if (container)
            --m_depth;
        return result;
    }

    std::optional<QVariant> resolveContents(const QVariant& value)
    {
        if (is(value, QMetaType::QVariantList)) {
            QVariantList list;
            for (const QVariant& element : value.toList()) {
                auto resolved = resolve(element);
                if (!resolved)
                    return std::nullopt;
                list.append(*resolved);
            }
            return list;
        }
        if (is(value, QMetaType::QVariantMap)) {
            QVariantMap map;
            const QVariantMap source = value.toMap();
            for (auto it = source.cbegin(); it != source.cend(); ++it) {
                auto resolved = resolve(it.value());
                if (!resolved)
                    return std::nullopt;
                map.insert(it.key(), *resolved);
            }
            return map;
        }
        count(1);
        return value;
    }
};

KeyedUnarchiver::KeyedUnarchiver() : m_impl(std::make_unique<Impl>(*this)) {}

KeyedUnarchiver::~KeyedUnarchiver() = default;

std::optional<QVariantMap> KeyedUnarchiver::unarchive(const QByteArray& data, QString* errorMessage)
{
    KeyedUnarchiver unarchiver;
    auto result = unarchiver.m_impl->unarchive(data);
    if (!result && errorMessage)
        *errorMessage = unarchiver.m_impl->error;
    return result;
}

bool KeyedUnarchiver::containsValueForKey(const QString& key) const
{
    return m_impl->contains(key);
}

qint32 KeyedUnarchiver::decodeInt32(const QString& key)
{
    return qint32(
        m_impl->integer(key, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
}

qint64 KeyedUnarchiver::decodeInt64(const QString& key)
{
    return m_impl->integer(key, std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max());
}

double KeyedUnarchiver::decodeDouble(const QString& key)
{
    return m_impl->real(key);
}

bool KeyedUnarchiver::decodeBool(const QString& key)
{
    return m_impl->boolean(key);
}

QVariant KeyedUnarchiver::decodeObject(const QString& key)
{
    return m_impl->object(key);
}

QVariant KeyedUnarchiver::decodeUnkeyedObject()
{
    return m_impl->nextUnkeyed();
}

QString KeyedUnarchiver::className() const
{
    return m_impl->currentClassName();
}

void KeyedUnarchiver::failWrongType(const QString& key, QMetaType expected, QMetaType actual)
{
    m_impl->failField(key,
                      QStringLiteral("a %1 but a %2")
                          .arg(QString::fromLatin1(expected.name()), QString::fromLatin1(actual.name())));
}

void KeyedUnarchiver::failWithError(const QString& message)
{
    if (m_impl->error.isEmpty())
        m_impl->error = message;
}

bool KeyedUnarchiver::hasFailed() const
{
    return !m_impl->error.isEmpty();
}

} // namespace pf
