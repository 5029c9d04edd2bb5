#pragma once

#include "Platform/Image/KernelParser.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace pf {

// Writes a kernel text as C++ over KernelMath.h, so that the kernels shipped with the application run
// on the CPU where the only OpenGL is a software rasterizer. The build runs it on every kernel text of
// the resources (tools/TranslateKernels); texts given at run time are never translated.
//
// The translation keeps the text's own lines: each kernel function and helper becomes a C++ function
// of the same name in a namespace of the text's own, swizzles become component accesses, float
// literals single precision, array constructors brace lists. Each kernel gets an entry point of the
// shape kl::KernelEntry named "_pf_entry_<kernel>".
class KernelTranslator
{
public:
    struct Result
    {
        QString code;        // a namespace holding the text's functions and entry points
        QStringList kernels; // the kernels' names, in source order
        // Those that also have "_pf_rows_<kernel>" (kl::KernelRowsEntry): every sampler read only at the
        // pixel computed, or at fixed offsets around it (its rows then n + left + right pixels wide, one
        // above the other, the pointer at the pixel computed in the middle one).
        QStringList rowKernels;
    };

    // Nothing, with the reason, for a text the translation does not cover (preprocessor lines, or a
    // declaration the parser refuses).
    static std::optional<Result> translate(const QString& text, const QString& namespaceName,
                                           QString* whyNot);

    // The key under which a text's translation is found at run time: the same text gives the same key.
    static quint64 textKey(const QString& text);
};

} // namespace pf
