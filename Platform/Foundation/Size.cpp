#include "Platform/Foundation/Size.h"

#include <QDebug>
#include <ostream>

namespace pf {

QDebug operator<<(QDebug debug, const Size& size)
{
    QDebugStateSaver saver(debug);
    debug.nospace() << "Size(" << size.width << " x " << size.height << ')';
    return debug;
}

void PrintTo(const Size& size, std::ostream* stream)
{
    // Enough digits that values which compare unequal also print differently.
    const auto precision = stream->precision(17);
    *stream << "Size(" << size.width << " x " << size.height << ')';
    stream->precision(precision);
}

} // namespace pf
