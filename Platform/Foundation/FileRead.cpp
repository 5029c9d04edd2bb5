#include "Platform/Foundation/FileRead.h"

#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/PropertyList.h"

#include <QFile>

namespace pf {

std::optional<QByteArray> FileRead::bytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

std::optional<QVariantMap> FileRead::dictionary(const QString& path, const QString& warning,
                                                const QString& notDictionary)
{
    QString error;
    const std::optional<QVariant> value = PropertyList::fromFile(path, &error);
    if (value && value->metaType().id() == QMetaType::QVariantMap)
        return value->toMap();
    pf::warning(warning.arg(path, value ? notDictionary : error));
    return std::nullopt;
}

} // namespace pf
