#include "Classes/Frames/OVEffectsCatalog.h"

#include "Classes/Frames/OVEffect.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/PropertyList.h"

#include <algorithm>

namespace {

struct Migration
{
    QString replaceName;
    QHash<QString, QString> replaceInputs; // old input key -> new input key
};

// Effects that were renamed or whose inputs were: stored settings use the old names.
const QHash<QString, Migration>& migrations()
{
    static const QHash<QString, Migration> table = {
        {QStringLiteral("OVColorMultiplyFilter"),
         {QStringLiteral("OVGradientMultiplyFilter"),
          {{QStringLiteral("inputColor"), QStringLiteral("inputGradient")}}}},
    };
    return table;
}

QVariantList readEffectsResource()
{
    const QString path =
        pf::Bundle::main().pathForResource(QStringLiteral("Effects"), QStringLiteral("plist"));
    if (path.isEmpty()) {
        pf::log(QStringLiteral("Warning: no Effects.plist among the resources: no framework effects"));
        return {};
    }
    QString message;
    const std::optional<QVariant> list = pf::PropertyList::fromFile(path, &message);
    if (!list || list->typeId() != QMetaType::QVariantList) {
        pf::log(QStringLiteral("Warning: could not read %1: %2").arg(path, message));
        return {};
    }
    return list->toList();
}

} // namespace

OVEffectsCatalog& OVEffectsCatalog::sharedEffectsCatalog()
{
    static OVEffectsCatalog catalog(readEffectsResource());
    return catalog;
}

OVEffectsCatalog::OVEffectsCatalog(const QVariantList& descriptions)
{
    for (const QVariant& description : descriptions)
        addEffectWithDescription(description.toMap());
    sortDisplayNames();
}

void OVEffectsCatalog::addEffectWithDescription(const QVariantMap& description)
{
    QString key;
    for (const char* candidate : {"name", "ciName", "displayName"}) {
        key = description.value(QString::fromLatin1(candidate)).toString();
        if (!key.isEmpty())
            break;
    }
    if (key.isEmpty()) {
        QStringList pairs;
        for (auto it = description.begin(); it != description.end(); ++it)
            pairs << it.key() + QStringLiteral(" = ") + it.value().toString();
        pf::log(
            QStringLiteral("Warning: No Name! Skipping Effect {%1}").arg(pairs.join(QStringLiteral("; "))));
        return;
    }
    const QString display = pf::localized(description.value(QStringLiteral("displayName"), key).toString());
    // A replaced entry takes its shown name along, so the menu lists no name twice for one effect.
    if (m_catalog.contains(key))
        m_displayNames.remove(m_catalog.value(key).value(QStringLiteral("displayName")).toString());
    QVariantMap entry = description;
    entry[QStringLiteral("displayName")] = display;
    m_catalog.insert(key, entry);
    m_displayNames.insert(display, key);
    sortDisplayNames();
}

void OVEffectsCatalog::sortDisplayNames()
{
    m_sortedDisplayNames = m_displayNames.keys();
    std::sort(m_sortedDisplayNames.begin(), m_sortedDisplayNames.end(),
              [](const QString& a, const QString& b) {
                  const int order = a.compare(b, Qt::CaseInsensitive);
                  return order != 0 ? order < 0 : a < b;
              });
}

std::unique_ptr<OVEffect> OVEffectsCatalog::effectForDisplayName(const QString& displayName) const
{
    const auto key = m_displayNames.find(displayName);
    if (key == m_displayNames.end())
        return nullptr;
    return OVEffect::create(m_catalog.value(*key));
}

QVariantMap OVEffectsCatalog::verifyEffectSettings(const QVariantMap& settings)
{
    const auto rule = migrations().find(settings.value(QStringLiteral("name")).toString());
    if (rule == migrations().end())
        return settings;
    QVariantMap migrated = settings;
    if (!rule->replaceName.isEmpty())
        migrated[QStringLiteral("name")] = rule->replaceName;
    for (auto it = rule->replaceInputs.begin(); it != rule->replaceInputs.end(); ++it) {
        if (migrated.contains(it.key()))
            migrated[it.value()] = migrated.take(it.key());
    }
    return migrated;
}

std::unique_ptr<OVEffect> OVEffectsCatalog::effectWithSettings(const QVariantMap& stored) const
{
    QVariantMap settings = verifyEffectSettings(stored);
    const QString name = settings.value(QStringLiteral("name")).toString();
    // Nothing names the effect: looking up "Filter" alone would find nothing meant.
    if (name.isEmpty()) {
        pf::log(QStringLiteral("Warning: Effect settings without a name: no effect made"));
        return nullptr;
    }
    QVariantMap description = m_catalog.value(name);
    if (description.isEmpty()) {
        const QString longer = name + QStringLiteral("Filter");
        description = m_catalog.value(longer);
        if (!description.isEmpty())
            settings[QStringLiteral("name")] = longer;
    }
    if (description.isEmpty())
        description = {{QStringLiteral("name"), name}};
    return OVEffect::create(description, settings);
}

std::unique_ptr<OVEffect> OVEffectsCatalog::effectForSettings(const QVariantMap& settings)
{
    return sharedEffectsCatalog().effectWithSettings(settings);
}
