#pragma once

#include "Classes/ToolObjects/OVGroupedFilter.h"
#include "Platform/Image/Image.h"

#include <QMap>
#include <QSet>
#include <QString>
#include <QVariantMap>
#include <memory>

// What the two effect graph wrappers share: a grouped filter, the table of which node inputs carry
// which reference ("mask", "settings.intensity", ...) and the conversions of settings' numbers. Values
// are set on the graph by reference; node N's input K is exported as "N_K", its reference entry is
// "N-K" and its conversion key "N.K".
class GMFilterWrapper
{
public:
    virtual ~GMFilterWrapper() = default;

    // Settings of a photo tool: "intensity" and "color" reach the graph, the others are ignored.
    void setValuesFromSettings(const QVariantMap& settings);
    void setValueForSettingsKey(const QVariant& value, const QString& settingName);
    // Run-time inputs by name ("imageSize", "mask", "originalImage", ...); unknown names are ignored.
    virtual void setValueForInputKey(const QVariant& value, const QString& inputName) = 0;
    // The parser's table: node name -> (input key -> reference text).
    void setReferenceInput(const QMap<QString, QVariantMap>& referencedInput);

    void setValueForExportKey(const QVariant& value, const QString& reference);
    void setConvertedValueForExportKey(const QVariant& value, const QString& reference);
    QVariant objectConvertedFromSettingsObject(const QVariant& value, const QString& conversionKey) const;

    virtual pf::Image outputImage() const;

    std::shared_ptr<OVGroupedFilter> generatedCIFilter() const { return m_graph; }
    void setGeneratedCIFilter(std::shared_ptr<OVGroupedFilter> graph) { m_graph = std::move(graph); }
    QVariantMap conversionInfo() const { return m_conversionInfo; }
    void setConversionInfo(const QVariantMap& conversionInfo) { m_conversionInfo = conversionInfo; }
    QMap<QString, QSet<QString>> invertedReferencedInput() const { return m_inverted; }
    void setInvertedReferencedInput(const QMap<QString, QSet<QString>>& table) { m_inverted = table; }

    // Inputs exported under a name chosen with "exposeAs:" (node name -> (input key -> export name)).
    // Both graphs honour it, so a setting reaches an input whatever name it was exported under.
    QMap<QString, QVariantMap> exposedKeysDictionary() const { return m_exposedKeys; }
    void setExposedKeysDictionary(const QMap<QString, QVariantMap>& table) { m_exposedKeys = table; }
    // The export name chosen for the conversion key "N.K", or empty.
    QString exposedKeyForConversionKey(const QString& conversionKey) const;

protected:
    // The graph's name for the input "N-K" when a converted value is set.
    QString exportNameForEntry(const QString& entry) const;
    void copyInto(GMFilterWrapper& other) const;

private:
    std::shared_ptr<OVGroupedFilter> m_graph;
    QMap<QString, QSet<QString>> m_inverted;
    QVariantMap m_conversionInfo;
    QMap<QString, QVariantMap> m_exposedKeys;
};
