#pragma once

#include "Classes/Framework/OVFilter.h"

// Fills the masked area of an image from its surroundings: a smooth membrane that takes its values from
// the area's border, solved coarse to fine over a pyramid of half-size images and relaxed at each level
// by repeated Laplace smoothing. At full quality a hole that the photo's edge cuts open is filled by
// marching in from its border instead (MarchingFill), which carries the shading and edges on into it
// where the membrane has no border to span. An optional fill texture is laid in before the fill and taken out
// after it, so that its fine structure shows inside the filled area while colour and light come from the
// border. One filter computes one output at a time: its inner blend filter is reconfigured per level.
class OVInpaintingFilter : public OVFilter
{
public:
    explicit OVInpaintingFilter(const QString& className = QStringLiteral("OVInpaintingFilter"));

    pf::Image inputImage() const { return imageValue(QStringLiteral("inputImage")); }
    void setInputImage(const pf::Image& image) { setImage(image, QStringLiteral("inputImage")); }
    pf::Image inputMaskImage() const { return imageValue(QStringLiteral("inputMaskImage")); }
    void setInputMaskImage(const pf::Image& image) { setImage(image, QStringLiteral("inputMaskImage")); }
    pf::Image inputFillImage() const { return imageValue(QStringLiteral("inputFillImage")); }
    void setInputFillImage(const pf::Image& image) { setImage(image, QStringLiteral("inputFillImage")); }
    double inputRadius() const { return numberValue(QStringLiteral("inputRadius"), 20.0); }
    void setInputRadius(double radius) { setValue(radius, QStringLiteral("inputRadius")); }

    // One strongly reduced level and one smoothing pass instead of the full pyramid: for live strokes.
    bool previewQuality() const { return m_previewQuality; }
    void setPreviewQuality(bool on) { m_previewQuality = on; }

    // Without an input image no image; without a mask the input (nothing to fill). A mask whose domain
    // is smaller than the image (a mask cropped to its strokes) confines the work to that part, and so
    // does a mask bitmap whose holes lie in a part of it (a photo-sized mask of one spot).
    pf::Image outputImage() const override;
    // The part of the input image that outputImage() reads and may change for the inputs as they are:
    // the mask's holes grown by the margin the pyramid reads. Null when that is the whole image.
    pf::Rect readArea() const;
    // One pyramid level at scale `scale` (1 = full size); descends while maxScale > 2 x scale.
    pf::Image inpaintImage(const pf::Image& image, const pf::Image& mask, double scale,
                           double maxScale) const;

protected:
    void copyStateTo(pf::Filter& other) const override;

private:
    pf::Rect workingArea(const pf::Image& image, const pf::Image& mask, double maxScale) const;
    // The texture laid in, the pyramid, the texture taken out: the whole fill of `image`.
    pf::Image filled(pf::Image image, const pf::Image& mask, double maxScale) const;

    bool m_previewQuality = false;
    pf::FilterPtr m_blendWithMask;
    pf::FilterPtr m_tile;
    pf::Kernel m_laplaceSmoothKernel;
    pf::Kernel m_bwMaskKernel;
    pf::Kernel m_opaqueKernel;
    pf::Kernel m_knownOnlyKernel;
    pf::Kernel m_wholeHolesKernel;
    pf::Kernel m_nothingLaidKernel;
};
