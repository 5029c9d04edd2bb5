#include "Classes/Document/GMDocumentArchive.h"

#include "Classes/ToolObjects/OVBrushFramework/GMBrushPath.h"
#include "Platform/Foundation/ArchiveClassRegistry.h"
#include "Platform/Foundation/ArchivedObject.h"
#include "Platform/Foundation/KeyedArchiver.h"
#include "Platform/Foundation/KeyedUnarchiver.h"
#include "Platform/Image/Color.h"

#include <iterator>
#include <mutex>

namespace {

const QString contentKey = QStringLiteral("content");
const QString nameKey = QStringLiteral("name");
const QString valuesKey = QStringLiteral("values");
const QString brushPathKey = QStringLiteral("brushPathKey");

bool fail(QString* errorMessage, const QString& message)
{
    if (errorMessage)
        *errorMessage = message;
    return false;
}

// The root "content" list of a layer list, or nothing with a message.
std::optional<QVariantList> contentList(const QByteArray& data, QString* errorMessage)
{
    GMDocumentArchive::registerArchiveClasses();
    QString error;
    const std::optional<QVariantMap> root = pf::KeyedUnarchiver::unarchive(data, &error);
    if (!root) {
        fail(errorMessage, QStringLiteral("The document's layer list is damaged: %1").arg(error));
        return std::nullopt;
    }
    const QVariant content = root->value(contentKey);
    if (content.metaType() != QMetaType::fromType<QVariantList>()) {
        fail(errorMessage, QStringLiteral("The document's layer list is missing or of the wrong kind."));
        return std::nullopt;
    }
    return content.toList();
}

// The layer `element`, counted from 1 for the user; nothing with a message when it is damaged.
std::optional<GMDocumentArchive::Entry> layerEntry(const QVariant& element, qsizetype layer,
                                                   QString* errorMessage)
{
    const QVariantMap map = element.toMap();
    const QVariant name = map.value(nameKey);
    const QVariant values = map.value(valuesKey);
    if (element.metaType() != QMetaType::fromType<QVariantMap>() ||
        name.metaType() != QMetaType::fromType<QString>() ||
        values.metaType() != QMetaType::fromType<QVariantMap>()) {
        fail(errorMessage, QStringLiteral("Layer %1 of the document is damaged.").arg(layer));
        return std::nullopt;
    }
    if (GMDocumentArchive::hasOlderBrushSettings(values.toMap()) &&
        !GMDocumentArchive::olderBrushPath(values.toMap())) {
        fail(errorMessage, QStringLiteral("The strokes of layer %1 of the document are damaged.").arg(layer));
        return std::nullopt;
    }
    return GMDocumentArchive::Entry{name.toString(), values.toMap()};
}

// Collects the data values of an archived image, depth first (fields in the order of their keys):
// those under "NSTIFFRepresentation" into `preferred`, every other into `others`. The unarchiver has
// refused cycles already; the walk is bounded all the same, since shared objects come back once per
// reference and a crafted picture could fan out far.
class PictureSearch
{
public:
    std::vector<QByteArray> preferred, others;

    void walk(const QVariant& value, bool underTIFFKey = false, int depth = 0)
    {
        if (depth > maximumDepth || ++m_visited > maximumValues)
            return;
        switch (value.metaType().id()) {
        case QMetaType::QByteArray:
            if (!value.toByteArray().isEmpty())
                (underTIFFKey ? preferred : others).push_back(value.toByteArray());
            return;
        case QMetaType::QVariantList:
            for (const QVariant& element : value.toList())
                walk(element, underTIFFKey, depth + 1);
            return;
        case QMetaType::QVariantMap:
            walkFields(value.toMap(), depth);
            return;
        default:
            if (value.metaType() == QMetaType::fromType<pf::ArchivedObject>())
                walkFields(value.value<pf::ArchivedObject>().fields, depth);
        }
    }

private:
    static constexpr int maximumDepth = 32;
    static constexpr int maximumValues = 100000;
    int m_visited = 0;

    void walkFields(const QVariantMap& fields, int depth)
    {
        for (auto it = fields.cbegin(); it != fields.cend(); ++it)
            walk(it.value(), it.key() == QLatin1String("NSTIFFRepresentation"), depth + 1);
    }
};

} // namespace

