#pragma once

#include "Classes/Frames/OVFrameImageDescription.h"

// The mask that shapes a frame's band: an internal mask (the opening) and, optionally, an external mask
// (the outer silhouette) joined into one image. Its geometry is the external mask's when there is one.
class OVMaskDescription : public OVFrameImageDescription
{
public:
    // The shape of the opening. A rectangular one (corners and all) is the internal mask's part image;
    // a curved one is worked out for the frame's own proportions, since a part image laid as corners and
    // stretched middles keeps no curve: the internal mask's file names it with the option "O#oval" (the
    // ellipse inscribed in the band's inner edge) or "O#arch" (that rectangle with a round top). The
    // values are what the frame kernels take.
    enum class Opening
    {
        Rectangle = 0,
        Oval = 1,
        Arch = 2,
    };
    // The shape an internal mask's file names.
    static Opening openingOfFile(const QString& internalMaskPath);

    // Without an internal mask, the first "FRM-I#000#" mask of the bundle (two folders above the
    // external mask's file) stands in; without either nothing is set and image() is null.
    OVMaskDescription(const QString& externalMaskPath, const QString& internalMaskPath);

    const QString& externalMaskURL() const { return m_externalMaskURL; }
    double scale() const { return m_scale; }
    double innerCornerWidth() const { return m_innerCornerWidth; }
    Opening opening() const { return m_opening; }

    pf::Image image() override;

private:
    QString m_externalMaskURL;
    double m_scale = 1.0;
    double m_innerCornerWidth = 0.0;
    Opening m_opening = Opening::Rectangle;
};
