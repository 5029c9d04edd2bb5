#pragma once

#include "Platform/Image/Filter.h"

namespace pf {

// "CILanczosScaleTransform": the input scaled about the origin by "inputScale" vertically and
// "inputScale" x "inputAspectRatio" horizontally with a Lanczos kernel of three lobes, widened by the
// reduction when reducing so that nothing aliases. The extent is the scaled extent rounded out to
// whole pixels.
class LanczosScaleTransformFilter : public Filter
{
public:
    LanczosScaleTransformFilter();
    Image outputImage() const override;

    // Whether the CPU path may use the processor's wider vectors where it has them (on by default).
    // Off, the portable code runs everywhere: for tests that compare the two.
    static void setWideVectorsEnabled(bool enabled);
};

} // namespace pf
