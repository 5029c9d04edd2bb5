#include "Platform/Foundation/UserDefaults.h"

#include "Platform/Foundation/FileSystem.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/NumberText.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDateTime>
#include <QFileInfo>
#include <QIODevice>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QUrl>
#include <cmath>
#include <limits>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace pf {

namespace {

// Each value is stored as bytes of QDataStream at a fixed version: the settings file's own text forms
// lose types (integers and bools come back as strings) and its nested maps do not survive.
constexpr quint8 kValueFormat = 1;
constexpr QDataStream::Version kStreamVersion = QDataStream::Qt_6_0;

// The settings file treats '/' and '\' in keys as group separators; percent-encoding every key keeps
// arbitrary key text intact.
QString encodeKey(const QString& key)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(key));
}

QString decodeKey(const QString& stored)
{
    return QUrl::fromPercentEncoding(stored.toLatin1());
}

// The value as one of the property-list types, or nothing when it has no such form.
std::optional<QVariant> normalized(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::QString:
    case QMetaType::QByteArray:
    case QMetaType::QDateTime:
    case QMetaType::Double:
    case QMetaType::LongLong:
        return value;
    case QMetaType::Float:
        return QVariant(double(value.toFloat()));
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return QVariant(value.toLongLong());
    case QMetaType::ULong:
    case QMetaType::ULongLong: {
        const qulonglong number = value.toULongLong();
        if (number > qulonglong(std::numeric_limits<qint64>::max()))
            return std::nullopt;
        return QVariant(qint64(number));
    }
    case QMetaType::QStringList: {
        QVariantList list;
        for (const QString& string : value.toStringList())
            list.append(string);
        return list;
    }
    case QMetaType::QVariantList: {
        QVariantList list;
        for (const QVariant& element : value.toList()) {
            const std::optional<QVariant> converted = normalized(element);
            if (!converted)
                return std::nullopt;
            list.append(*converted);
        }
        return list;
    }
    case QMetaType::QVariantMap:
    case QMetaType::QVariantHash: {
        QVariantMap map;
        const QVariantMap source = value.toMap();
        for (auto it = source.begin(); it != source.end(); ++it) {
            const std::optional<QVariant> converted = normalized(it.value());
            if (!converted)
                return std::nullopt;
            map.insert(it.key(), *converted);
        }
        return map;
    }
    default:
        return std::nullopt;
    }
}

QByteArray serialized(const QVariant& value)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream.setVersion(kStreamVersion);
    stream << kValueFormat << value;
    return bytes;
}

std::optional<QVariant> deserialized(const QByteArray& bytes)
{
    QDataStream stream(bytes);
    stream.setVersion(kStreamVersion);
    quint8 format = 0;
    QVariant value;
    stream >> format >> value;
    if (stream.status() != QDataStream::Ok || !stream.atEnd() || format != kValueFormat)
        return std::nullopt;
    return normalized(value);
}

// Equal and of the same type: 1 and 1.0 are different values to a reader of the types.
bool sameValue(const QVariant& a, const QVariant& b)
{
    return a.metaType() == b.metaType() && a == b;
}

bool stringIsTrue(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    if (i < text.size() && (text.at(i) == u'+' || text.at(i) == u'-'))
        ++i;
    while (i < text.size() && text.at(i) == u'0')
        ++i;
    if (i == text.size())
        return false;
    const QChar c = text.at(i);
    return c == u'Y' || c == u'y' || c == u'T' || c == u't' || (c >= u'1' && c <= u'9');
}

qint64 saturatedInteger(double value)
{
    if (std::isnan(value))
        return 0;
    // 2^63 is exactly representable; anything at or beyond it does not fit.
    constexpr double limit = 9223372036854775808.0;
    if (value >= limit)
        return std::numeric_limits<qint64>::max();
    if (value < -limit)
        return std::numeric_limits<qint64>::min();
    return qint64(value); // truncates toward zero
}

struct Observer
{
    QString key;
    std::function<void(const QVariant&)> callback;
    // Held while the callback runs, so removal waits for a call in progress on another thread.
    // Recursive: a callback may remove its own registration.
    std::recursive_mutex callMutex;
    bool removed = false;
};

struct Notification
{
    QVariant value;
    std::vector<std::shared_ptr<Observer>> observers;
};

void deliver(const std::vector<Notification>& notifications)
{
    for (const Notification& notification : notifications) {
        for (const auto& observer : notification.observers) {
            std::lock_guard lock(observer->callMutex);
            if (!observer->removed)
                observer->callback(notification.value);
        }
    }
}

