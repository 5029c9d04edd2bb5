#pragma once

#include "Platform/Image/Bitmap.h"
#include "Platform/Image/Color.h"

#include <QMetaType>
#include <vector>

class QPainter;
class QRectF;

namespace pf {

// A colour gradient: colours at locations along a line, location 0 at its start and 1 at its end. The
// stops keep the order they were given in, which need not be the order of their locations; colours are
// looked up by location all the same. Locations outside 0..1 are kept as they are. An immutable value,
// safe to use from any thread (strips for filters are drawn on render threads).
class Gradient
{
public:
    struct Stop
    {
        double location = 0;
        Color color;
        bool operator==(const Stop&) const = default;
    };

    // No stops: every location is transparent.
    Gradient() = default;
    explicit Gradient(std::vector<Stop> stops);
    // From `start` at 0 to `end` at 1.
    Gradient(const Color& start, const Color& end);

    const std::vector<Stop>& stops() const { return m_stops; }
    int numberOfColorStops() const { return int(m_stops.size()); }

    // Straight components interpolated linearly between the stops on either side of the location; the
    // colour of the first (last) stop before (after) them all. Where stops share a location, the colour
    // changes there at once: below it the earlier stop's colour is approached, from it on the later
    // stop's colour holds.
    Color interpolatedColorAtLocation(double location) const;

    // A rectangle of width x height pixels filled with the gradient running at `angleDegrees`,
    // counter-clockwise from left to right in y-up coordinates: location 0 and 1 lie on the two lines
    // through the rectangle's outermost corners, perpendicular to that direction. Premultiplied RGBAf,
    // rows top-down like every bitmap. Each pixel takes the colour at its centre.
    Bitmap bitmap(int width, int height, double angleDegrees = 0) const;
    // Fills `rect` the same way, the angle measured in the painter's own coordinates (so in a y-up view
    // counter-clockwise, in a y-down one clockwise), over what is there (source-over).
    void drawInRect(QPainter& painter, const QRectF& rect, double angleDegrees = 0) const;

    bool operator==(const Gradient& other) const { return m_stops == other.m_stops; }

private:
    // `yUp`: row 0 is the largest y (bitmaps) rather than the smallest (painter images).
    void fill(float* rgba, int width, int height, double angleDegrees, bool yUp) const;

    std::vector<Stop> m_stops;
    std::vector<Stop> m_byLocation; // the same stops, stably sorted by location
};

} // namespace pf

Q_DECLARE_METATYPE(pf::Gradient)
