#pragma once

#include "Classes/Framework/OVFilter.h"

// Converts an image between sRGB-encoded values and linear light with the exact sRGB curves, on
// unpremultiplied colour (alpha is kept): to linear when `toRGB` is set (by key), to sRGB otherwise.
// Values outside 0..1 are converted symmetrically about 0.
class OVSRGBConversionFilter : public OVFilter
{
public:
    explicit OVSRGBConversionFilter(const QString& className = QStringLiteral("OVSRGBConversionFilter"));
    static void registerClass();

    pf::Image outputImage() const override;
};
