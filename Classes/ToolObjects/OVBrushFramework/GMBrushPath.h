#pragma once

#include "Classes/ToolObjects/OVBrushFramework/GMBrushSegment.h"

#include <memory>
#include <vector>

// The strokes that painted a layer's mask, as documents of the older version stored them instead of
// the mask's pixels. Points are added with thinning: a point too close to the last one is dropped, and
// a last point that lies on the straight line to the new one is replaced by it.
class GMBrushPath
{
public:
    GMBrushPath() = default;
    explicit GMBrushPath(std::vector<GMBrushSegmentPtr> segments) : m_pathSegments(std::move(segments)) {}

    const std::vector<GMBrushSegmentPtr>& pathSegments() const { return m_pathSegments; }
    void setPathSegments(std::vector<GMBrushSegmentPtr> segments) { m_pathSegments = std::move(segments); }
    // Null without segments.
    GMBrushSegmentPtr lastSegment() const;

    // Appends a new segment with this brush and no points.
    void addSegmentWithBrush(GMBrushPtr brush);
    // Appends to the last segment's points as they are; without a segment nothing happens.
    void addPointsToLastSegment(const std::vector<pf::Point>& points);
    // Appends one point with thinning (threshold 5e-05, for points normalised to the photo): dropped
    // when it is that close to the last point (a segment without points counts (0, 0) as its last);
    // otherwise, with more than two points, a last point closer than that to the line from the
    // second-to-last point to the new one is removed first. Without a segment nothing happens.
    void addPointToLastSegment(const pf::Point& point);

    static double distanceFromA(const pf::Point& a, const pf::Point& b);
    // The distance from p to the line through a and b; 0 when a and b coincide.
    static double distancePoint(const pf::Point& p, const pf::Point& a, const pf::Point& b);

    // A new path over a copy of the segment list; the segments themselves are shared.
    std::shared_ptr<GMBrushPath> copy() const { return std::make_shared<GMBrushPath>(m_pathSegments); }

    // Registers the archived class "GMBrushPath" ("pathSegments", the list), and the segments and brushes
    // it holds. Called once at start-up.
    static void registerArchiveClass();

private:
    std::vector<GMBrushSegmentPtr> m_pathSegments;
};

using GMBrushPathPtr = std::shared_ptr<GMBrushPath>;
Q_DECLARE_METATYPE(GMBrushPathPtr)
