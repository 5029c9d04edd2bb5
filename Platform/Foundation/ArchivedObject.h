#pragma once

#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace pf {

// An object of a keyed archive whose class has no registered coder: what it held, by key, so that an
// old document can still be inspected. References to other objects are resolved into their values
// (nested ArchivedObjects included). Archiving an ArchivedObject writes it back under its class chain.
struct ArchivedObject
{
    QString className;
    QStringList classes; // className first, then its superclasses, as archived
    QVariantMap fields;

    friend bool operator==(const ArchivedObject&, const ArchivedObject&) = default;
};

} // namespace pf

Q_DECLARE_METATYPE(pf::ArchivedObject)
