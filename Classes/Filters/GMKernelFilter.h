#pragma once

#include "Platform/Image/Filter.h"
#include "Platform/Image/Kernel.h"

#include <QString>
#include <vector>

// The shape every member of the product's kernel filter family shares: created by class name, inputs
// set by key, kernels read once per class from resources (as a rule "<class name>Kernel") into slots of
// the class's own, and an output built anew at every request.
class GMKernelFilter : public pf::Filter
{
public:
    // One kernel slot: element `index` of the kernels compiled from resource `resource`.
    struct Slot
    {
        QString resource;
        int index = 0;
    };

    explicit GMKernelFilter(const QString& className) : pf::Filter(className) {}

    // Forgets every class's slots (tests only).
    static void resetForTesting();

protected:
    enum class ApplyExtent
    {
        Full,      // the input's rectangle, origin truncated to whole pixels
        OriginZero // the input's size at the origin
    };
    // The family's common pass: the kernel in `slot` applied to a plain sampler of "inputImage" followed
    // by `arguments`, defined where that sampler is, over the input's full or origin-zero extent; with a
    // margin, each destination pixel reads that many pixels around it. No kernel, no image.
    pf::Image applyToInputImage(size_t slot, ApplyExtent extent, const QVariantList& arguments = {},
                                double margin = 0) const;
    // A number input as a kernel argument: invalid when never set, so the apply warns and gives no image.
    QVariant numberArgument(const QString& key) const;

    // Fills the class's slots on first use: safe when the first filters of a class are made on two
    // threads at once. A missing resource leaves the slots empty and is tried again by the next
    // filter; a text that does not compile, or that holds fewer kernels than a slot asks for, is
    // reported once and not retried.
    void loadKernels(const std::vector<Slot>& wanted);
    // The kernel in slot `i`, or a null kernel when it could not be loaded.
    pf::Kernel kernelSlot(size_t i) const;
    // The usual single slot: element 0 of "<class name>Kernel".
    void loadDefaultKernel() { loadKernels({{name() + QStringLiteral("Kernel"), 0}}); }

private:
    std::vector<pf::Kernel> m_slots;
};
