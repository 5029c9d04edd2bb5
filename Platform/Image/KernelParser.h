#pragma once

#include "Platform/Image/Kernel.h"

#include <QString>
#include <optional>
#include <vector>

namespace pf {

// Reads a kernel text: finds the functions declared `kernel` with their parameters and rewrites the
// text so that the shading compiler accepts it, keeping every line where it was so that compiler
// messages point at the author's lines.
class KernelParser
{
public:
    // How far around the pixel computed a kernel reads one of its samplers, in whole pixels of the
    // sampler's space, where every read of it lies a fixed offset away: `sample(s, samplerCoord(s) +
    // vec2(1.0, 0.0))`, or `vec2 p = samplerCoord(s);` with p read only as `sample(s, p)` or
    // `sample(s, p - vec2(0.0, 1.0))`; an offset may also be the counters of loops over whole numbers
    // around the read (`for (int dx = -1; dx <= 1; ++dx)` ... `vec2(float(dx), 0.0)`). Those reads are
    // rows around the pixel's own.
    struct Reach
    {
        bool fixed = false;
        int left = 0, right = 0, down = 0, up = 0;
    };
    struct Declaration
    {
        QString name;
        std::vector<Kernel::Parameter> parameters;
        int line = 0;
        // Per parameter: a sampler that the kernel reads only at the pixel it computes, written
        // `sample(s, samplerCoord(s))` (its extent may be asked too). Such an input can be computed in
        // the same program instead of a pass of its own.
        std::vector<bool> readOnlyHere;
        // Per parameter: a sampler not read only here but at fixed offsets, how far.
        std::vector<Reach> reach;
    };
    struct Result
    {
        QString program;
        std::vector<Declaration> kernels;
        // The names the text declares at its top level (functions, kernels, constants).
        QStringList topLevelNames;
        bool hasPreprocessorLines = false;
    };

    // Nothing when the declarations cannot be read; `errorMessage` then says why, with the line.
    static std::optional<Result> parse(const QString& text, QString* errorMessage);

    // The program with each of `names` (and each built-in that reads a sampler) renamed to `prefix`
    // followed by the name, so that several kernel texts can share one program without clashing.
    static QString renamed(const QString& program, const QStringList& names, const QString& prefix);
    // The built-ins that read samplers, which a shared program defines once for each kernel in it.
    static const QStringList& samplerBuiltins();
};

} // namespace pf
