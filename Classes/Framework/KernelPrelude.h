#pragma once

#include <QString>
#include <QStringList>

// Functions that many kernel texts share (blend modes, reading neighbours with the edges repeated), kept
// once in the resources' folder "Kernels/Shared" instead of copied into every text. Before a text is
// compiled, the shared functions it calls, and the shared functions those call, are put in front of it.
//
// The shared files hold function definitions and comments only, no preprocessor lines; a function may
// call those above it in its file and those of files earlier in name order. A text that defines a
// function of the same name keeps its own. The functions go onto the text's first line of code, so
// compiler messages keep naming the lines as the author numbered them.
class KernelPrelude
{
public:
    KernelPrelude() = delete;

    // The text with the shared functions it needs in front; the text unchanged when it needs none.
    static QString applied(const QString& text);
    // The names of the shared functions, in the order they are put in front.
    static QStringList functionNames();
};
