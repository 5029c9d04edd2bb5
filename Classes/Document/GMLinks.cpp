#include "Classes/Document/GMLinks.h"

#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/FileRead.h"
#include "Platform/Foundation/Guarded.h"

#include <QDesktopServices>

namespace {

constinit pf::Guarded<QVariantMap> testTable;
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
        return pf::FileRead::dictionary(path, QStringLiteral("The link table %1 cannot be read: %2"))
            .value_or(QVariantMap());
    }();
    return table;
}

} // namespace

QString GMLinks::address(const QString& key)
{
    const QVariantMap test = testTable.get();
    const QVariantMap table = test.isEmpty() ? resourceTable() : test;
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
    testTable.set(table);
}

void GMLinks::setOpenerForTesting(std::function<bool(const QUrl&)> function)
{
    opener() = std::move(function);
}
