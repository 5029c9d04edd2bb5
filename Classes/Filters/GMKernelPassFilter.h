#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// A kernel filter that is nothing but one kernel applied to its inputs: a member says which images
// and numbers its kernel takes, where the output lies and which resource holds the kernel, and this
// class declares the inputs, loads the kernel and builds the output.
class GMKernelPassFilter : public GMKernelFilter
{
public:
    // Reads element 0 of `kernelResource`, or of "<class name>Kernel" when it is empty.
    GMKernelPassFilter(const QString& className, Pass pass, const QString& kernelResource = QString());
    pf::Image outputImage() const override;

private:
    Pass m_pass;
};
