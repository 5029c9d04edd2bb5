#include "Classes/ToolObjects/GMEffectBlueprint.h"

#include "Classes/ToolObjects/GMBundleImage.h"
#include "Classes/ToolObjects/GMConverter.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Image/Color.h"

#include <QColor>

GMEffectBlueprint::GMEffectBlueprint(const QVariantMap& blueprint)
    : m_blueprint(blueprint), m_parser(std::make_unique<GMXMLFilterParser>(blueprint)),
      m_defaultValues(m_parser->defaultValues())
{}

QString GMEffectBlueprint::photoToolName() const
{
    return m_blueprint.value(QStringLiteral("name")).toString();
}

QString GMEffectBlueprint::displayName() const
{
    return m_blueprint.value(QStringLiteral("displayName")).toString();
}

QString GMEffectBlueprint::toolDescription() const
{
    return m_blueprint.value(QStringLiteral("description")).toString();
}

QString GMEffectBlueprint::howToDescription() const
{
    return m_blueprint.value(QStringLiteral("howTo")).toString();
}

QImage GMEffectBlueprint::beforeIcon() const
{
    return GMBundleImage::qimageNamed(m_blueprint.value(QStringLiteral("previewBeforeIcon")).toString());
}

QImage GMEffectBlueprint::afterIcon() const
{
    return GMBundleImage::qimageNamed(m_blueprint.value(QStringLiteral("previewAfterIcon")).toString());
}

QStringList GMEffectBlueprint::brushTypes() const
{
    const QStringList named =
        defaultBrushValueForKey(QStringLiteral("brushTypes")).toString().split(QLatin1Char(','));
    QStringList types;
    for (const char* type : {"click", "smartBrush", "brush", "eraser"}) {
        if (named.contains(QString::fromLatin1(type)))
            types << QString::fromLatin1(type);
    }
    return types;
}

QVariant GMEffectBlueprint::defaultBrushValueForKey(const QString& key) const
{
    return m_blueprint.value(QStringLiteral("brush")).toMap().value(key);
}

bool GMEffectBlueprint::hasInputForInputKey(const QString& key) const
{
    return m_blueprint.value(QStringLiteral("settings")).toMap().contains(key);
}

QVariant GMEffectBlueprint::defaultValueForInputKey(const QString& key) const
{
    QVariant value;
    if (key == QLatin1String("brush")) {
        // The brush setting itself: its default is the whole brush dictionary.
        value = m_defaultValues.value(key);
    } else if (key.startsWith(QLatin1String("brush"))) {
        value = m_defaultValues.value(QStringLiteral("brush")).toMap().value(key);
        if (!value.isValid())
            value = m_blueprint.value(QStringLiteral("settings"))
                        .toMap()
                        .value(QStringLiteral("brush"))
                        .toMap()
                        .value(key);
    } else {
        value = m_defaultValues.value(key);
    }
    if (!value.isValid() && key != QLatin1String("brushPathKey"))
        pf::warning(QStringLiteral("Blueprint Default value missing for key %1").arg(key));
    return value;
}

QVariantMap GMEffectBlueprint::defaultSettingsValues() const
{
    QVariantMap values;
    const QVariantMap settings = m_blueprint.value(QStringLiteral("settings")).toMap();
    for (auto it = settings.begin(); it != settings.end(); ++it) {
        const QVariant value = defaultValueForInputKey(it.key());
        if (value.isValid())
            values.insert(it.key(), value);
    }
    return values;
}

QVariant GMEffectBlueprint::valueForInputKey(const QString& key, const QVariantMap& settings) const
{
    auto it = settings.find(key);
    return it != settings.end() ? *it : defaultValueForInputKey(key);
}

QString GMEffectBlueprint::brushName() const
{
    return m_blueprint.value(QStringLiteral("settings"))
        .toMap()
        .value(QStringLiteral("brush"))
        .toMap()
        .value(QStringLiteral("brushType"))
        .toString();
}

QVariant GMEffectBlueprint::getDefaultValueForInputKey(const QString& key, const QString& conversionKey) const
{
    const QVariant value = defaultValueForInputKey(key);
    if (value.metaType().id() == QMetaType::QColor)
        return QVariant::fromValue(pf::Color::fromQColor(value.value<QColor>()));
    const GMConverter converter = GMConverter::fromRecord(m_conversionInfo.value(conversionKey));
    if (!converter.isNull() && value.canConvert<double>() && value.metaType().id() != QMetaType::QString)
        return converter(value.toDouble());
    return value;
}
