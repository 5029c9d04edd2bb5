#include "Platform/Foundation/Point.h"

#include <QDebug>
#include <ostream>

namespace pf {

QDebug operator<<(QDebug debug, const Point& point)
{
    QDebugStateSaver saver(debug);
    debug.nospace() << "Point(" << point.x << ", " << point.y << ')';
    return debug;
}

void PrintTo(const Point& point, std::ostream* stream)
{
    // Enough digits that values which compare unequal also print differently.
    const auto precision = stream->precision(17);
    *stream << "Point(" << point.x << ", " << point.y << ')';
    stream->precision(precision);
}

} // namespace pf
