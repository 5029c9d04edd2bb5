#pragma once

#include <QByteArray>
#include <QString>
#include <QVariantMap>
#include <memory>
#include <optional>
#include <vector>

class GMBrushPath;

// The layer list of a document package: a keyed archive whose root "content" holds one dictionary per
// layer, {"name": the effect's name, "values": its settings}. Colours in settings are archived as
// "GMColor" (red, green, blue, alpha). Settings of the older kind hold "brushPathKey", the strokes that
// painted the layer's mask, instead of a mask folder.
class GMDocumentArchive
{
public:
    GMDocumentArchive() = delete;

    struct Entry
    {
        QString name;
        QVariantMap values;
    };

    static std::optional<QByteArray> archivedData(const std::vector<Entry>& entries, QString* errorMessage);
    // Refuses, with a message, anything that is not such a list: damage, foreign archives, wrong types.
    static std::optional<std::vector<Entry>> entries(const QByteArray& data, QString* errorMessage);

    // A document of the older single-file form: one keyed archive whose root "content" holds the
    // original picture first (an archived image object) and then one {"name", "values"} per layer.
    struct OlderDocument
    {
        // The encoded pictures found in the first element, the likeliest first: those stored as its
        // TIFF representation, then any other data, in the order met. Which one decodes is for the
        // caller to find out.
        std::vector<QByteArray> pictures;
        std::vector<Entry> layers;
    };
    // Refuses, with a message, a list that is damaged or not of that form; a first element without
    // any data is no damage (its pictures are then empty).
    static std::optional<OlderDocument> olderDocument(const QByteArray& data, QString* errorMessage);

    static bool hasOlderBrushSettings(const QVariantMap& values);
    // The strokes of older settings; null when there are none or they are not a stroke list.
    static std::shared_ptr<GMBrushPath> olderBrushPath(const QVariantMap& values);
    // The settings without "brushPathKey" and "mask" and without every key that begins with "brush",
    // "input" or "draw".
    static QVariantMap removeLegacyKeys(const QVariantMap& values);

    // Registers the archived classes documents hold (colours, older stroke lists). Once; any thread.
    static void registerArchiveClasses();
};
