#include "Platform/Image/CpuKernels.h"

namespace pf {

kl::KernelEntry CpuKernels::find(quint64 textKey, const QString& name)
{
    for (size_t i = 0; i < cpuKernelTableSize; ++i) {
        const CpuKernelEntry& entry = cpuKernelTable[i];
        if (entry.textKey == textKey && name == QLatin1String(entry.name))
            return entry.entry;
    }
    return nullptr;
}

} // namespace pf
