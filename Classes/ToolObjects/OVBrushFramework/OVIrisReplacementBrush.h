#pragma once

#include "Classes/ToolObjects/OVBrushFramework/OVStoredAdditionalBrushState.h"

// The additional brush of the click tools that replace the iris: it places the stock iris picture
// ("Iris", png) over the iris the click finds in the photo (its centre, its limbus a little inside the
// picture's fading rim), or in a square of the brush's size centred on the click where none stands
// out, over the layer's additional image, while the click brush paints the iris's mask. For a finished
// stroke it places the iris alone at the photo's resolution: the square is kept in normalised
// coordinates, so the iris keeps its place and size relative to the picture.
class OVIrisReplacementBrush : public OVStoredAdditionalBrushState
{
public:
    // Loads the iris picture; without it (logged) the brush places nothing.
    OVIrisReplacementBrush();
    // Makes it the handler's additional brush of iris-replacement click strokes. Called once at start-up.
    static void registerClass();

    void brushDownAtPoint(const OVBrush& brush, const pf::Point& point) override;
    void processPoint(const pf::Point& point) override;
    // Only the last point gets an iris: every point composites over the unchanged start image.
    void processPoints(const std::vector<pf::Point>& points) override;
    void brushUp() override {}

    // The start image with the iris at the last point; the start image before the first point.
    pf::Image image() const override;
    double faceWidth() const override { return m_faceWidth; }

    bool hasDirtyRect() const override { return true; }
    pf::Rect dirtyRect() const override { return m_dirtyRect; }
    bool hasImageForMask() const override { return true; }
    // The iris at the last point on a transparent image of the mask's size (the start image is not part
    // of it); a transparent image when there is nothing to place.
    pf::Image imageForMask(const pf::Image& mask) override;
    bool hasPreviewQuality() const override { return false; }

    pf::Image irisImage() const { return m_irisImage; }
    void setIrisImage(const pf::Image& image) { m_irisImage = image; }
    pf::Point lastPoint() const { return m_lastPoint; }

private:
    pf::Size startSize() const;
    // Where the iris goes for a click at `p` (pixels of the start image): over the iris found there, or
    // the square of the brush's size around the click.
    pf::Rect placementAt(const pf::Point& p) const;

    pf::Image m_irisImage;
    pf::Image m_resultImage;
    pf::Point m_lastPoint;
    pf::Rect m_dirtyRect = pf::Rect::null();
    pf::Rect m_placed = pf::Rect::null(); // pixels of the start image
};
