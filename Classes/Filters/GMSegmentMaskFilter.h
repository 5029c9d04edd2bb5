#pragma once

#include "Classes/Filters/GMKernelFilter.h"
#include "Platform/Foundation/AffineTransform.h"

#include <optional>
#include <vector>

// What the stroke-segment mask filters share: a straight brush segment from "inputPoint1" to
// "inputPoint2" with a brush of "inputSize" (pixels of "inputImage"), an output defined only on the
// segment's bounding box grown by the brush, a region of interest that lets the kernels look back from
// each pixel to the segment, and a reference mask that can be scaled onto the image.
class GMSegmentMaskFilter : public GMKernelFilter
{
public:
    // The segment's bounding box grown by the brush size (by half of it for the white of the eye), as the
    // member's output is defined on it.
    pf::Rect dirtyRectForInput() const;

protected:
    GMSegmentMaskFilter(const QString& className, double rectangleSizeFactor);

    // "inputPoint1" and "inputPoint2" (position), then "inputSize" (1..300, default 30).
    void declareSegmentInputs();
    void declareBoolean(const QString& key);
    // "inputSize" as a number; never set counts as 0.
    double size() const;
    QVariant point(const QString& key) const;
    // The kernels' first arguments: "inputPoint1", "inputPoint2" and the brush size times `sizeFactor`.
    QVariantList segmentArguments(double sizeFactor) const;
    // What the edge-guided region kernels take first: the segment at half the brush size, samplers of
    // "inputEdgeImage" and "inputImage", then "inputToleranceHigh", "inputToleranceMid" and
    // "inputToleranceLow".
    QVariantList edgeRegionArguments() const;

    // Options for one of the member's kernels: defined on the segment rectangle; samplers 0 and 1 are
    // asked for the destination grown by the brush size, the others for the destination itself, mapped
    // into their own space when they are scaled (`laterSamplers` holds their matrices from index 2 on).
    pf::ApplyOptions segmentOptions(const std::vector<pf::AffineTransform>& laterSamplers = {},
                                    bool withRegionRule = true) const;

    // With "inputBoolUseRefMask" set and true, the scale that lays "inputReferenceMask" exactly over
    // "inputImage". Nothing without it, and nothing, with a warning, when either image has no area:
    // then there is nothing to scale and the member runs without the reference.
    std::optional<pf::AffineTransform> referenceScale() const;

private:
    double m_rectangleSizeFactor;
};
