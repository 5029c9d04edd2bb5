#include "Classes/Document/GMDocumentArchive.h"

#include "Classes/ToolObjects/OVBrushFramework/GMBrushPath.h"
#include "Platform/Foundation/ArchiveClassRegistry.h"
#include "Platform/Foundation/KeyedArchiver.h"
#include "Platform/Foundation/KeyedUnarchiver.h"
#include "Platform/Image/Color.h"

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
    registerArchiveClasses();
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
    std::vector<Entry> entries;
    const QVariantList list = content.toList();
    for (qsizetype k = 0; k < list.size(); ++k) {
        const QVariant& element = list[k];
        const QVariantMap map = element.toMap();
        const QVariant name = map.value(nameKey);
        const QVariant values = map.value(valuesKey);
        if (element.metaType() != QMetaType::fromType<QVariantMap>() ||
            name.metaType() != QMetaType::fromType<QString>() ||
            values.metaType() != QMetaType::fromType<QVariantMap>()) {
            fail(errorMessage, QStringLiteral("Layer %1 of the document is damaged.").arg(k + 1));
            return std::nullopt;
        }
        if (hasOlderBrushSettings(values.toMap()) && !olderBrushPath(values.toMap())) {
            fail(errorMessage,
                 QStringLiteral("The strokes of layer %1 of the document are damaged.").arg(k + 1));
            return std::nullopt;
        }
        entries.push_back({name.toString(), values.toMap()});
    }
    return entries;
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
