#pragma once

// How one sampler argument of a kernel pass reads its image: the recipe's transforms, crops and clamps
// between the kernel and the pixels it reads are folded into coordinate arithmetic in the kernel's
// program, so they never cost a pass of their own.

#include "Platform/Foundation/AffineTransform.h"
#include "Platform/Foundation/Rect.h"
#include "Platform/Image/ImageNode.h"

#include <QString>
#include <array>
#include <vector>

namespace pf {

struct GLChainStage
{
    enum class Op
    {
        Crop, // points outside the rectangle read as transparent
        Clamp // points are clamped to the rectangle's edge pixel centres
    };
    AffineTransform map; // applied to the point first (from the previous stage's space)
    bool identityMap = true;
    Op op = Op::Crop;
    Rect rect;
};

struct GLSamplerChain
{
    enum class Terminal
    {
        Zero,     // reads nothing: always transparent
        Constant, // a constant colour (after the stages' crops)
        Texture,  // pixels of `terminal` (a source, or a node rendered by an earlier pass)
    };
    static constexpr int MaxStages = 4;

    AffineTransform workingToSampler; // the inverse of the sampler's matrix
    Rect samplerExtent;               // the image's extent in sampler space
    std::vector<GLChainStage> stages;
    AffineTransform finalMap; // from the last stage's space into the terminal's space
    Terminal terminal = Terminal::Zero;
    const ImageNode* terminalNode = nullptr;
    std::array<float, 4> constant{0, 0, 0, 0};
    bool nearest = false;
    // Downscale between destination pixels and terminal pixels: above 2 the pass reads a mipmap level.
    double scale = 1.0;
    // Fused: the sampler reads another kernel's output computed in the same program at the same pixel
    // (that kernel's index among the program's members); the terminal is then unused.
    int fusedMember = -1;
    // Destination pixel centres land on texel centres (whole-pixel moves, mirrors and quarter turns,
    // clamps to whole pixels): a read at the pixel being computed is one texel, not a blend of four.
    bool aligned = false;

    bool usesMipmap() const { return scale > 2.0 && scale < 1e30; }

    // What the generated program depends on (not the numbers, which are uniforms).
    QString shapeKey() const;
};

} // namespace pf
