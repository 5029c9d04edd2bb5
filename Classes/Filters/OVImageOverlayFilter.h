#pragma once

#include "Classes/Framework/OVFilter.h"

// Tiles an image over the whole background, turned by "inputRotation" degrees, and lays it on the
// background with the overlay blend mode, weighted by the tile's alpha. The result covers exactly the
// background.
class OVImageOverlayFilter : public OVFilter
{
public:
    explicit OVImageOverlayFilter(const QString& className = QStringLiteral("OVImageOverlayFilter"));

    // No image without both images.
    pf::Image outputImage() const override;
};
