#include "Classes/Filters/GMKernelFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"
#include "Classes/Framework/KernelResource.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Image/Sampler.h"

#include <QHash>
#include <algorithm>
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
    // Never destroyed: filters are made on worker threads too, which may still run while the program exits.
    static auto* table = new QHash<QString, ClassSlots>;
    return *table;
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
    return applyPass(imagePass(extent, {}, margin), arguments, slot);
}

pf::Image GMKernelFilter::applyPass(const Pass& pass, const QVariantList& extra, size_t slot) const
{
    const pf::Kernel kernel = kernelSlot(slot);
    if (kernel.isNull())
        return pf::Image();
    std::vector<pf::Sampler> samplers;
    QVariantList arguments;
    std::vector<double> margins;
    bool reachesOut = pass.reach > 0;
    for (const PassImage& input : pass.images) {
        const pf::Image image = imageValue(input.key);
        if (pass.needsEveryImage && image.isNull())
            return pf::Image();
        samplers.emplace_back(image, input.filter, input.wrap);
        arguments << QVariant::fromValue(samplers.back());
        margins.push_back(input.margin);
        reachesOut = reachesOut || input.margin > 0;
    }
    for (const PassNumber& number : pass.numbers)
        arguments << (number.fallback ? QVariant(numberValue(number.key, *number.fallback))
                                      : numberArgument(number.key));
    arguments += extra;

    const pf::Rect rect = samplers[static_cast<size_t>(pass.extentOf)].image().extent();
    pf::ApplyOptions options;
    options.extent = pass.extent == ApplyExtent::Full ? KernelResource::fullExtent(rect)
                                                      : KernelResource::originZeroExtent(rect);
    options.definition = pass.domainOf == DomainIsExtent
                             ? *options.extent
                             : samplers[static_cast<size_t>(pass.domainOf)].definition().extent();
    if (reachesOut)
        options.regionOfInterest = [margins, reach = pass.reach](int index, const pf::Rect& destination) {
            const double own = index >= 0 && static_cast<size_t>(index) < margins.size()
                                   ? margins[static_cast<size_t>(index)]
                                   : 0;
            const double margin = std::max(reach, own);
            return margin > 0 ? destination.insetBy(-margin, -margin) : destination;
        };
    return kernel.apply(arguments, options);
}

GMKernelFilter::Pass GMKernelFilter::imagePass(ApplyExtent extent, std::vector<PassNumber> numbers,
                                               double margin)
{
    Pass pass;
    pass.images = {{QStringLiteral("inputImage")}};
    pass.reach = margin;
    pass.numbers = std::move(numbers);
    pass.extent = extent;
    pass.needsEveryImage = false;
    return pass;
}

GMKernelFilter::Pass GMKernelFilter::intensityPass(ApplyExtent extent)
{
    return imagePass(extent, {numberInput(QStringLiteral("inputIntensity"),
                                          MaskFilterSupport::numberAttributes(
                                              {.min = 0, .max = 1, .defaultValue = 0.5, .identity = 0}))});
}

void GMKernelFilter::declarePassInputs(const Pass& pass)
{
    if (pass.declarationOrder.empty()) {
        for (const PassImage& input : pass.images)
            declareInput(input.key);
    } else {
        for (int index : pass.declarationOrder)
            declareInput(pass.images[static_cast<size_t>(index)].key);
    }
    for (const PassNumber& number : pass.numbers)
        declareInput(number.key, number.attributes);
}

QVariantMap GMKernelFilter::distanceAttributes(double defaultValue, double sliderMax)
{
    return {{pf::FilterAttribute::Min, 0.0},
            {pf::FilterAttribute::SliderMin, 0.0},
            {pf::FilterAttribute::SliderMax, sliderMax},
            {pf::FilterAttribute::Default, defaultValue},
            {pf::FilterAttribute::Type, pf::FilterAttribute::TypeDistance}};
}

pf::Image GMKernelFilter::applySlot(size_t slot, const QVariantList& arguments,
                                    const pf::ApplyOptions& options) const
{
    const pf::Kernel kernel = kernelSlot(slot);
    return kernel.isNull() ? pf::Image() : kernel.apply(arguments, options);
}

QVariant GMKernelFilter::numberArgument(const QString& key) const
{
    return hasValue(key) ? QVariant(numberValue(key)) : QVariant();
}
