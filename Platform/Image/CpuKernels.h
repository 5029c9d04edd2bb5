#pragma once

// The kernels shipped with the application, translated to C++ when the application is built
// (KernelTranslator, tools/TranslateKernels). Internal to the image engine.

#include <QString>
#include <QtGlobal>
#include <cstddef>

namespace pf {

namespace kl {
struct vec4;
struct Sampler;
using KernelEntry = vec4 (*)(const Sampler* const* samplers, const float* const* values);
} // namespace kl

struct CpuKernelEntry
{
    quint64 textKey; // KernelTranslator::textKey of the text as it is compiled
    const char* name;
    kl::KernelEntry entry;
};

// Defined by the code the build makes from the kernel texts of the resources.
extern const CpuKernelEntry cpuKernelTable[];
extern const size_t cpuKernelTableSize;

class CpuKernels
{
public:
    CpuKernels() = delete;

    // The translation of kernel `name` of the text with that key; null when the text is not one the
    // application was built with (a text given at run time, or a resource changed since).
    static kl::KernelEntry find(quint64 textKey, const QString& name);
    static bool any() { return cpuKernelTableSize > 0; }
};

} // namespace pf
