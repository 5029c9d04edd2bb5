#pragma once

#include "Classes/ToolObjects/OVBrushFramework/OVStoredAdditionalBrushState.h"

#include "Platform/Image/Bitmap.h"

#include <memory>

class OVInpaintingFilter;

// The additional brush of healing strokes: the painted area is filled from its surroundings by an
// OVInpaintingFilter, with the stock skin texture ("SkinPatch", jpg) laid in at the face's scale so the
// fill is not flat. During the stroke image() is a coarse, fast preview built step by step: each step
// fills only the part its segment painted (and reads only the margin the fill needs around it), taking
// what earlier steps healed as its surroundings, and keeps the result as pixels. imageForMask computes
// the final healed pixels at the photo's resolution, cut to the stroke.
class OVHealingBrush : public OVStoredAdditionalBrushState
{
public:
    // Loads the skin texture (without it, logged, the fill has no texture) and makes the filter.
    OVHealingBrush();
    ~OVHealingBrush() override;
    // Makes it the handler's additional brush of healing strokes. Called once at start-up.
    static void registerClass();

    // The brush's size becomes the fill's radius.
    void brushDownAtPoint(const OVBrush& brush, const pf::Point& point) override;
    // The stroke's shape reaches the brush through setMaskImage; the points only bound it.
    void processPoint(const pf::Point& point) override;
    void processPoints(const std::vector<pf::Point>& points) override;
    void brushUp() override {}

    // The healed picture: in preview quality what the steps healed so far over the input, else built
    // afresh at every call.
    pf::Image image() const override;
    void setStartImage(const pf::Image& image) override { setInputPart(m_startImage, image); }
    void setBackgroundImage(const pf::Image& image) override { setInputPart(m_backgroundImage, image); }
    // The stroke's mask in the stroke encoding; the fill covers the stroke alone ("extractStroke").
    void setMaskImage(const pf::Image& image) override;
    void setStartMaskImage(const pf::Image& image) override { setInputPart(m_startMaskImage, image); }
    double faceWidth() const override { return m_faceWidth; }
    // Scales the skin texture so that one tile spans 30 % of the face's width (half the background's
    // width stands in for a face that is not known).
    void setFaceWidth(double width) override;

    bool hasDirtyRect() const override { return false; }
    bool hasImageForMask() const override { return true; }
    // The final healed pixels for the stroke mask `mask`, at its resolution, cut to it.
    pf::Image imageForMask(const pf::Image& mask) override;
    bool hasPreviewQuality() const override { return true; }
    bool previewQuality() const override;
    void setPreviewQuality(bool preview) override;

    // The start image shown where the start mask covers it, over the background.
    static pf::Image blendImage(const pf::Image& image, const pf::Image& background, const pf::Image& mask);
    // The skin texture repeated over the plane and scaled by k; null without a texture.
    pf::Image patternForScale(double k) const;

    pf::Image skinPatch() const { return m_skinPatch; }
    // Replaces the texture (then set the face width again).
    void setSkinPatch(const pf::Image& image) { m_skinPatch = image; }
    double lastSkinScale() const { return m_lastSkinScale; }
    const std::shared_ptr<OVInpaintingFilter>& inpaintingFilter() const { return m_inpaintingFilter; }
    // The part of the live mask (pixels, y up) that the last preview step filled and rendered, and the
    // part its fill read: that part grown by the fill's margin. Null before the first step.
    pf::Rect lastStepArea() const { return m_lastStepArea; }
    pf::Rect lastStepReadArea() const { return m_lastStepReadArea; }

private:
    static pf::Image stockSkinPatch();
    void updateInputImage();
    // An image the fill's input is made from: stores it and makes the input again.
    void setInputPart(pf::Image& part, const pf::Image& image)
    {
        part = image;
        updateInputImage();
    }
    void applyMask();
    // The square around the segments from the last point through `points`, in live mask pixels.
    pf::Rect segmentRegion(const std::vector<pf::Point>& points) const;
    // Fills the stroke within `region` (live mask pixels) at preview quality and keeps the pixels.
    void healStep(const pf::Rect& region);
    // A small spot healed as brush-up heals a stroke, to build the programs storing needs in advance.
    pf::Image storingSample() const;
    // The input with the pixels healed so far laid over it.
    pf::Image healedSoFar() const;
    // The texture repeated at scale k for the live fill: one tile rendered once into whole pixels (so a
    // step reads a small tile, not the texture reduced anew), or the exact pattern where that does not
    // apply (enlargements, tiles of a pixel).
    pf::Image livePatternForScale(double k) const;
    // The square that holds every point of the stroke with the brush around it, in pixels of the live
    // mask scaled by `scale`; null while no point is known.
    pf::Rect strokeRegion(double scale) const;
    // The mask cut to strokeRegion(scale): the fill then works only there. The mask itself while no
    // point is known.
    pf::Image croppedToStroke(const pf::Image& mask, double scale) const;

    pf::Image m_skinPatch;
    std::shared_ptr<OVInpaintingFilter> m_inpaintingFilter;
    double m_lastSkinScale = 0;
    pf::Rect m_strokeBounds = pf::Rect::null(); // normalised points of the stroke
    pf::Point m_lastPoint;                      // the last point, normalised ...
    bool m_hasLastPoint = false;                // ... once there is one
    pf::Image m_input;                          // the fill's input before this stroke healed anything
    pf::Bitmap m_healed;                        // the preview pixels healed so far (rows top down) ...
    pf::Rect m_healedRect = pf::Rect::null();   // ... and where they lie (live mask pixels, y up)
    pf::Rect m_lastStepArea = pf::Rect::null();
    pf::Rect m_lastStepReadArea = pf::Rect::null();
};
