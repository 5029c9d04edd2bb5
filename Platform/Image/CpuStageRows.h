#pragma once

// Rows written by hand for the engine's separable stages (the Gaussian's passes along an axis, the
// B-spline enlargement), which their translations compute a tap at a time through the general sampler:
// here every tap is a load from pixels in memory and the sums are vector arithmetic, in the order the
// kernel adds them, so the values are the translation's to the last bit. Internal to the image engine.

#include "Platform/Image/CpuKernels.h"

namespace pf {

class CpuStageRows
{
public:
    CpuStageRows() = delete;

    // The hand-written row of kernel `name` of the text with that key; null for every other kernel.
    static kl::KernelNativeRowEntry find(quint64 textKey, const char* name);
};

} // namespace pf
