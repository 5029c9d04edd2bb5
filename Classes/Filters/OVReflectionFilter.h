#pragma once

#include "Classes/Framework/OVFilter.h"

// Adds a mirror image of a picture below it, as if it stood on a reflecting floor: below the picture a
// transparent gap of "inputDistance" x "inputProportion" pixels, then a band of "inputHeight" times the
// picture's height in which the picture is mirrored about the middle of the gap, starting at
// "inputIntensity" of its strength and fading to nothing at the band's bottom.
class OVReflectionFilter : public OVFilter
{
public:
    explicit OVReflectionFilter(const QString& className = QStringLiteral("OVReflectionFilter"));

    // The part of the picture needed to draw `destination`, for a picture whose bottom edge is at y0
    // and a gap of `gap` pixels: the destination itself at or above the bottom edge, its mirror image
    // below (grown by a pixel for the bilinear reads of a gap that is not a whole number of pixels).
    static pf::Rect regionOfInterest(const pf::Rect& destination, double y0, double gap);

    // The picture's extent grown downwards by the gap and the band. No image without a picture.
    pf::Image outputImage() const override;
};
