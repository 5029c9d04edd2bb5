#pragma once

// The switches the engine benchmarks read from the environment, for figures of the engine before and
// after a change in one build.

#include "Platform/Image/CpuKernelRenderer.h"
#include "Platform/Image/RenderStatistics.h"

#include <QtGlobal>

namespace bench {

inline void applyEngineSwitches()
{
    // The engine as it was before kernels shared passes and the shipped kernels, medians and Lanczos
    // scalings ran on the CPU, for figures before and after in one build.
    if (qEnvironmentVariableIsSet("GLIMORA_BENCH_ENGINE_BEFORE")) {
        pf::RenderStatistics::setFusionEnabled(false);
        pf::RenderStatistics::setCpuFiltersEnabled(false);
        pf::CpuKernelRenderer::setUse(pf::CpuKernelRenderer::Use::Never);
    }
    // Every kernel in passes, the rest as it is: how recipes that mix the engine's kernels with others
    // rendered before those ran on the CPU too.
    if (qEnvironmentVariableIsSet("GLIMORA_BENCH_KERNELS_IN_PASSES"))
        pf::CpuKernelRenderer::setUse(pf::CpuKernelRenderer::Use::Never);
}

} // namespace bench