QVariantMap readFile(const QString& path)
{
    QVariantMap values;
    if (!QFileInfo::exists(path))
        return values;
    QSettings settings(path, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError)
        warning(QStringLiteral("Could not read the user defaults in \"%1\"").arg(path));
    for (const QString& storedKey : settings.allKeys()) {
        const QString key = decodeKey(storedKey);
        const QVariant stored = settings.value(storedKey);
        if (stored.typeId() == QMetaType::QByteArray) {
            if (const std::optional<QVariant> value = deserialized(stored.toByteArray()))
                values.insert(key, *value);
            else
                warning(
                    QStringLiteral("Ignored the unreadable user default \"%1\" in \"%2\"").arg(key, path));
        } else if (const std::optional<QVariant> value = normalized(stored)) {
            // Written by hand: the settings file gives text (or a list of text).
            values.insert(key, *value);
        }
    }
    return values;
}

bool writeFile(const QString& path, const QVariantMap& values)
{
    QString error;
    if (!FileSystem::createDirectory(QFileInfo(path).absolutePath(), &error)) {
        pf::error(QStringLiteral("Could not save the user defaults: %1").arg(error));
        return false;
    }
    QSettings settings(path, QSettings::IniFormat);
    // The file is written to a temporary file and renamed into place, never in part.
    settings.setAtomicSyncRequired(true);
    settings.clear();
    for (auto it = values.begin(); it != values.end(); ++it)
        settings.setValue(encodeKey(it.key()), serialized(it.value()));
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        pf::error(QStringLiteral("Could not save the user defaults in \"%1\"").arg(path));
        return false;
    }
    return true;
}

} // namespace

struct UserDefaults::Impl : std::enable_shared_from_this<Impl>
{
    mutable std::mutex mutex; // guards everything below except fileMutex
    QString filePath;
    QVariantMap values;
    QVariantMap registered;
    std::vector<std::shared_ptr<Observer>> observers;
    quint64 changeCount = 0;
    quint64 savedCount = 0;
    bool writeScheduled = false;
    // Serializes writing: a later write always carries a later snapshot.
    std::mutex fileMutex;

    QVariant effective(const QString& key) const
    {
        auto it = values.constFind(key);
        if (it != values.constEnd())
            return *it;
        return registered.value(key);
    }

    std::vector<std::shared_ptr<Observer>> observersOf(const QString& key) const
    {
        std::vector<std::shared_ptr<Observer>> result;
        for (const auto& observer : observers)
            if (observer->key == key)
                result.push_back(observer);
        return result;
    }

    // Called with `mutex` held after a change to the set values.
    void changed()
    {
        ++changeCount;
        if (writeScheduled || !QCoreApplication::instance())
            return;
        writeScheduled = true;
        std::weak_ptr<Impl> weak = weak_from_this();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [weak] {
                if (auto self = weak.lock())
                    self->save();
            },
            Qt::QueuedConnection);
    }

    bool save()
    {
        std::lock_guard fileLock(fileMutex);
        QString path;
        QVariantMap snapshot;
        quint64 count = 0;
        {
            std::lock_guard lock(mutex);
            writeScheduled = false;
            if (changeCount == savedCount)
                return true;
            path = filePath;
            snapshot = values;
            count = changeCount;
        }
        if (!writeFile(path, snapshot))
            return false;
        std::lock_guard lock(mutex);
        savedCount = std::max(savedCount, count);
        return true;
    }
};

UserDefaults& UserDefaults::standard()
{
    static UserDefaults defaults(defaultFilePath());
    // Writes what is pending while the application object, and Qt with it, is still alive.
    static const bool registered = [] {
        qAddPostRoutine([] { UserDefaults::standard().synchronize(); });
        return true;
    }();
    Q_UNUSED(registered);
    return defaults;
}

QString UserDefaults::defaultFilePath()
{
    const QString fromEnvironment = qEnvironmentVariable("PF_USER_DEFAULTS_FILE");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u'/' +
           FileSystem::executableName() + QStringLiteral("/defaults.conf");
}

UserDefaults::UserDefaults(const QString& filePath) : d(std::make_shared<Impl>())
{
    d->filePath = filePath;
    d->values = readFile(filePath);
}

UserDefaults::~UserDefaults()
{
    d->save();
}

QString UserDefaults::filePath() const
{
    std::lock_guard lock(d->mutex);
    return d->filePath;
}

void UserDefaults::setFileForTesting(const QString& filePath)
{
    d->save();
    std::lock_guard fileLock(d->fileMutex);
    QVariantMap values = readFile(filePath);
    std::lock_guard lock(d->mutex);
    d->filePath = filePath;
    d->values = std::move(values);
    d->savedCount = d->changeCount;
}

void UserDefaults::registerDefaults(const QVariantMap& defaults)
{
    std::vector<Notification> notifications;
    {
        std::lock_guard lock(d->mutex);
        for (auto it = defaults.begin(); it != defaults.end(); ++it) {
            const std::optional<QVariant> value = normalized(it.value());
            if (!value) {
                warning(QStringLiteral("Refused a default of type %1 for \"%2\": not a property-list value")
                            .arg(QLatin1String(it.value().typeName()), it.key()));
                continue;
            }
            const QVariant before = d->effective(it.key());
            d->registered.insert(it.key(), *value);
            if (!d->values.contains(it.key()) && !sameValue(before, *value))
                notifications.push_back({*value, d->observersOf(it.key())});
        }
    }
    deliver(notifications);
}

