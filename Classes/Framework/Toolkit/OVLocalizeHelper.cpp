#include "Classes/Framework/Toolkit/OVLocalizeHelper.h"

#include "Platform/Foundation/Localization.h"

#include <QHash>

namespace {

QHash<QString, QString>& overrides()
{
    static QHash<QString, QString> table;
    return table;
}

} // namespace

void OVLocalizeHelper::setLocalizedString(const QString& text, const QString& key)
{
    if (key.isEmpty())
        return;
    // Empty text and no text both mean "no override": an empty display name is never wanted.
    if (text.isEmpty())
        overrides().remove(key);
    else
        overrides().insert(key, text);
}

QString OVLocalizeHelper::localizedString(const QString& key)
{
    return pf::localized(overrides().value(key, key));
}
