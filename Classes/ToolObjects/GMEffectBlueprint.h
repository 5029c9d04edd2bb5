#pragma once

#include "Classes/ToolObjects/GMCompositionWrapper.h"
#include "Classes/ToolObjects/GMContentFilterWrapper.h"
#include "Classes/ToolObjects/GMXMLFilterParser.h"

#include <QImage>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <memory>

// One effect, made from its blueprint dictionary: names and texts for the browser and the settings
// panel, the settings' defaults, the brush configuration and fresh copies of its two filter graphs.
class GMEffectBlueprint
{
public:
    explicit GMEffectBlueprint(const QVariantMap& blueprint);

    QString photoToolName() const;
    QString displayName() const;
    QString toolDescription() const;
    QString howToDescription() const;
    QImage beforeIcon() const;
    QImage afterIcon() const;
    QVariant best() const { return m_blueprint.value(QStringLiteral("best")); }
    QString category() const { return m_blueprint.value(QStringLiteral("category")).toString(); }

    // Of "click", "smartBrush", "brush", "eraser", in that order, those the blueprint offers.
    QStringList brushTypes() const;
    QVariant defaultBrushValueForKey(const QString& key) const;
    bool hasInputForInputKey(const QString& key) const;
    QVariant defaultValueForInputKey(const QString& key) const;
    QVariantMap defaultSettingsValues() const;
    QVariant valueForInputKey(const QString& key, const QVariantMap& settings) const;
    QString brushName() const;
    QVariant getDefaultValueForInputKey(const QString& key, const QString& conversionKey) const;

    std::shared_ptr<GMCompositionWrapper> newCompositionFilter() const
    {
        return m_parser->newCompositionFilter();
    }
    std::shared_ptr<GMContentFilterWrapper> newContentFilter() const { return m_parser->newContentFilter(); }

    const QVariantMap& blueprint() const { return m_blueprint; }
    const GMXMLFilterParser& filterParser() const { return *m_parser; }

private:
    QVariantMap m_blueprint;
    std::unique_ptr<GMXMLFilterParser> m_parser;
    QVariantMap m_defaultValues;
    QVariantMap m_conversionInfo; // the blueprint's own table; nothing fills it
};