QVariant UserDefaults::value(const QString& key) const
{
    std::lock_guard lock(d->mutex);
    return d->effective(key);
}

bool UserDefaults::boolForKey(const QString& key) const
{
    const QVariant v = value(key);
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool();
    case QMetaType::LongLong:
        return v.toLongLong() != 0;
    case QMetaType::Double:
        return !std::isnan(v.toDouble()) && v.toDouble() != 0;
    case QMetaType::QString:
        return stringIsTrue(v.toString());
    default:
        return false;
    }
}

qint64 UserDefaults::integerForKey(const QString& key) const
{
    const QVariant v = value(key);
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool() ? 1 : 0;
    case QMetaType::LongLong:
        return v.toLongLong();
    case QMetaType::Double:
        return saturatedInteger(v.toDouble());
    case QMetaType::QString:
        if (const std::optional<qint64> integer = parseInteger(v.toString()))
            return *integer;
        if (const std::optional<double> real = parseDouble(v.toString()))
            return saturatedInteger(*real);
        return 0;
    default:
        return 0;
    }
}

double UserDefaults::doubleForKey(const QString& key) const
{
    const QVariant v = value(key);
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool() ? 1 : 0;
    case QMetaType::LongLong:
        return double(v.toLongLong());
    case QMetaType::Double:
        return v.toDouble();
    case QMetaType::QString:
        return parseDouble(v.toString()).value_or(0);
    default:
        return 0;
    }
}

QString UserDefaults::stringForKey(const QString& key) const
{
    const QVariant v = value(key);
    switch (v.typeId()) {
    case QMetaType::QString:
        return v.toString();
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QMetaType::LongLong:
        return formatNumber(v.toLongLong());
    case QMetaType::Double:
        return formatShortest(v.toDouble());
    default:
        return {};
    }
}

QVariantList UserDefaults::arrayForKey(const QString& key) const
{
    const QVariant v = value(key);
    return v.typeId() == QMetaType::QVariantList ? v.toList() : QVariantList();
}

QVariantMap UserDefaults::dictionaryForKey(const QString& key) const
{
    const QVariant v = value(key);
    return v.typeId() == QMetaType::QVariantMap ? v.toMap() : QVariantMap();
}

QByteArray UserDefaults::dataForKey(const QString& key) const
{
    const QVariant v = value(key);
    return v.typeId() == QMetaType::QByteArray ? v.toByteArray() : QByteArray();
}

QVariantMap UserDefaults::dictionaryRepresentation() const
{
    std::lock_guard lock(d->mutex);
    QVariantMap result = d->registered;
    result.insert(d->values);
    return result;
}

void UserDefaults::setValue(const QString& key, const QVariant& value)
{
    if (key.isEmpty()) {
        warning(QStringLiteral("Refused a user default without a key"));
        return;
    }
    if (!value.isValid()) {
        removeObject(key);
        return;
    }
    const std::optional<QVariant> stored = normalized(value);
    if (!stored) {
        warning(QStringLiteral("Refused a user default of type %1 for \"%2\": not a property-list value")
                    .arg(QLatin1String(value.typeName()), key));
        return;
    }
    std::vector<Notification> notifications;
    {
        std::lock_guard lock(d->mutex);
        const QVariant before = d->effective(key);
        const auto it = d->values.constFind(key);
        if (it != d->values.constEnd() && sameValue(*it, *stored))
            return;
        d->values.insert(key, *stored);
        d->changed();
        if (!sameValue(before, *stored))
            notifications.push_back({*stored, d->observersOf(key)});
    }
    deliver(notifications);
}

void UserDefaults::removeObject(const QString& key)
{
    std::vector<Notification> notifications;
    {
        std::lock_guard lock(d->mutex);
        const auto it = d->values.find(key);
        if (it == d->values.end())
            return;
        const QVariant before = *it;
        d->values.erase(it);
        d->changed();
        const QVariant after = d->registered.value(key);
        if (!sameValue(before, after))
            notifications.push_back({after, d->observersOf(key)});
    }
    deliver(notifications);
}

bool UserDefaults::synchronize()
{
    return d->save();
}

ObserverToken UserDefaults::observe(const QString& key,
                                    std::function<void(const QVariant& newValue)> callback)
{
    auto observer = std::make_shared<Observer>();
    observer->key = key;
    observer->callback = std::move(callback);
    {
        std::lock_guard lock(d->mutex);
        d->observers.push_back(observer);
    }
    std::weak_ptr<Impl> weak = d;
    return ObserverToken([weak, observer] {
        {
            std::lock_guard callLock(observer->callMutex);
            observer->removed = true;
        }
        if (auto impl = weak.lock()) {
            std::lock_guard lock(impl->mutex);
            std::erase(impl->observers, observer);
        }
    });
}

} // namespace pf
