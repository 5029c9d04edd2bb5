#pragma once

#include "Classes/ToolObjects/OVBrushFramework/OVAdditionalBrushProtocol.h"
#include "Classes/ToolObjects/OVBrushFramework/OVContentContainer.h"

#include <vector>

// Runs one stroke at a time over a layer's mask, through the brush protocols only. It drives a mask
// brush (a new OVMaskBrush for every stroke) and, for the tools that paint pixels of their own, an
// additional brush made by the factory registered for the brush's subtype: subtype 1 (iris
// replacement) with a click brush, subtype 2 (healing) with any brush. It caches the current images
// for the display until the next step, reports the rectangle that changed, and at brush-up turns the
// stroke into an OVContentContainer: the clean mask of this stroke alone and, when an additional brush
// took part, its picture.
//
// The renderer of a channel keeps one handler (and resets it whenever it recomposes); a stored stroke
// replays through a handler of its own. Used by one thread at a time.
class GMBrushHandler
{
public:
    GMBrushHandler();

    // The additional brush made for strokes of `subType` (OVBrush::IrisReplacement,
    // OVBrush::Healing). Registered once at start-up by the library that builds those brushes; an
    // empty factory removes the registration. Strokes of a subtype without one run with no additional
    // brush.
    static void setAdditionalBrushFactory(qint32 subType, OVAdditionalBrushFactory factory);
    static OVAdditionalBrushFactory additionalBrushFactory(qint32 subType);

    // Drops the additional brush, both caches and both start images; keeps the mask brush, the
    // background image, the last result and whether a stroke runs.
    void reset();

    // Begins a stroke at `point` (normalised). The face width (pixels) reaches only the additional
    // brush. Stamps nothing: the caller sends the first point. A stroke still running is dropped.
    void brushDownAtPoint(const OVBrush& brush, const pf::Point& point, double faceWidth);
    // One step for both brushes; the additional brush first gets the new mask. Ignored outside a
    // stroke.
    void processPoint(const pf::Point& point);
    void processPoints(const std::vector<pf::Point>& points);
    // Ends the stroke: the integrated mask becomes the start mask of the next stroke, and the stroke's
    // container is built and returned (also kept as imageContainer()). Without a running stroke it does
    // nothing and returns null, so a stray brush-up never stores anything.
    OVContentContainerPtr brushUp();

    // The stroke's mask so far (stroke encoding), built once per step; outside a stroke the start mask
    // (after a brush-up: the integrated mask, a plain mask).
    pf::Image maskImage();
    // The additional brush's picture, built once per step; outside a stroke the start additional image.
    pf::Image additionalImage();
    // The additional brush's dirty rectangle when it has one, else the mask brush's, else zero.
    pf::Rect dirtyRect() const;
    // Whether the additional brush runs at preview quality during the stroke (the healing brush).
    bool usesPreview() const;
    bool isBrushDown() const { return m_brushDown; }
    // The last stroke was a click that found nothing to select (no iris stood out): its brush-up
    // returned null and the start mask stayed as it was.
    bool lastStrokeFoundNothing() const { return m_foundNothing; }

    // The result of the last brush-up that ended a stroke.
    OVContentContainerPtr imageContainer() const { return m_imageContainer; }
    // The photo as the layer sees it (the composed stack below it).
    pf::Image backgroundImage() const { return m_backgroundImage; }
    void setBackgroundImage(const pf::Image& image) { m_backgroundImage = image; }
    // The mask the next stroke starts from (a plain mask, grey in the colour channels).
    pf::Image startMaskImage() const { return m_startMaskImage; }
    // What the mask brush changed during the last stroke (layer pixels, y up): null before any change,
    // infinite when the brush cannot say.
    pf::Rect strokeBounds() const { return m_strokeBounds; }
    void setStartMaskImage(const pf::Image& image) { m_startMaskImage = image; }
    pf::Image startAdditionalImage() const { return m_startAdditionalImage; }
    void setStartAdditionalImage(const pf::Image& image) { m_startAdditionalImage = image; }
    // Photo pixels per layer pixel: an additional brush's picture for a finished stroke is made at the
    // photo's resolution.
    double scaleFactor() const { return m_scaleFactor; }
    void setScaleFactor(double factor) { m_scaleFactor = factor; }

    OVMaskBrushPtr maskBrush() const { return m_maskBrush; }
    OVAdditionalBrushPtr additionalBrush() const { return m_additionalBrush; }

private:
    void dropCaches();

    OVMaskBrushPtr m_maskBrush;
    OVAdditionalBrushPtr m_additionalBrush;
    bool m_brushDown = false;
    bool m_foundNothing = false;
    OVContentContainerPtr m_imageContainer;
    pf::Image m_maskCache;
    pf::Image m_additionalCache;
    pf::Image m_backgroundImage;
    pf::Image m_startMaskImage;
    pf::Image m_startAdditionalImage;
    double m_scaleFactor = 1.0;
    pf::Rect m_strokeBounds = pf::Rect::null(); // what the mask brush changed during the stroke
};
