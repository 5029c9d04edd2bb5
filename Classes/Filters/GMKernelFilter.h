#pragma once

#include "Platform/Image/Filter.h"
#include "Platform/Image/Kernel.h"

#include <QString>
#include <vector>

// The shape every member of the product's kernel filter family shares: created by class name, inputs
// set by key, kernels read once per class from resources (as a rule "<class name>Kernel") into wanted of
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

    // Forgets every class's wanted (tests only).
    static void resetForTesting();

protected:
    // Fills the class's wanted on first use: safe when the first filters of a class are made on two
    // threads at once. A missing resource leaves the wanted empty and is tried again by the next
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
