#include "Platform/Foundation/ArchiveClassRegistry.h"

#include "Platform/Foundation/Assert.h"

#include <QHash>
#include <mutex>

namespace pf {
namespace {

struct Registry
{
    std::mutex mutex;
    QHash<QString, ArchiveClass> byName;
    QHash<int, QString> nameByType;
};

Registry& registry()
{
    static Registry instance;
    return instance;
}

} // namespace

void ArchiveClassRegistry::registerClass(ArchiveClass archiveClass)
{
    PF_ASSERT(!archiveClass.name.isEmpty(), "an archivable class needs a name");
    PF_ASSERT(archiveClass.type.isValid(), "an archivable class needs a registered metatype");
    PF_ASSERT(archiveClass.encode && archiveClass.decode,
              "an archivable class needs an encoder and a decoder");
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    PF_ASSERT(!r.byName.contains(archiveClass.name), "an archivable class name is registered twice");
    PF_ASSERT(!r.nameByType.contains(archiveClass.type.id()), "an archivable type is registered twice");
    r.nameByType.insert(archiveClass.type.id(), archiveClass.name);
    r.byName.insert(archiveClass.name, std::move(archiveClass));
}

void ArchiveClassRegistry::unregisterClass(const QString& name)
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    const auto it = r.byName.find(name);
    if (it == r.byName.end())
        return;
    r.nameByType.remove(it->type.id());
    r.byName.erase(it);
}

std::optional<ArchiveClass> ArchiveClassRegistry::classNamed(const QString& name)
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    const auto it = r.byName.constFind(name);
    if (it == r.byName.cend())
        return std::nullopt;
    return *it;
}

std::optional<ArchiveClass> ArchiveClassRegistry::classForType(QMetaType type)
{
    if (!type.isValid())
        return std::nullopt;
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    const auto name = r.nameByType.constFind(type.id());
    if (name == r.nameByType.cend())
        return std::nullopt;
    return r.byName.value(*name);
}

} // namespace pf
