#pragma once

#include "Platform/Image/GL/GLSamplerChain.h"
#include "Platform/Image/KernelData.h"

#include <QByteArray>
#include <vector>

namespace pf {

// Writes the shading-language programs that run a kernel: the kernel text (renamed by KernelParser)
// after a preamble with the kernel language's built-ins and one reading function per sampler, in which
// that sampler's chain of stages is spelled out.
class GLProgramBuilder
{
public:
    static QByteArray vertexShader();
    // `chains` holds one entry per sampler parameter of the kernel, in parameter order.
    static QByteArray fragmentShader(const KernelData& kernel, const std::vector<GLSamplerChain>& chains);
    // The number of lines before the kernel text starts (compiler messages are already in text lines).
    static QString uniformName(const char* base, int sampler, int stage = -1);
};

} // namespace pf
