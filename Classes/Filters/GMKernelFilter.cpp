#include "Classes/Filters/GMKernelFilter.h"

#include "Classes/Framework/KernelResource.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Image/Sampler.h"

#include <QHash>
#include <mutex>

namespace {

struct ClassSlots
{
    std::vector<pf::Kernel> kernels;
};

std::mutex& slotMutex()
{
    static std::mutex mutex;
    return mutex;
}

QHash<QString, ClassSlots>& slotTable()
{
    static QHash<QString, ClassSlots> table;
    return table;
}

} // namespace

void GMKernelFilter::resetForTesting()
{
    std::lock_guard lock(slotMutex());
    slotTable().clear();
}

void GMKernelFilter::loadKernels(const std::vector<Slot>& wanted)
{
    std::lock_guard lock(slotMutex());
    auto it = slotTable().find(name());
    if (it == slotTable().end()) {
        ClassSlots loaded;
        QHash<QString, std::vector<pf::Kernel>> compiled;
        for (const Slot& slot : wanted) {
            if (!compiled.contains(slot.resource)) {
                bool missing = false;
                compiled.insert(slot.resource, KernelResource::kernels(slot.resource, &missing));
                if (missing) {
                    m_slots.assign(wanted.size(), pf::Kernel());
                    return; // nothing is kept: the next filter of this class tries again
                }
            }
            const std::vector<pf::Kernel>& kernels = compiled.value(slot.resource);
            if (slot.index >= 0 && static_cast<size_t>(slot.index) < kernels.size()) {
                loaded.kernels.push_back(kernels[static_cast<size_t>(slot.index)]);
            } else {
                if (!kernels.empty())
                    pf::warning(QStringLiteral("%1: kernel resource '%2' has no kernel %3 (it holds %4)")
                                    .arg(name(), slot.resource)
                                    .arg(slot.index)
                                    .arg(kernels.size()));
                loaded.kernels.push_back(pf::Kernel());
            }
        }
        it = slotTable().insert(name(), loaded);
    }
    m_slots = it->kernels;
}

pf::Kernel GMKernelFilter::kernelSlot(size_t i) const
{
    return i < m_slots.size() ? m_slots[i] : pf::Kernel();
}

pf::Image GMKernelFilter::applyToInputImage(size_t slot, ApplyExtent extent, const QVariantList& arguments,
                                            double margin) const
{
    const pf::Kernel kernel = kernelSlot(slot);
    if (kernel.isNull())
        return pf::Image();
    const pf::Image image = imageValue(QStringLiteral("inputImage"));
    const pf::Sampler sampler(image);
    pf::ApplyOptions options;
    options.definition = sampler.definition().extent();
    options.extent = extent == ApplyExtent::Full ? KernelResource::fullExtent(image.extent())
                                                 : KernelResource::originZeroExtent(image.extent());
    if (margin > 0)
        options.regionOfInterest = [margin](int, const pf::Rect& destination) {
            return destination.insetBy(-margin, -margin);
        };
    return kernel.apply(QVariantList{QVariant::fromValue(sampler)} + arguments, options);
}

QVariant GMKernelFilter::numberArgument(const QString& key) const
{
    return hasValue(key) ? QVariant(numberValue(key)) : QVariant();
}
