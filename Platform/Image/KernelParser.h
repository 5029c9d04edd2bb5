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
    struct Declaration
    {
        QString name;
        std::vector<Kernel::Parameter> parameters;
        int line = 0;
        // Per parameter: a sampler that the kernel reads only at the pixel it computes, written
        // `sample(s, samplerCoord(s))` (its extent may be asked too). Such an input can be computed in
        // the same program instead of a pass of its own.
        std::vector<bool> readOnlyHere;
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
