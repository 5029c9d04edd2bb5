#pragma once

#include <QString>
#include <QtGlobal>

// What the graphics hardware offers, as the image engine's renderer reports it: whether it is
// accelerated (not one of Mesa's software renderers), whether it runs programmable fragment shaders (the
// engine's OpenGL ES context works), its video memory when the driver tells (0: unknown) and the number
// of renderers. Serves the welcome window's warning and the feedback reports.
struct OVGraphicsInfo
{
    bool accelerated = false;
    bool fragmentCapable = false;
    qint64 videoMemory = 0; // bytes
    int renderers = 0;
    QString rendererName;

    // Probed on first use and kept; any thread.
    static OVGraphicsInfo current();
    // Whether a renderer of that name draws in software.
    static bool isSoftwareRenderer(const QString& name);

    // The welcome window's warning, or none.
    enum class Warning
    {
        None,
        VideoMemory,        // "VRAMWarning"
        FragmentProcessing, // "GPUWarning"
        Both,               // "VRAMnGPUWarning"
    };
    static constexpr qint64 minimumVideoMemory = qint64(128) * 1024 * 1024;
    Warning warning() const;
    // The text shown for a warning (localised); empty for none.
    static QString warningText(Warning warning);
};
