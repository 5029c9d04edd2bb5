#pragma once

#include "Platform/Foundation/ObserverToken.h"

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>
#include <functional>
#include <memory>

namespace pf {

// Per-user preferences: values the user or the program set, persisted in a settings file, above a
// layer of registered defaults that lives only in memory. Values are the property-list types: string,
// integer (qint64), real (double), bool, date (QDateTime), data (QByteArray), and lists and
// dictionaries of those; they read back with the type they were stored with. Every member may be
// called from any thread.
class UserDefaults
{
public:
    // Persisted in defaultFilePath().
    static UserDefaults& standard();
    // PF_USER_DEFAULTS_FILE when set, else "<user config folder>/<executable name>/defaults.conf".
    static QString defaultFilePath();

    // Values persisted in the settings file at `filePath` (created when first written).
    explicit UserDefaults(const QString& filePath);
    // Writes pending changes.
    ~UserDefaults();
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    QString filePath() const;
    // Writes pending changes to the current file, then reads the values from `filePath` instead.
    void setFileForTesting(const QString& filePath);

    // Adds to (or replaces in) the registered layer, which is never written to disk.
    void registerDefaults(const QVariantMap& defaults);

    // The set value, else the registered default, else an invalid QVariant.
    QVariant value(const QString& key) const;
    // The conversions below read a missing key as false, 0 or empty.
    // True for true, a non-zero number, or a string starting (after white space, a sign and zeros)
    // with Y, y, T, t or a digit 1-9: "YES", "true", "1".
    bool boolForKey(const QString& key) const;
    // Reals are truncated toward zero (saturating); strings must be one number in C locale text.
    qint64 integerForKey(const QString& key) const;
    double doubleForKey(const QString& key) const;
    // Strings as they are; numbers as C locale text ("1.5", "42"; true and false as "1" and "0").
    QString stringForKey(const QString& key) const;
    QVariantList arrayForKey(const QString& key) const;
    QVariantMap dictionaryForKey(const QString& key) const;
    QByteArray dataForKey(const QString& key) const;
    // The effective values: registered defaults overlaid with the set values.
    QVariantMap dictionaryRepresentation() const;

    // Other integer types are stored as integers, float as real, a string list as a list. A value of
    // another type is refused (and reported); an invalid QVariant removes the key.
    void setValue(const QString& key, const QVariant& value);
    void setBool(const QString& key, bool value) { setValue(key, QVariant(value)); }
    void setInteger(const QString& key, qint64 value) { setValue(key, QVariant(value)); }
    void setDouble(const QString& key, double value) { setValue(key, QVariant(value)); }
    void setString(const QString& key, const QString& value) { setValue(key, QVariant(value)); }
    // Removes the set value, so the registered default (if any) shows again.
    void removeObject(const QString& key);

    // Writes pending changes now. Changes are also written on the next turn of the main event loop
    // and on destruction. False (and an error logged) when the file could not be written.
    bool synchronize();

    // Calls `callback` with the new effective value (invalid when none is left) whenever the value
    // of `key` changes: by a setter, removeObject or registerDefaults. It runs on the thread that made
    // the change, after the change, without any lock held. Once the token is reset, the callback is
    // not running on another thread and will not be called again.
    ObserverToken observe(const QString& key, std::function<void(const QVariant& newValue)> callback);

private:
    struct Impl;
    std::shared_ptr<Impl> d;
};

} // namespace pf
