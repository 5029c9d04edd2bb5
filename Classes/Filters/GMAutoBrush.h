#pragma once

#include "Classes/Filters/GMBasicBrush.h"

// The smart brush's segment: the stroke inputs of GMBasicBrush, then the photo ("inputImage"), with the
// kernel chosen by `kernelName` (default "autoBrush"; the names are listed in docs/effects.md). The
// kernel paints only where the photo resembles its colour at the brush's centre. An unknown kernel name
// gives no image and a warning. "inputFaceWidth": the width in pixels of the face painted on, 0 (the
// default) where none is known; it sets the scale at which the skin brush looks for an eye.
class GMAutoBrush : public GMBasicBrush
{
public:
    GMAutoBrush();
    static void registerClass();
    // The kernels of the resource, in source order: the names blueprints may give as "smartBrushType".
    static QStringList smartBrushKernelNames();

    // The kernel's name; empty until set or until the first output.
    QString kernelName() const { return stringValue(QStringLiteral("kernelName")); }
    void setKernelName(const QString& name) { setValue(name, QStringLiteral("kernelName")); }

    // Sets the kernel name to "autoBrush" first when none is set (that value stays set).
    pf::Image outputImage() const override;
};
