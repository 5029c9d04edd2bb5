#pragma once

#include "Classes/ToolObjects/OVBrushFramework/IrisRadiusFinder.h"
#include "Classes/ToolObjects/OVBrushFramework/OVStoredBrushState.h"
#include "Platform/Image/Filter.h"

#include <memory>

// The click tool of the eye effects: one click selects a whole iris, or a flash-red pupil. Around the
// clicked point it finds the red pupil or the iris (IrisRadiusFinder), no larger than the face (or the
// brush) allows, then lets "GMIrisMaskFinderFilter" paint it as a draw stroke over the layer's mask.
// The mask brush hands it click strokes whole; its image() is in the stroke encoding of docs/masks.md,
// so the brush handler takes the click out as the stroke like any painted one.
class OVIrisMaskBrush : public OVStoredBrushState<OVMaskBrushProtocol>
{
public:
    // Makes OVIrisMaskBrush the mask brush's click brush. Called once at start-up.
    static void registerClass();

    void brushDownAtPoint(const OVBrush& brush, const pf::Point& point) override;
    void processPoint(const pf::Point& point) override;
    // Only the last point counts: a click finds one iris.
    void processPoints(const std::vector<pf::Point>& points) override;
    void brushUp() override {}

    // The iris over the start mask after the last point; null before the first.
    pf::Image image() const override { return m_irisImage; }
    // The face width set bounds the iris looked for: no larger than a share of the face, or without a
    // face than the brush's diameter. The largest limbus radius a click accepts, in pixels; only
    // a ceiling, which the iris found does not otherwise depend on.
    double largestIrisRadius() const;
    // The same for a face of that width (pixels), or without one (0) for a brush of that diameter.
    static double largestIrisRadius(double faceWidth, double brushSize);

    // What a click at `point` (pixels, y up) selects in the finder's photo: the flash-red pupil there,
    // or the iris, no larger than `largest` (with its pupil when `withPupil`: a replacement iris brings
    // a pupil of its own), as a draw stroke (0, c, 0, c) made by `filter` (a "GMIrisMaskFinderFilter"
    // over the photo) and the square it lies in; no stroke where no iris stands out.
    struct Selection
    {
        pf::Image stroke;
        pf::Rect bounds = pf::Rect::null();
        // The disc the selection lies in: the iris to its limbus, or the red pupil.
        pf::Point centre;
        double radius = 0;
    };
    static Selection selectionAt(IrisRadiusFinder& finder, pf::Filter& filter, pf::Point point,
                                 double largest, bool withPupil = false);
    // What `filter` paints for an iris (or a red pupil) found: nothing when none was.
    static Selection selectionOf(const IrisRadiusFinder::Iris& iris, pf::Filter& filter,
                                 bool withPupil = false);
    static Selection selectionOf(const IrisRadiusFinder::RedPupil& red, pf::Filter& filter);
    // The "GMIrisMaskFinderFilter" a selection is painted with, over the photo; null when the filter is
    // not registered.
    static pf::FilterPtr selectionFilter(const pf::Image& photo);

    bool hasDirtyRect() const override { return true; }
    // The squares of the brush's size around the previous and the last point.
    pf::Rect dirtyRect() const override { return m_dirtyRect; }

    pf::Point lastPoint() const { return m_lastPoint; }
    // No iris (nor red pupil) stood out at the last point: the click painted nothing.
    bool foundNothing() const override { return m_foundNothing; }
    pf::FilterPtr brushFilter() const { return m_brushFilter; }

private:
    pf::Size startSize() const;

    pf::Image m_irisImage;
    pf::FilterPtr m_brushFilter;
    std::unique_ptr<IrisRadiusFinder> m_irisFinder;
    pf::Point m_lastPoint;
    bool m_withPupil = false;
    bool m_foundNothing = false;
    pf::Rect m_dirtyRect = pf::Rect::null();
};
