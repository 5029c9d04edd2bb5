#pragma once

#include "Classes/ToolObjects/OVBrushFramework/OVStoredBrushState.h"
#include "Platform/Foundation/Size.h"
#include "Platform/Image/Filter.h"

#include <memory>

namespace pf {
class ImageAccumulator;
}

// Paints one stroke into a layer's mask. The stroke is kept in an 8-bit canvas (an image accumulator of
// the start image's size) and every step applies a brush kernel filter that draws the segment from the
// previous point to the new one, re-rendering only the rectangle the segment can touch. Draw and erase
// strokes run "GMBasicBrush", smart-brush strokes "GMAutoBrush" (which reads the photo); click strokes
// are handed whole to the click brush registered with setClickBrushFactory. Made afresh for every
// stroke by the brush handler.
//
// The canvas holds only the pixels this stroke touched (opaque, in the stroke encoding of
// docs/masks.md) and is transparent elsewhere; image() lays it over the start image. So a stroke costs
// nothing in proportion to the canvas size, neither at brush-down nor per step.
//
// Programmer errors (brush-down without a start image, or a smart or click stroke without a background
// image) are logged as errors and the stroke then paints nothing; an unknown brush type, or a smart
// brush whose kernel does not exist, paints nothing as well.
class OVMaskBrush : public OVStoredBrushState<OVMaskBrushProtocol>
{
public:
    OVMaskBrush();
    ~OVMaskBrush() override;

    // The brush that runs click strokes (the iris click brush), made for each click stroke. Registered
    // once at start-up; without one a click stroke paints nothing and logs a warning.
    static void setClickBrushFactory(OVMaskBrushFactory factory);
    static OVMaskBrushFactory clickBrushFactory();

    // The rectangle a step from `from` to `to` (pixels) re-renders: the bounding box of the two squares
    // of side size + 100 centred on the two ends.
    static pf::Rect stepRect(const pf::Point& from, const pf::Point& to, double brushSize);
    // A normalised point held within a canvas's width and height beyond the canvas's edges: no brush
    // reaches the canvas from further out, and a point from a damaged record or a device (1e300) would
    // otherwise make step and dirty rectangles of absurd size. NaN and infinities stay as they are: such
    // points have no place and are skipped.
    static pf::Point placedPoint(const pf::Point& normalised);

    // A fully transparent start image of that size.
    void setEmptyStartImageWithSize(const pf::Size& size);

    void brushDownAtPoint(const OVBrush& brush, const pf::Point& point) override;
    void processPoint(const pf::Point& point) override;
    void processPoints(const std::vector<pf::Point>& points) override;
    void brushUp() override;

    // The click brush's image during a click stroke; the canvas over the start image while a stroke
    // runs; the start image otherwise.
    pf::Image image() const override;

    // The face width set is handed on to the click brush.
    bool hasDirtyRect() const override { return true; }
    // The click brush's during a click stroke; otherwise the union of the step rectangles of the last
    // processPoint(s), the null rectangle when it painted nothing.
    pf::Rect dirtyRect() const override;

    // The centre of the previous stamp, in pixels.
    pf::Point lastPoint() const { return m_lastPoint; }
    bool hasCanvas() const { return m_canvas != nullptr; }
    // The brush running the current click stroke, or null.
    OVMaskBrushPtr clickBrush() const { return m_customType; }
    // The click brush's: a click that found nothing to select.
    bool foundNothing() const override { return m_customType && m_customType->foundNothing(); }
    // The brush kernel filter of the current stroke, or null.
    pf::FilterPtr brushFilter() const { return m_brushFilter; }

private:
    pf::Size canvasSize() const;
    // Paints the iris (or red pupil) a click at `at` (pixels) would select into the canvas; false where
    // none stands out.
    bool paintIrisDab(const pf::Point& at);
    // A step's paint kept only outside the iris the stroke's first dab selected, and only where the
    // brush passed nearest outside it too: the iris is whole already, and a walk from inside it would
    // reach the lashes beside a dark iris and the catch light. The canvas as it was elsewhere.
    pf::Image outsideTheIris(const pf::Image& painted, const pf::Rect& rect, const pf::Point& from,
                             const pf::Point& to) const;

    std::unique_ptr<pf::ImageAccumulator> m_canvas;
    pf::FilterPtr m_brushFilter;
    OVMaskBrushPtr m_customType;
    pf::Point m_lastPoint;
    bool m_irisDabPending = false;
    // The iris the first dab selected (its disc), radius 0 for none.
    pf::Point m_irisCentre;
    double m_irisRadius = 0;
    pf::Rect m_dirtyRect = pf::Rect::null();
};
