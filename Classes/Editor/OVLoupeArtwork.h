#pragma once

#include "Platform/Foundation/Rect.h"

#include <QImage>

// The loupe's artwork, loaded once: the rim (large and little), the lens, the glass's round mask, the
// ratio knob and the torus ring's mask, with the sizes in points that make the loupe's geometry. Should an
// image be missing, the sizes the artwork is drawn at keep the geometry sound (and the loupe plain). Also
// the shadow the lifted loupe casts, made from that outline once.
class OVLoupeArtwork
{
public:
    QImage rim, littleRim, lense, mask, knob, torusMask;
    pf::Size rimSize, lenseSize, maskSize, knobSize, torusSize;

    static const OVLoupeArtwork& shared();

    // The shadow of the lifted loupe, in its own points: the outline of the rim, the glass and the torus
    // ring, blurred like a layer shadow of radius `radius` (a Gaussian of half that deviation, as three box
    // passes), on a picture `pad` points larger on every side. Made once: the loupe never changes its
    // outline.
    static const QImage& shadow(double radius, int pad);

    // A rect the loupe's geometry can use: no coordinate infinite or not a number.
    static bool isFinite(const pf::Rect& r);
};
