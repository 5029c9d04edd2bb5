#pragma once

#include "Platform/Image/GL/GLSamplerChain.h"
#include "Platform/Image/KernelData.h"

#include <QByteArray>
#include <vector>

namespace pf {

// Writes the shading-language programs that run a kernel: the kernel text (renamed by KernelParser)
// after a preamble with the kernel language's built-ins and one reading function per sampler, in which
// that sampler's chain of stages is spelled out.
// One kernel of a fused program: its samplers are the program's samplers `samplers` (in parameter
// order); a sampler whose chain names a fused member reads that member's result at the same pixel.
struct GLFusedMember
{
    const KernelData* kernel = nullptr;
    std::vector<int> samplers;
};

class GLProgramBuilder
{
public:
    static QByteArray vertexShader();
    // `chains` holds one entry per sampler parameter of the kernel, in parameter order.
    static QByteArray fragmentShader(const KernelData& kernel, const std::vector<GLSamplerChain>& chains);
    // Several kernels in one program: member 0 computes the pass's pixels; every other member is read
    // by exactly one sampler of a member before it. Each member's text is renamed apart ("_pf_m<k>" before
    // each name), its float and vector arguments are the uniforms "_pf_m<k>arg<parameter>", and each member
    // after the first has the uniform "_pf_area<k>" (x0, y0, x1, y1): outside it the member's result is
    // transparent, as a pass of its own would leave it.
    static QByteArray fusedFragmentShader(const std::vector<GLFusedMember>& members,
                                          const std::vector<GLSamplerChain>& chains);
    // The number of lines before the kernel text starts (compiler messages are already in text lines).
    static QString uniformName(const char* base, int sampler, int stage = -1);
};

} // namespace pf
