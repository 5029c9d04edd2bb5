#include "Platform/Foundation/Localization.h"

#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/FileRead.h"
#include "Platform/Foundation/Guarded.h"

#include <QHash>
#include <QLocale>
#include <QVariantMap>
#include <mutex>

namespace pf {

namespace {

constinit Guarded<QString> testLanguage;
// Guards the tables read so far.
constinit std::mutex tableMutex;

// Tables are read once per resources folder, language and name; a missing table is remembered too.
const QVariantMap& table(const Bundle& bundle, const QString& language, const QString& name)
{
    static QHash<QString, QVariantMap> tables;
    const QString key = bundle.resourcePath() + QLatin1Char('\n') + language + QLatin1Char('\n') + name;
    auto it = tables.find(key);
    if (it != tables.end())
        return *it;
    QVariantMap entries;
    const QString path =
        bundle.pathForResource(name, QStringLiteral("plist"), QStringLiteral("Localization/") + language);
    if (!path.isEmpty())
        entries = FileRead::dictionary(path, QStringLiteral("The strings table %1 cannot be read: %2"))
                      .value_or(QVariantMap());
    return *tables.insert(key, entries);
}

// The language and, for a regional one, its base language; none for English, whose text is the key.
QStringList candidateLanguages(const QString& language)
{
    QStringList languages{language};
    if (language.contains(QLatin1Char('_')))
        languages << language.section(QLatin1Char('_'), 0, 0);
    QStringList candidates;
    for (const QString& candidate : languages) {
        if (candidate.isEmpty() || candidate == QLatin1String("en") ||
            candidate.startsWith(QLatin1String("en_")))
            break;
        candidates << candidate;
    }
    return candidates;
}

} // namespace

void Localization::setLanguageForTesting(const QString& language)
{
    testLanguage.set(language);
}

QString Localization::lookup(const Bundle& bundle, const QString& language, const QString& englishText,
                             const QString& tableName)
{
    const QString name = tableName.isEmpty() ? QStringLiteral("Localizable") : tableName;
    std::lock_guard lock(tableMutex);
    for (const QString& candidate : candidateLanguages(language)) {
        const QVariantMap& entries = table(bundle, candidate, name);
        auto it = entries.find(englishText);
        if (it != entries.end() && it->metaType().id() == QMetaType::QString)
            return it->toString();
    }
    // Keys that are not English text themselves ("ResizeFrameHint") have their English text in the
    // English table, which also stands in for entries a language's table lacks.
    const QVariantMap& english = table(bundle, QStringLiteral("en"), name);
    auto it = english.find(englishText);
    if (it != english.end() && it->metaType().id() == QMetaType::QString)
        return it->toString();
    return englishText;
}

QString Localization::currentLanguage()
{
    const QString language = testLanguage.get();
    return language.isEmpty() ? QLocale::system().name() : language;
}

QString Localization::tablePath(const Bundle& bundle, const QString& language, const QString& table)
{
    const QString name = table.isEmpty() ? QStringLiteral("Localizable") : table;
    for (const QString& candidate : candidateLanguages(language)) {
        const QString path = bundle.pathForResource(name, QStringLiteral("plist"),
                                                    QStringLiteral("Localization/") + candidate);
        if (!path.isEmpty())
            return path;
    }
    return QString();
}

QString localized(const QString& englishText, const QString& table)
{
    return Localization::lookup(Bundle::main(), Localization::currentLanguage(), englishText, table);
}

} // namespace pf
