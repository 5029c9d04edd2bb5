#pragma once

// Kernel texts translated to C++ when the application is built (KernelTranslator,
// tools/TranslateKernels): the kernels shipped with the application, the engine's own, and whatever
// other program registers its own texts the same way. Internal to the image engine.

#include <QString>
#include <QtGlobal>
#include <cstddef>

namespace pf {

namespace kl {
struct vec4;
struct Sampler;
using KernelEntry = vec4 (*)(const Sampler* const* samplers, const float* const* values);
using KernelRowEntry = void (*)(const Sampler* const* samplers, const float* const* values, int x0, int n,
                                float y, float* out);
using KernelRowsEntry = void (*)(const float* const* rows, const vec4* extents, const float* const* values,
                                 int x0, int n, float y, float* out);
// A row written by hand for a kernel whose translation reads neighbourhoods a tap at a time: the same
// values, computed as vector arithmetic over pixels already in memory. False, having written nothing,
// where its samplers are not such pixels; the translation then computes the row.
using KernelNativeRowEntry = bool (*)(const Sampler* const* samplers, const float* const* values, int x0,
                                      int n, float y, float* out);
} // namespace kl

struct CpuKernelEntry
{
    quint64 textKey; // KernelTranslator::textKey of the text as it is compiled
    const char* name;
    kl::KernelEntry entry;
    kl::KernelRowEntry row;
    kl::KernelRowsEntry rows; // null unless every sampler is read only at the pixel computed
};

struct CpuKernel
{
    kl::KernelEntry entry = nullptr;
    kl::KernelRowEntry row = nullptr;
    kl::KernelRowsEntry rows = nullptr;
    kl::KernelNativeRowEntry native = nullptr;
};

// Defined by the code the build makes from the kernel texts of the resources.
extern const CpuKernelEntry cpuKernelTable[];
extern const size_t cpuKernelTableSize;

class CpuKernels
{
public:
    CpuKernels() = delete;

    // The translation of kernel `name` of the text with that key; empty when the text is not one the
    // program was built with (a text given at run time, or a resource changed since).
    static CpuKernel find(quint64 textKey, const QString& name);
    static bool any() { return cpuKernelTableSize > 0; }

    // Adds the translations of texts that a program embeds (the engine's own kernels, a test's); the
    // code the build makes for them calls it when the program starts. The table must outlive the
    // program and end with an entry whose name is null.
    static void addTable(const CpuKernelEntry* table);
};

} // namespace pf