void GMDocumentArchive::registerArchiveClasses()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (!pf::ArchiveClassRegistry::classForType(QMetaType::fromType<pf::Color>())) {
            pf::ArchiveClassRegistry::registerClass<pf::Color>(
                QStringLiteral("GMColor"), {QStringLiteral("NSObject")},
                [](const pf::Color& color, pf::KeyedArchiver& archiver) {
                    archiver.encodeDouble(QStringLiteral("red"), color.red());
                    archiver.encodeDouble(QStringLiteral("green"), color.green());
                    archiver.encodeDouble(QStringLiteral("blue"), color.blue());
                    archiver.encodeDouble(QStringLiteral("alpha"), color.alpha());
                },
                [](pf::KeyedUnarchiver& unarchiver) {
                    return pf::Color(unarchiver.decodeDouble(QStringLiteral("red")),
                                     unarchiver.decodeDouble(QStringLiteral("green")),
                                     unarchiver.decodeDouble(QStringLiteral("blue")),
                                     unarchiver.decodeDouble(QStringLiteral("alpha")));
                });
        }
        GMBrushPath::registerArchiveClass();
    });
}

std::optional<QByteArray> GMDocumentArchive::archivedData(const std::vector<Entry>& entries,
                                                          QString* errorMessage)
{
    registerArchiveClasses();
    QVariantList content;
    for (const Entry& entry : entries)
        content.append(QVariantMap{{nameKey, entry.name}, {valuesKey, entry.values}});
    return pf::KeyedArchiver::archivedData({{contentKey, content}}, errorMessage);
}

std::optional<std::vector<GMDocumentArchive::Entry>> GMDocumentArchive::entries(const QByteArray& data,
                                                                                QString* errorMessage)
{
    const std::optional<QVariantList> list = contentList(data, errorMessage);
    if (!list)
        return std::nullopt;
    std::vector<Entry> entries;
    for (qsizetype k = 0; k < list->size(); ++k) {
        std::optional<Entry> entry = layerEntry(list->at(k), k + 1, errorMessage);
        if (!entry)
            return std::nullopt;
        entries.push_back(std::move(*entry));
    }
    return entries;
}

std::optional<GMDocumentArchive::OlderDocument> GMDocumentArchive::olderDocument(const QByteArray& data,
                                                                                 QString* errorMessage)
{
    const std::optional<QVariantList> list = contentList(data, errorMessage);
    if (!list)
        return std::nullopt;
    if (list->isEmpty()) {
        fail(errorMessage, QStringLiteral("The document holds no picture."));
        return std::nullopt;
    }
    OlderDocument document;
    // Element k is the layer at chain index k: the picture is the background.
    for (qsizetype k = 1; k < list->size(); ++k) {
        std::optional<Entry> entry = layerEntry(list->at(k), k, errorMessage);
        if (!entry)
            return std::nullopt;
        document.layers.push_back(std::move(*entry));
    }
    PictureSearch search;
    search.walk(list->first());
    document.pictures = std::move(search.preferred);
    document.pictures.insert(document.pictures.end(), std::make_move_iterator(search.others.begin()),
                             std::make_move_iterator(search.others.end()));
    return document;
}

bool GMDocumentArchive::hasOlderBrushSettings(const QVariantMap& values)
{
    return values.contains(brushPathKey);
}

std::shared_ptr<GMBrushPath> GMDocumentArchive::olderBrushPath(const QVariantMap& values)
{
    const QVariant path = values.value(brushPathKey);
    if (path.metaType() != QMetaType::fromType<GMBrushPathPtr>())
        return nullptr;
    return path.value<GMBrushPathPtr>();
}

QVariantMap GMDocumentArchive::removeLegacyKeys(const QVariantMap& values)
{
    QVariantMap kept;
    for (auto it = values.begin(); it != values.end(); ++it) {
        const QString& key = it.key();
        if (key == brushPathKey || key == QLatin1String("mask") || key.startsWith(QLatin1String("brush")) ||
            key.startsWith(QLatin1String("input")) || key.startsWith(QLatin1String("draw")))
            continue;
        kept.insert(key, it.value());
    }
    return kept;
}
