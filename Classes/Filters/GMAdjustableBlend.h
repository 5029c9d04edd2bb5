#pragma once

#include "Classes/Framework/OVFilter.h"

// "inputImage" blended over "inputBackgroundImage" by "inputIntensity" (passed to the kernel as set):
// "inputBlendMode" 0 multiplies, 1 blends colour, any other mode runs the last kernel of the resource in
// source order (the plain source-over blend). The extent is the union of the two images' extents
// (infinite when either is); the domain the union of their domains. Without both images there is no
// output. Available to blueprints by its class name.
class GMAdjustableBlend : public OVFilter
{
public:
    GMAdjustableBlend();
    static void registerClass();

    // The kernel a blend mode runs; empty when the resource cannot be read.
    static QString kernelNameForMode(int mode);

    pf::Image outputImage() const override;
};
