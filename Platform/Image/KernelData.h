#pragma once

// What the engine keeps of one kernel function. Internal to the image engine.

#include "Platform/Image/CpuKernels.h"
#include "Platform/Image/Kernel.h"
#include "Platform/Image/KernelParser.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace pf {

class KernelData
{
public:
    QString name;
    std::vector<Kernel::Parameter> parameters;
    // The whole kernel text rewritten for the shading compiler (same lines, engine names for the
    // language's own words); shared by every kernel of the text.
    std::shared_ptr<const QString> program;
    QString sourceName;
    // Unique for the life of the process; program caches key on it.
    quint64 id = 0;
    // Per parameter: a sampler read only at the pixel being computed (see KernelParser).
    std::vector<bool> readOnlyHere;
    // Per parameter: a sampler read at fixed offsets around that pixel, and how far (see KernelParser).
    std::vector<KernelParser::Reach> reach;
    // What the text declares at its top level, renamed when kernels of several texts share a program;
    // a text with preprocessor lines never shares one (its macros would reach the other texts).
    std::shared_ptr<const QStringList> topLevelNames;
    bool sharesPrograms = false;
    // The kernel translated to C++ when the application was built; null for texts given at run time.
    kl::KernelEntry cpu = nullptr;
    kl::KernelRowEntry cpuRow = nullptr;          // the same, a row at a time
    kl::KernelRowsEntry cpuRows = nullptr;        // a row whose samplers are all rows in memory
    kl::KernelNativeRowEntry cpuNative = nullptr; // a row written by hand, tried before the others

    int samplerCount() const;
};

} // namespace pf
