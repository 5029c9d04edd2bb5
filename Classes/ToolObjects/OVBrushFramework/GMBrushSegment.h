#pragma once

#include "Classes/ToolObjects/OVBrushFramework/GMBrush.h"
#include "Platform/Foundation/Point.h"

#include <QMetaType>
#include <memory>
#include <vector>

// One stroke as documents of the older version stored it: its brush and its points (normalised to the
// photo, y up), in the order they were painted.
class GMBrushSegment
{
public:
    // A new brush and no points.
    GMBrushSegment();
    explicit GMBrushSegment(GMBrushPtr brush);

    GMBrushPtr brush;
    std::vector<pf::Point> points;

    // Registers the archived class "GMBrushSegment" ("number of points", the points unkeyed in order, then
    // "brush"). A damaged record (fewer points than announced, a point that is not one, a brush that is
    // not a brush) fails the decoding. Called once at start-up, after GMBrush::registerArchiveClass().
    static void registerArchiveClass();
};

using GMBrushSegmentPtr = std::shared_ptr<GMBrushSegment>;
Q_DECLARE_METATYPE(GMBrushSegmentPtr)
