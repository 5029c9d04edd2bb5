#include "Platform/Image/KernelData.h"

#include <algorithm>

namespace pf {

int KernelData::samplerCount() const
{
    return static_cast<int>(
        std::count_if(parameters.begin(), parameters.end(),
                      [](const Kernel::Parameter& p) { return p.type == Kernel::ParameterType::Sampler; }));
}

} // namespace pf
