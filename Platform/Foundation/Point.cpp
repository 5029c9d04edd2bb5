#include "Platform/Foundation/Point.h"

#include "Platform/Foundation/ValueDescription.h"

namespace pf {

namespace {

const auto describe = [](auto& stream, const Point& point) {
    stream << "Point(" << point.x << ", " << point.y << ')';
};

} // namespace

PF_DEFINE_VALUE_PRINTERS(Point, describe)

} // namespace pf
