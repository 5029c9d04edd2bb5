#pragma once

#include "Classes/ToolObjects/GMCompositionWrapper.h"
#include "Classes/ToolObjects/GMContentFilterWrapper.h"
#include "Platform/Image/Filter.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <memory>

// Reads an effect blueprint's "settings", "composition" and "filter": registers the settings'
// defaults and builds each filter tree into a grouped filter inside its wrapper, recording which node
// inputs are fed from outside (references), under which names they are exported and how settings'
// numbers are converted for them.
//
// Node names: the root is "rootFilter"; the node at input K of node N is "N_K". Where order matters
// (creation numbers, the order children are read) it is the sorted key order of the node's
// "inputValues" dictionary, so a blueprint always builds the same graph.
class GMXMLFilterParser
{
public:
    explicit GMXMLFilterParser(const QVariantMap& blueprint);

    // Fresh copies of the template wrappers, owned by the caller.
    std::shared_ptr<GMCompositionWrapper> newCompositionFilter() const;
    std::shared_ptr<GMContentFilterWrapper> newContentFilter() const;

    QVariantMap defaultValues() const { return m_defaultValues; }
    QVariant defaultValueForInputKey(const QString& settingName) const;
    QVariant getDefaultValueForInputKey(const QString& settingName, const QString& conversionKey) const;
    void setDefaultValueForInputKey(const QString& settingName, const QString& conversionKey);
    // Sets the target's input `key` to the source's output image, now (graph generation does not use it).
    static void connect(const pf::FilterPtr& source, const pf::FilterPtr& target, const QString& key);

    // The tables of the tree built last ("filter"); kept for inspection and the blueprint check.
    QMap<QString, QVariantMap> referencedInput() const { return m_referencedInput; }
    QVariantMap conversionInfo() const { return m_conversionInfo; }
    QMap<QString, QStringList> filterIDDictionary() const { return m_filterIDs; }
    QMap<QString, pf::FilterPtr> filterObjectsDictionary() const { return m_filterObjects; }
    QMap<QString, QVariantMap> filterConnectionInfoDictionary() const { return m_connections; }

    static const QStringList& allowedInputKeys();
    static const QStringList& allowedInputPrefixes();

private:
    void registerDefaults();
    void clearTree();
    void loadNode(const QVariantMap& node, const QString& nodeName);
    void parseValue(const QVariant& value, const QString& nodeName, const QString& key);
    void parseText(QString text, const QString& nodeName, const QString& key);
    void parseLink(const QString& link, const QString& nodeName, const QString& key);
    void checkVocabulary(const QString& text, const QString& nodeName, const QString& key) const;
    pf::FilterPtr filterOf(const QString& nodeName) const { return m_filterObjects.value(nodeName); }
    std::shared_ptr<OVGroupedFilter> generateCIFilter() const;

    QVariantMap m_blueprint;
    QVariantMap m_defaultValues;

    // Per tree.
    QMap<QString, pf::FilterPtr> m_filterObjects;
    QMap<QString, QVariantMap> m_connections;     // node -> input key -> child node name
    QMap<QString, QVariantMap> m_referencedInput; // node -> input key -> reference text
    QVariantMap m_conversionInfo;                 // "N.K" -> conversion record
    QMap<QString, QVariantMap> m_exposedKeys;     // node -> input key -> export name
    QMap<QString, QStringList> m_filterIDs;       // "%02li" creation number -> node names
    qulonglong m_filterID = 0;

    std::shared_ptr<GMCompositionWrapper> m_compositionFilter;
    std::shared_ptr<GMContentFilterWrapper> m_contentFilter;
};
