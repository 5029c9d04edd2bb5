#pragma once

#include "Classes/ToolObjects/OVBrushFramework/OVBrush.h"
#include "Platform/Foundation/Point.h"
#include "Platform/Foundation/Rect.h"
#include "Platform/Image/Image.h"

#include <functional>
#include <memory>
#include <vector>

// What the brush handler asks of a brush that paints a layer's mask: the mask brush, and the click
// brush it hands click strokes to. Points are normalised (0..1 in both axes, y up) to the start image;
// sizes and rectangles are in pixels of the start image. Images are recipes: a brush builds them, the
// caller renders them. The mask images a brush answers carry the stroke apart from the start mask (see
// docs/masks.md); they become plain masks through GMBrushMaskTools ("integrateStroke",
// "extractStroke").
//
// One stroke: setStartImage (and setBackgroundImage when the brush reads the photo), brushDownAtPoint,
// any number of processPoint(s), brushUp. A brush is used by one thread at a time.
class OVMaskBrushProtocol
{
public:
    virtual ~OVMaskBrushProtocol() = default;

    // Begins a stroke at `point`; paints nothing yet (the caller sends the first point).
    virtual void brushDownAtPoint(const OVBrush& brush, const pf::Point& point) = 0;
    // One stroke step: the segment from the previous point to `point`.
    virtual void processPoint(const pf::Point& point) = 0;
    // Several steps, in order.
    virtual void processPoints(const std::vector<pf::Point>& points) = 0;
    // Ends the stroke and lets go of its working objects. Take image() before calling it.
    virtual void brushUp() = 0;

    // The current result: the stroke so far over the start image, or the start image outside a stroke.
    virtual pf::Image image() const = 0;
    virtual pf::Image startImage() const = 0;
    virtual void setStartImage(const pf::Image& image) = 0;
    // The photo the brush may read (the smart and click brushes do).
    virtual pf::Image backgroundImage() const = 0;
    virtual void setBackgroundImage(const pf::Image& image) = 0;
    // Diameter in pixels.
    virtual double brushSize() const = 0;
    virtual void setBrushSize(double size) = 0;
    // The width of the face nearest the stroke, in pixels; 0 where no face was found. Brushes that look
    // for a feature of the face (the iris click) size their search by it; others ignore it.
    virtual void setFaceWidth(double width) { (void)width; }

    // Whether the brush reports the pixels its last step changed. Callers ask this before dirtyRect():
    // a brush without one leaves the caller to redraw everything.
    virtual bool hasDirtyRect() const = 0;
    // The pixels changed by the last processPoint(s); the null rectangle when it changed none.
    virtual pf::Rect dirtyRect() const { return pf::Rect::null(); }
    // A click brush that looks for a feature (the iris) and found none at the last point: the click
    // painted nothing and must not become a step of the mask's history.
    virtual bool foundNothing() const { return false; }
};

using OVMaskBrushPtr = std::shared_ptr<OVMaskBrushProtocol>;
using OVMaskBrushFactory = std::function<OVMaskBrushPtr()>;
