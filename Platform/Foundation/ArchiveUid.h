#pragma once

#include <QMetaType>
#include <QtGlobal>

namespace pf {

// A reference from one object of a keyed archive to another: an index into the archive's object
// table. Property lists carry it as a value type of its own, distinct from integers.
struct ArchiveUid
{
    quint64 value = 0;

    friend bool operator==(const ArchiveUid&, const ArchiveUid&) = default;
};

} // namespace pf

Q_DECLARE_METATYPE(pf::ArchiveUid)
