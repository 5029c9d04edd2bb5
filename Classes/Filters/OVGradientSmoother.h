#pragma once

#include "Classes/Framework/OVFilter.h"

// Smooths an image where its gradient image is weak: a 3 x 3 mean whose neighbours count less the
// stronger the gradient between them, so edges stay. Both images are read with their edge pixels
// repeated; the output covers the image's rectangle.
class OVGradientSmoother : public OVFilter
{
public:
    explicit OVGradientSmoother(const QString& className = QStringLiteral("OVGradientSmoother"));
    static void registerClass();

    pf::Image outputImage() const override;
};
