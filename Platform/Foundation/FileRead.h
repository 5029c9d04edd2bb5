#pragma once

#include <QByteArray>
#include <QString>
#include <QVariantMap>
#include <optional>

namespace pf {

// Reading a whole file the way resources and settings are read: nothing when it cannot be read, and
// for a property list a warning that names the file and the reason.
class FileRead
{
public:
    FileRead() = delete;

    // The file's bytes; nothing when it cannot be opened.
    static std::optional<QByteArray> bytes(const QString& path);

    // The property list at `path` when it holds a dictionary. Otherwise logs `warning`, a sentence with
    // %1 for the path and %2 for the reason (the reader's message, or `notDictionary` when the file
    // holds something else), and returns nothing.
    static std::optional<QVariantMap>
    dictionary(const QString& path, const QString& warning,
               const QString& notDictionary = QStringLiteral("it is not a dictionary"));
};

} // namespace pf
