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
    };
    struct Result
    {
        QString program;
        std::vector<Declaration> kernels;
    };

    // Nothing when the declarations cannot be read; `errorMessage` then says why, with the line.
    static std::optional<Result> parse(const QString& text, QString* errorMessage);
};

} // namespace pf
