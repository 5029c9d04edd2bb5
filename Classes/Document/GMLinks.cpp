#include "Classes/Document/GMLinks.h"

#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/PropertyList.h"

#include <QDesktopServices>
#include <mutex>

namespace {

std::mutex& tableMutex()
{
    static std::mutex mutex;
    return mutex;
}
QVariantMap& testTable()
{
    static QVariantMap table;
    return table;
}
std::function<bool(const QUrl&)>& opener()
{
    static std::function<bool(const QUrl&)> function;
    return function;
}

QVariantMap resourceTable()
{
    static const QVariantMap table = [] {
        const QString path =
            pf::Bundle::main().pathForResource(QStringLiteral("Links"), QStringLiteral("plist"));
        if (path.isEmpty())
            return QVariantMap();
        QString error;
        const auto value = pf::PropertyList::fromFile(path, &error);
        if (!value || value->metaType() != QMetaType::fromType<QVariantMap>()) {
            pf::warning(QStringLiteral("The link table %1 cannot be read: %2").arg(path, error));
            return QVariantMap();
        }
        return value->toMap();
    }();
    return table;
}

} // namespace

QString GMLinks::address(const QString& key)
{
    std::lock_guard lock(tableMutex());
    const QVariantMap& table = testTable().isEmpty() ? resourceTable() : testTable();
    return table.value(key).toString().trimmed();
}

bool GMLinks::open(const QString& key)
{
    const QString link = address(key);
    if (link.isEmpty())
        return false;
    return openURL(QUrl(link));
}

bool GMLinks::openURL(const QUrl& url)
{
    if (opener())
        return opener()(url);
    return QDesktopServices::openUrl(url);
}

QString GMLinks::percentEscaped(const QString& text)
{
    // QByteArray::toPercentEncoding leaves exactly the unreserved set alone.
    return QString::fromLatin1(text.toUtf8().toPercentEncoding());
}

QUrl GMLinks::mailtoURL(const QString& recipient, const QString& subject, const QString& body)
{
    const QString link = QStringLiteral("mailto:%1?SUBJECT=%2&BODY=%3")
                             .arg(percentEscaped(recipient), percentEscaped(subject), percentEscaped(body));
    return QUrl::fromEncoded(link.toLatin1(), QUrl::StrictMode);
}

void GMLinks::setTableForTesting(const QVariantMap& table)
{
    std::lock_guard lock(tableMutex());
    testTable() = table;
}

void GMLinks::setOpenerForTesting(std::function<bool(const QUrl&)> function)
{
    opener() = std::move(function);
}
