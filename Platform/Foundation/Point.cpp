#include "Platform/Foundation/Point.h"

#include "Platform/Foundation/ValueDescription.h"

namespace pf {

namespace {

const auto describe = [](auto& stream, const Point& point) {
    stream << "Point(" << point.x << ", " << point.y << ')';
};

} // namespace

QDebug operator<<(QDebug debug, const Point& point)
{
    return describeToDebug(debug, point, describe);
}

void PrintTo(const Point& point, std::ostream* stream)
{
    describeExactly(stream, point, describe);
}

} // namespace pf
