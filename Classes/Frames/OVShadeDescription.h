#pragma once

#include "Classes/Frames/OVFrameImageDescription.h"

// A shade of a frame: an image laid over the frame's band with a blend mode and an intensity.
class OVShadeDescription : public OVFrameImageDescription
{
public:
    // "sourceOver" at intensity 1, no image.
    OVShadeDescription();
    // The blend mode is checked against the blend filter's kernels ("sourceOver" for an unknown one).
    OVShadeDescription(const QString& shadePath, const QString& blendMode, double intensity);

    const QString& blendMode() const { return m_blendMode; }
    void setBlendMode(const QString& mode) { m_blendMode = mode; }
    double intensity() const { return m_intensity; }
    // Whether the shade belongs to the outer edge (its file names an external mask, "E#nnn"): around a
    // curved opening it is laid along the rectangle, where every other shade follows the opening.
    bool followsOuterEdge() const;
    void setIntensity(double intensity) { m_intensity = intensity; }

private:
    QString m_blendMode;
    double m_intensity;
};
