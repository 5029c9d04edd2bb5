#pragma once

#include <QString>
#include <QVariantMap>

namespace pf {

// One posted notification: what happened (`name`), who says so (`sender`, compared by address only,
// never dereferenced by the center) and any details (`userInfo`).
struct Notification
{
    QString name;
    const void* sender = nullptr;
    QVariantMap userInfo;
};

} // namespace pf
