#pragma once

#include "Classes/Framework/OVFilter.h"

#include <functional>

// Draws ("inputMode" 0) or erases (any other mode) one segment of a stroke on the mask canvas: a round
// brush of diameter "inputBrushSize" swept from "inputPoint1" to "inputPoint2" (pixels), with
// "inputBrushSmoothness" and "inputBrushPressure", painted over "inputCanvasCurrent" in the stroke
// encoding of docs/masks.md ("inputCanvasStart" is the mask before the stroke). The output has the start
// canvas's domain and extent; without a start canvas there is none. Every input is unset until the
// caller sets it.
class GMBasicBrush : public OVFilter
{
public:
    GMBasicBrush();
    static void registerClass();

    pf::Image outputImage() const override;

protected:
    // For the smart brush, which shares the stroke inputs but has no mode.
    GMBasicBrush(const QString& className, bool hasMode);

    // The kernel arguments every brush kernel starts with: the two points, the radius, smoothness,
    // pressure and samplers of the start and current canvases.
    QVariantList strokeArguments() const;
    // The kernel applied over the start canvas's domain and extent; null without a start canvas.
    pf::Image applyStroke(const pf::Kernel& kernel, const QVariantList& arguments,
                          std::function<pf::Rect(int, const pf::Rect&)> regionOfInterest = {}) const;
    // The seven stroke inputs, the keys duplicated on copy.
    static QStringList strokeKeys();
};
