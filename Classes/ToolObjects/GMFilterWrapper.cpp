#include "Classes/ToolObjects/GMFilterWrapper.h"

#include "Classes/ToolObjects/GMConverter.h"
#include "Platform/Image/Color.h"

#include <QColor>
#include <algorithm>

using namespace pf;

void GMFilterWrapper::setValuesFromSettings(const QVariantMap& settings)
{
    for (auto it = settings.begin(); it != settings.end(); ++it)
        setValueForSettingsKey(it.value(), it.key());
}

void GMFilterWrapper::setValueForSettingsKey(const QVariant& value, const QString& settingName)
{
    if (settingName == QLatin1String("intensity"))
        setConvertedValueForExportKey(value, QStringLiteral("settings.intensity"));
    else if (settingName == QLatin1String("color"))
        setConvertedValueForExportKey(value, QStringLiteral("settings.color"));
}

void GMFilterWrapper::setReferenceInput(const QMap<QString, QVariantMap>& referencedInput)
{
    m_inverted.clear();
    for (auto node = referencedInput.begin(); node != referencedInput.end(); ++node) {
        for (auto input = node->begin(); input != node->end(); ++input)
            m_inverted[input.value().toString()].insert(node.key() + QLatin1Char('-') + input.key());
    }
}

void GMFilterWrapper::setValueForExportKey(const QVariant& value, const QString& reference)
{
    if (!m_graph)
        return;
    QStringList entries = m_inverted.value(reference).values();
    entries.sort(); // the same order every time
    for (const QString& entry : entries)
        m_graph->setValue(value, exportNameForEntry(entry));
}

void GMFilterWrapper::setConvertedValueForExportKey(const QVariant& value, const QString& reference)
{
    if (!m_graph)
        return;
    QStringList entries = m_inverted.value(reference).values();
    entries.sort();
    for (const QString& entry : entries) {
        const QString conversionKey = QString(entry).replace(QLatin1Char('-'), QLatin1Char('.'));
        m_graph->setValue(objectConvertedFromSettingsObject(value, conversionKey), exportNameForEntry(entry));
    }
}

QString GMFilterWrapper::exposedKeyForConversionKey(const QString& conversionKey) const
{
    const qsizetype dot = conversionKey.indexOf(QLatin1Char('.'));
    if (dot < 0)
        return QString();
    return m_exposedKeys.value(conversionKey.left(dot)).value(conversionKey.mid(dot + 1)).toString();
}

QString GMFilterWrapper::exportNameForEntry(const QString& entry) const
{
    const QString exposed =
        exposedKeyForConversionKey(QString(entry).replace(QLatin1Char('-'), QLatin1Char('.')));
    return exposed.isEmpty() ? QString(entry).replace(QLatin1Char('-'), QLatin1Char('_')) : exposed;
}

QVariant GMFilterWrapper::objectConvertedFromSettingsObject(const QVariant& value,
                                                            const QString& conversionKey) const
{
    if (GMConverter::isNumber(value)) {
        const GMConverter converter = GMConverter::fromRecord(m_conversionInfo.value(conversionKey));
        if (converter.isNull())
            return value;
        return converter(value.toDouble());
    }
    if (value.metaType().id() == QMetaType::QColor)
        return QVariant::fromValue(Color::fromQColor(value.value<QColor>()));
    return value;
}

Image GMFilterWrapper::outputImage() const
{
    return m_graph ? m_graph->value(OutputImageKey).value<Image>() : Image();
}

void GMFilterWrapper::copyInto(GMFilterWrapper& other) const
{
    other.m_graph = m_graph ? std::dynamic_pointer_cast<OVGroupedFilter>(m_graph->copy()) : nullptr;
    other.m_inverted = m_inverted;
    other.m_conversionInfo = m_conversionInfo;
    other.m_exposedKeys = m_exposedKeys;
}
