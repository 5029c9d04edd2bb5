#pragma once

#include "Classes/Frames/OVFrameImageDescription.h"

// The mask that shapes a frame's band: an internal mask (the opening) and, optionally, an external mask
// (the outer silhouette) joined into one image. Its geometry is the external mask's when there is one.
class OVMaskDescription : public OVFrameImageDescription
{
public:
    // Without an internal mask, the first "FRM-I#000#" mask of the bundle (two folders above the
    // external mask's file) stands in; without either nothing is set and image() is null.
    OVMaskDescription(const QString& externalMaskPath, const QString& internalMaskPath);

    const QString& externalMaskURL() const { return m_externalMaskURL; }
    double scale() const { return m_scale; }
    double innerCornerWidth() const { return m_innerCornerWidth; }

    pf::Image image() override;

private:
    QString m_externalMaskURL;
    double m_scale = 1.0;
    double m_innerCornerWidth = 0.0;
};
