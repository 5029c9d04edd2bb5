#include "Platform/Image/CpuKernels.h"

#include "Platform/Image/CpuStageRows.h"

#include <mutex>
#include <vector>

namespace pf {

namespace {

struct Tables
{
    std::mutex mutex;
    std::vector<const CpuKernelEntry*> added;
};

Tables& tables()
{
    static Tables* t = new Tables; // registered from static initialisers, read until the very end
    return *t;
}

CpuKernel match(const CpuKernelEntry& entry)
{
    return CpuKernel{entry.entry, entry.row, entry.rows, CpuStageRows::find(entry.textKey, entry.name)};
}

} // namespace

CpuKernel CpuKernels::find(quint64 textKey, const QString& name)
{
    for (size_t i = 0; i < cpuKernelTableSize; ++i) {
        const CpuKernelEntry& entry = cpuKernelTable[i];
        if (entry.textKey == textKey && name == QLatin1String(entry.name))
            return match(entry);
    }
    Tables& t = tables();
    std::lock_guard lock(t.mutex);
    for (const CpuKernelEntry* table : t.added)
        for (const CpuKernelEntry* entry = table; entry->name; ++entry)
            if (entry->textKey == textKey && name == QLatin1String(entry->name))
                return match(*entry);
    return {};
}

void CpuKernels::addTable(const CpuKernelEntry* table)
{
    Tables& t = tables();
    std::lock_guard lock(t.mutex);
    t.added.push_back(table);
}

} // namespace pf
