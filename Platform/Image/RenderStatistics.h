#pragma once

#include <cstdint>

namespace pf {

// What the engine counts while it renders, and the switches tests use to compare its ways of rendering.
// Process-wide; meant for tests and benchmarks, not for the product's decisions.
class RenderStatistics
{
public:
    RenderStatistics() = delete;

    // Kernel passes drawn (one per intermediate per tile) since the last reset.
    static uint64_t passes();
    static void resetPasses();
    static void countPass();
    // Of those, the ones computed on the CPU by translated kernels.
    static uint64_t cpuPasses();
    static void countCpuPass();

    // Whether kernels that only one other kernel reads, at the pixel it computes, are computed inside
    // that kernel's pass (on by default). Off, every kernel is a pass of its own.
    static bool fusionEnabled();
    static void setFusionEnabled(bool enabled);

    // Whether the median and the Lanczos scaling of an input that is not a bitmap render it and work
    // on the CPU (on by default), or run their kernels in passes. Read when the filter makes its recipe.
    static bool cpuFiltersEnabled();
    static void setCpuFiltersEnabled(bool enabled);
};

} // namespace pf
