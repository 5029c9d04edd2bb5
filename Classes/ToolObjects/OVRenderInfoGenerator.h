#pragma once

#include "Classes/ToolObjects/OVFaceSource.h"
#include "Classes/ToolObjects/OVRenderInfo.h"
#include "Platform/Foundation/Point.h"
#include "Platform/Foundation/Rect.h"
#include "Platform/Foundation/Size.h"
#include "Platform/Image/Image.h"

#include <memory>
#include <mutex>

// Face information of one photo: detection runs once, when the photo is set, and every later question
// (how wide is the face nearest to a point, what does the photo look like in a part of it) is answered
// from what was found. The photo may be replaced on one thread while others ask; each answer comes
// from one photo and its faces.
class OVRenderInfoGenerator
{
public:
    // With the system's face detection.
    OVRenderInfoGenerator();
    explicit OVRenderInfoGenerator(std::shared_ptr<OVFaceSource> faceSource);

    // Stores the photo and finds its faces, on the calling thread.
    void setOriginalImage(const pf::Image& image);
    // The same, with the faces found in `forFaces`: the photo as a reduced copy shows it, in the photo's
    // coordinates (a large photo's every pixel is not read for a search at a few hundred pixels).
    void setOriginalImage(const pf::Image& image, const pf::Image& forFaces);
    pf::Image originalImage() const;
    // In the detector's order, in photo pixel coordinates (origin bottom left).
    OVRenderInfo::Features features() const;

    // The photo cropped to the normalised rectangle and scaled to the size, with the faces.
    OVRenderInfo renderInfoForRect(const pf::Rect& rect, const pf::Size& size) const;
    // A point normalised within a normalised rectangle, as photo pixels. The size is not used.
    pf::Point pointAt(const pf::Point& point, const pf::Rect& rect, const pf::Size& size) const;
    // The width of the face nearest to the photo pixel point (0 inside or on the edge of its bounds,
    // else the larger of the horizontal and vertical distance; the earlier face on ties), divided by
    // the photo's width. 0 without faces.
    double normedFaceWidthAt(const pf::Point& point) const;
    // The width of the photo's typical face (the median of those found) as a share of the photo's
    // width; 0 without a face. Effects that work at a face's scale (skin smoothing) are sized by it.
    double normedTypicalFaceWidth() const;

    // A small toolbox over the filter library, beside the face information (the editing loop uses none
    // of it). The Gaussian blur of the image, cut back to its extent.
    pf::Image gaussBlurImage(const pf::Image& image, double radius) const;
    // An edge map: Canny edges of the image blurred by 2.5, kept by hysteresis (edges white on black).
    pf::Image renderEdges(const pf::Image& image) const;
    // The image blurred along, not across, the edges of renderEdges.
    pf::Image renderEdgeAwareBlur(const pf::Image& image) const;
    // The image over the background through the mask.
    pf::Image blendImage(const pf::Image& image, const pf::Image& background, const pf::Image& mask) const;
    // A diagnostic overlay of the detected faces: green over each face, red squares on the eyes, a blue
    // square on the mouth. Without faces the image itself.
    pf::Image detectedFacesInImage(const pf::Image& image) const;

private:
    struct State
    {
        pf::Image image;
        OVRenderInfo::Features features;
    };
    State state() const;
    pf::Size originalSizeOf(const pf::Image& image) const;

    std::shared_ptr<OVFaceSource> m_faceSource;
    mutable std::mutex m_mutex;
    State m_state;
};
