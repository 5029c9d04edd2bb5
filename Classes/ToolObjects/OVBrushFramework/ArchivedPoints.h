#pragma once

#include "Platform/Foundation/Point.h"

#include <vector>

namespace pf {
class KeyedArchiver;
class KeyedUnarchiver;
} // namespace pf

// The recorded strokes' points in a keyed archive: "number of points" (a 32-bit integer), then each
// point in order as an unkeyed value, the text "{x, y}".
namespace ArchivedPoints {

void encode(const std::vector<pf::Point>& points, pf::KeyedArchiver& archiver);
// The points as archived. The count is not trusted: points are read only while they are there, and a
// count beyond them, or a value that is not a point, fails the decoding. A count of 0 or less is no
// points. Points with a coordinate that is not finite ("nan", "inf") are left out.
std::vector<pf::Point> decode(pf::KeyedUnarchiver& unarchiver);

} // namespace ArchivedPoints
